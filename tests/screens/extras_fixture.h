// The extras screens on the sample game's built data under the test host: its script folder (or a
// folder of its own beside it), config.xml, the window menu, the player's clicks one step every few
// frames, the music started and the pixels shown.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "app/cg_image.h"
#include "app/game_data.h"
#include "app/game_events.h"
#include "app/stage_fixture.h"
#include "app/system_config.h"
#include "app/win_app.h"
#include "lib/text.h"

namespace extrastest {

namespace fs = std::filesystem;

const fs::path kDemoScripts = fs::path(DEMO_DATA_DIR) / "script/data";

using Steps = std::vector<std::function<void()>>;

class ExtrasTest : public stagetest::StageTest, public GameEventSink {
protected:
    // Frames between two steps of the player: enough for any page to be built and shown.
    static constexpr int kStepFrames = 6;

    explicit ExtrasTest(const fs::path& scripts = kDemoScripts) {
        ScriptArchive = OpenDirArchive(Utf8ToUtf16(scripts.string()));
        LoadSystemConfig(*ScriptArchive);
        BuildMainMenu(host.menu(), 0);
    }
    ~ExtrasTest() override { SystemConfig = {}; }

    void OnGameEvent(std::string_view kind, std::initializer_list<std::u16string_view> fields) override {
        std::string line(kind);
        for (std::u16string_view field : fields) line += " " + Utf16ToUtf8(field);
        events.push_back(line);
        if (on_event) on_event(line);
    }
    std::vector<std::string> Events(std::string_view kind) const {
        std::vector<std::string> kept;
        for (const std::string& e : events)
            if (e.starts_with(kind)) kept.push_back(e);
        return kept;
    }

    // Each step runs kStepFrames frames after the one before, and the mouse buttons are let go in
    // the frame after it; a screen still running 100 steps after the last is sent back-to-title
    // requests until it ends. What the screen threw: "" for nothing, "request N" for a
    // ScriptException, the message of an error exception.
    std::string Play(const std::function<void()>& screen, const Steps& steps) {
        for (std::size_t i = 0; i < steps.size(); ++i) {
            const int frame = kStepFrames * static_cast<int>(i + 1);
            At(frame, steps[i]);
            At(frame + 1, [this] { Input(stagetest::kLeftButton, false), Input(stagetest::kRightButton, false); });
        }
        const int limit = Frames() + kStepFrames * static_cast<int>(steps.size() + 100);
        each_frame = [limit](int frame) {
            if (frame >= limit) PendingRequest = kRequestTitle;
        };
        std::string outcome;
        try {
            const ScopedGameEventSink sink(this);
            screen();
        } catch (const ScriptException& request) {
            outcome = "request " + std::to_string(request.code);
        } catch (const ExceptionHandle& error) {
            outcome = Utf16ToUtf8(error.message);
        }
        script.clear();
        each_frame = nullptr;
        return outcome;
    }
    std::function<void()> Click(int x, int y, int button = stagetest::kLeftButton) {
        return [=, this] {
            window().MoveCursor(x, y);
            Input(button, true);
        };
    }
    std::function<void()> Move(int x, int y) {
        return [=, this] { window().MoveCursor(x, y); };
    }

    ComPtr<DxDraw::DxSurface> Picture(std::u16string_view name) {
        return LoadCgImage(ScriptArchive.Get(), name, false, false);
    }
    // Whether the window shows `part` of `picture` with its top-left corner at `at`.
    ::testing::AssertionResult Shows(DxDraw::DxImage& picture, RECT part, POINT at) {
        for (int y = 0; y < part.Height(); ++y) {
            for (int x = 0; x < part.Width(); ++x) {
                const std::uint32_t want = stagetest::RawPixel(picture, part.left + x, part.top + y) & 0xFFFFFF;
                const std::uint32_t shown = window().Pixel(at.x + x, at.y + y) & 0xFFFFFF;
                if (want != shown)
                    return ::testing::AssertionFailure() << "at (" << at.x + x << ", " << at.y + y << ") " << std::hex
                                                         << shown << " instead of " << want;
            }
        }
        return ::testing::AssertionSuccess();
    }

    // The views shown in the screen view itself (a group counts once).
    static int ShownViews() {
        int shown = 0;
        ScreenSurface->ForEachChild([&shown](ssView* view) { shown += view->IsVisible() ? 1 : 0; });
        return shown;
    }

    std::vector<std::string> events;
    std::function<void(const std::string&)> on_event;
};

}  // namespace extrastest
