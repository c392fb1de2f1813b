// Ogg Vorbis files made by other encoders: the desktop's sound theme, when one is installed.
#include <gtest/gtest.h>

#include <filesystem>

#include "sound/sound_fixture.h"
#include "sound/stream_control.h"

namespace {

using namespace soundtest;

std::vector<std::filesystem::path> SystemSounds() {
    std::vector<std::filesystem::path> found;
    std::error_code error;
    for (std::filesystem::recursive_directory_iterator it("/usr/share/sounds", error), end; !error && it != end;
         it.increment(error)) {
        const auto extension = it->path().extension();
        if (it->is_regular_file() && (extension == ".oga" || extension == ".ogg")) found.push_back(it->path());
    }
    return found;
}

TEST_F(SoundFixture, SoundThemeFilesDecodeWholeAndPlay) {
    const auto files = SystemSounds();
    if (files.empty()) GTEST_SKIP() << "no Ogg files under /usr/share/sounds";
    for (const auto& file : files) {
        SCOPED_TRACE(file.string());
        auto control = CreateOggStreamControl(new CStreamFileReader());
        // A theme may hold Ogg files of other codecs; those are not ours to play.
        if (!control->Open(Utf8ToUtf16(file.string()))) continue;
        EXPECT_TRUE(ReadStream(*control) == DecodeWithLibrary(file)) << "differs from the library's own 16-bit read";

        const int id = StartStream(nullptr, Utf8ToUtf16(file.string()), -1, 0, 4096, 0, 0);
        ASSERT_GE(id, 0);
        device_->Advance(300);
        StopStream(id);
        auto [left, right] = TakeOutput();
        EXPECT_GT(Rms(left) + Rms(right), 0.0);
    }
}

}  // namespace
