// The extras screens on the sample game's built data under the test host: its script folder (or a
// folder of its own), config.xml, the window menu, the player's steps a few frames apart, the
// events posted and the pixels shown.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
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

// Writes into `folder` layouts of three pages for both screens, with the sample's button numbers
// and thumbnail sheets but a "width" and "height" that do not parse (so every thumbnail is 140 x
// 105). The album's pages hold EV1 and EV2, EV3 (shown by "EV30000") and EV4, EV5; the replay's
// SC_BEACH, SC_LIGHT and SC_BOOK, SC_FEST; the first two of a page stand at (130, 140) and (330,
// 140). The pages of each screen show the sample's album pages 1 and 2 and its replay page, so that
// each looks its own.
inline void WriteThreePages(const fs::path& folder) {
    const std::string buttons =
        R"(width="wide" height="tall" thumbsize="144,109" exit="640,540,120,40,260,604,260,652")"
        R"( prev="40,540,120,40,0,604,0,652" next="176,540,120,40,130,604,130,652")";
    const auto page = [](std::initializer_list<const char*> flags) {
        std::string text = "<page>";
        int x = 130;
        for (const char* flag : flags) {
            text += "<cg pos=\"" + std::to_string(x) + ",140\" flag=\"" + flag + "\">" + flag + "0000</cg>";
            x += 200;
        }
        return text + "</page>";
    };
    std::ofstream(folder / "config.xml")
        << "<config><system><name first=\"a\" last=\"b\"/><title menu=\"0,0\"/><ending credit=\"0\"/>"
           "<bgm mode=\"title\" name=\"TITLE\"/><bgm mode=\"cgmode\" name=\"CGMODE\"/><chr/><chl/></system>"
           "<cgalbum "
        << buttons << ">" << page({"EV1", "EV2"}) << page({"EV3", "EV4"}) << page({"EV5"}) << "</cgalbum><sceneplay "
        << buttons << ">" << page({"SC_BEACH"}) << page({"SC_LIGHT", "SC_BOOK"}) << page({"SC_FEST"})
        << "</sceneplay></config>";
    fs::create_directories(folder / "title");
    const char* const pictures[] = {"title/cg_p1.png", "title/cg_p2.png", "title/s_p1.png"};
    for (int n = 1; n <= 3; ++n) {
        for (const char* screen : {"cg", "s"})
            fs::copy_file(kDemoScripts / pictures[n - 1],
                          folder / "title" / (std::string(screen) + "_p" + std::to_string(n) + ".png"));
    }
    for (const char* name : {"title/cg_thumb1.png", "title/s_thumb1.png", "EV30000.jpg"})
        fs::copy_file(kDemoScripts / name, folder / name);
}

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
