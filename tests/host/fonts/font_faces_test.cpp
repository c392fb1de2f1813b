// The faces offered for the message text, from the installed Japanese fonts (fonts-ipafont).
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "host/fonts/font_faces.h"

namespace {

TEST(FontFaces, TheDefaultsComeFirstThenTheInstalledFixedPitchFacesInJapanese) {
    const std::vector<std::u16string> faces = host::ListMessageFaces();
    ASSERT_GE(faces.size(), 4u);
    EXPECT_EQ(faces[0], u"ＭＳ 明朝");
    EXPECT_EQ(faces[1], u"ＭＳ ゴシック");
    const auto offered = [&faces](std::u16string_view name) {
        return std::find(faces.begin(), faces.end(), name) != faces.end();
    };
    EXPECT_TRUE(offered(u"IPA明朝") && offered(u"IPAゴシック")) << "dual-width faces count as fixed pitch";
    EXPECT_FALSE(offered(u"IPA P明朝") || offered(u"IPA Pゴシック")) << "proportional faces are not offered";
    EXPECT_FALSE(offered(u"IPAMincho")) << "the Japanese family name is the one offered";
    EXPECT_EQ(std::set(faces.begin(), faces.end()).size(), faces.size()) << "no face twice";
}

TEST(FontFaces, InstalledNamesThatDoNotFitTheFieldAreLeftOut) {
    const std::vector<std::u16string> faces = host::ListMessageFaces(7);
    ASSERT_GE(faces.size(), 2u);
    for (std::size_t i = 2; i < faces.size(); ++i) EXPECT_LT(faces[i].size(), 7u) << i;
    EXPECT_NE(std::find(faces.begin(), faces.end(), u"IPA明朝"), faces.end());
    EXPECT_EQ(std::find(faces.begin(), faces.end(), u"IPAゴシック"), faces.end()) << "7 units and a terminator";
}

}  // namespace
