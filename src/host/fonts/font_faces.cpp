#include "host/fonts/font_faces.h"

#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <memory>
#include <string_view>

#include "host/fonts/glyph_source.h"
#include "lib/text.h"

namespace host {
namespace {

struct PatternFree {
    void operator()(FcPattern* p) const { FcPatternDestroy(p); }
};
struct ObjectSetFree {
    void operator()(FcObjectSet* s) const { FcObjectSetDestroy(s); }
};
struct FontSetFree {
    void operator()(FcFontSet* s) const { FcFontSetDestroy(s); }
};

// The family name in Japanese when the face has one, else its first family name.
std::string FamilyOf(FcPattern* face) {
    FcChar8* first = nullptr;
    FcChar8* name = nullptr;
    FcChar8* lang = nullptr;
    for (int i = 0; FcPatternGetString(face, FC_FAMILY, i, &name) == FcResultMatch; ++i) {
        if (!first) first = name;
        if (FcPatternGetString(face, FC_FAMILYLANG, i, &lang) == FcResultMatch &&
            std::string_view(reinterpret_cast<const char*>(lang)) == "ja")
            return reinterpret_cast<const char*>(name);
    }
    return first ? reinterpret_cast<const char*>(first) : "";
}

}  // namespace

std::vector<std::u16string> ListMessageFaces(std::size_t max_units) {
    // fontconfig's configuration, loaded by the first list, is let go with the glyph source's at
    // process exit.
    SystemGlyphSource();
    std::vector<std::u16string> faces{kDefaultMinchoFace, kDefaultGothicFace};
    std::unique_ptr<FcPattern, PatternFree> pattern(FcPatternCreate());
    std::unique_ptr<FcObjectSet, ObjectSetFree> objects(
        FcObjectSetBuild(FC_FAMILY, FC_FAMILYLANG, FC_SPACING, FC_OUTLINE, nullptr));
    if (!pattern || !objects) return faces;
    FcPatternAddString(pattern.get(), FC_LANG, reinterpret_cast<const FcChar8*>("ja"));
    FcPatternAddBool(pattern.get(), FC_OUTLINE, FcTrue);
    std::unique_ptr<FcFontSet, FontSetFree> set(FcFontList(nullptr, pattern.get(), objects.get()));
    if (!set) return faces;

    std::vector<std::u16string> found;
    for (int i = 0; i < set->nfont; ++i) {
        int spacing = FC_PROPORTIONAL;
        if (FcPatternGetInteger(set->fonts[i], FC_SPACING, 0, &spacing) != FcResultMatch || spacing < FC_DUAL) continue;
        std::u16string name = Utf8ToUtf16(FamilyOf(set->fonts[i]));
        if (name.empty() || name.front() == u'@' || name.size() >= max_units) continue;
        found.push_back(std::move(name));
    }
    std::sort(found.begin(), found.end());
    for (std::u16string& name : found)
        if (std::find(faces.begin(), faces.end(), name) == faces.end()) faces.push_back(std::move(name));
    return faces;
}

}  // namespace host
