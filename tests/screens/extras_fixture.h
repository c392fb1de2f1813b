// The extras screens on the sample game's built data under the test host: its script folder (or a
// folder of its own), config.xml, the window menu, the player's steps a few frames apart, the
// events posted and the pixels shown.
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
using stagetest::kLeftButton;
using stagetest::kRightButton;

const fs::path kDemoScripts = fs::path(DEMO_DATA_DIR) / "script/data";

// What the player does, and what must be shown once the screen has answered (none: nothing).
struct Step {
    std::function<void()> act;
    std::function<void()> check = nullptr;
};

class ExtrasTest : public stagetest::StageTest, public GameEventSink {
protected:
    // Frames between two steps: enough for any page to be built and shown.
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

    // Runs the screen with the steps kStepFrames apart (the buttons let go in the frame after
    // each); it must last until the last step, and one still running 100 steps after it is sent
    // back-to-title requests until it ends. What it threw: "" nothing, "request N" a
    // ScriptException, an error exception's message.
    std::string Play(const std::function<void()>& screen, const std::vector<Step>& steps) {
        std::size_t taken = 0;
        for (std::size_t i = 0; i < steps.size(); ++i) {
            const int frame = kStepFrames * static_cast<int>(i + 1);
            At(frame, [&taken, act = steps[i].act] { ++taken, act(); });
            At(frame + 1, [this] { Input(kLeftButton, false), Input(kRightButton, false); });
            if (steps[i].check) At(frame + kStepFrames - 1, steps[i].check);
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
        EXPECT_EQ(taken, steps.size()) << "the screen ended before the player's last step";
        return outcome;
    }
    std::function<void()> Click(POINT at, int button = kLeftButton) {
        return [=, this] { window().MoveCursor(at.x, at.y), Input(button, true); };
    }
    std::function<void()> Move(POINT at) {
        return [=, this] { window().MoveCursor(at.x, at.y); };
    }
    std::function<void()> Request(std::int32_t request) {
        return [request] { PendingRequest = request; };
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
    // A page picture: its band above the thumbnails, and its rows down to the screen's edge (the
    // rest of the picture is below the screen).
    ::testing::AssertionResult PageShown(std::u16string_view picture) {
        const ComPtr<DxDraw::DxSurface> page = Picture(picture);
        const ::testing::AssertionResult top = Shows(*page, RECT{0, 0, 800, 130}, {0, 0});
        return top ? Shows(*page, RECT{0, 580, 800, 600}, {0, 580}) : top;
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
