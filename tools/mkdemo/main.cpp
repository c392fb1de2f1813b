// mkdemo: builds the sample game's data from demo/.
//
//   mkdemo DEMO_DIR SYSTEM_DIR SCRIPT_DIR SOUND_DIR
//
// writes the system archive's files (the parts sheet and the two interface sounds) to SYSTEM_DIR,
// the scripts, layout document and every picture to SCRIPT_DIR, and every music piece, effect and
// voice to SOUND_DIR. Each folder is later packed as it stands; the script and sound folders are
// also the loose-folder layout the engine can start from. `--help` prints the usage; any other
// option, or a wrong count of folders, ends it with 2.
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "art.h"
#include "picture_file.h"
#include "scenario.h"
#include "sounds.h"
#include "tools/usage.h"

namespace fs = std::filesystem;
using namespace mkdemo;

namespace {

struct Folders {
    fs::path demo, system, script, sound;
};

using Job = std::function<void(Fonts&)>;

void WriteBytes(const fs::path& path, const std::string& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), std::streamsize(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

// A background or event picture composed the way GRP composes it: "BG" or "EV", the scene or
// event number, then one digit per layer position.
Canvas PictureByName(const std::string& name) {
    if (name.size() != 7 && name.size() != 9) throw std::runtime_error("not a picture name: " + name);
    bool event = name.compare(0, 2, "EV") == 0;
    if (!event && name.compare(0, 2, "BG") != 0) throw std::runtime_error("not a picture name: " + name);
    int number = name[2] - '0';
    Canvas picture = event ? EventBase(number) : SceneBackground(number);
    for (std::size_t i = 3; i < name.size(); ++i) {
        if (name[i] == '0') continue;
        // Every layer the sample draws is the digit 1 at its position.
        if (name[i] != '1') throw std::runtime_error("no such layer in " + name);
        int position = int(i) - 2;
        picture.Draw(event ? EventOverlay(number, position) : SceneOverlay(number, position), 0, 0);
    }
    return picture;
}

std::string Digits(int scene, int position, int count) {
    std::string d(count, '0');
    if (position > 0) d[position - 1] = '1';
    return std::string(1, char('0' + scene)) + d;
}

void AddTextJobs(const Folders& f, std::vector<Job>& jobs) {
    jobs.push_back([f](Fonts&) {
        std::string script = JoinScenario(f.demo / "scenario");
        WriteBytes(f.script / "_start.txt", WithCrLf(ToCp932(script, "_start.txt")));
    });
    jobs.push_back(
        [f](Fonts&) { WriteBytes(f.script / "iv.txt", WithCrLf(ToCp932(ReadTextFile(f.demo / "iv.txt"), "iv.txt"))); });
    jobs.push_back([f](Fonts&) {
        WriteBytes(f.script / "config.xml", WithCrLf(ToCp932(ReadTextFile(f.demo / "config.xml"), "config.xml")));
    });
}

void AddPictureJobs(const Folders& f, std::vector<Job>& jobs) {
    const fs::path& d = f.script;
    // Backgrounds, their layers, the character backdrops ("H" pictures) and save thumbnails.
    for (int scene = 1; scene <= 4; ++scene) {
        jobs.push_back([d, scene](Fonts&) {
            Canvas picture = SceneBackground(scene);
            WriteJpeg(d / ("BG" + Digits(scene, 0, 4) + ".jpg"), picture, 88);
            WriteJpeg(d / ("H0" + std::to_string(scene) + "0000.jpg"), picture, 88);
            WritePng(d / "thumb" / ("BG" + std::to_string(scene) + ".png"), SaveThumbnail(picture), false);
        });
    }
    struct Layer {
        int scene, position;
        bool opaque;
    };
    for (Layer layer :
         {Layer{1, 1, true}, Layer{2, 1, false}, Layer{2, 2, false}, Layer{3, 1, false}, Layer{4, 1, false}}) {
        jobs.push_back([d, layer](Fonts&) {
            Canvas picture = SceneOverlay(layer.scene, layer.position);
            fs::path name = d / ("BG" + Digits(layer.scene, layer.position, 4));
            if (layer.opaque)
                WriteJpeg(name.string() + ".jpg", picture, 88);
            else
                WritePng(name.string() + ".png", picture, true);
        });
    }
    // Event pictures: four-digit names, and the festival with six digits.
    for (int event = 1; event <= 5; ++event) {
        int digits = event == 5 ? 6 : 4;
        jobs.push_back([d, event, digits](Fonts&) {
            Canvas picture = EventBase(event);
            WriteJpeg(d / ("EV" + Digits(event, 0, digits) + ".jpg"), picture, 90);
            WritePng(d / "thumb" / ("EV" + std::to_string(event) + ".png"), SaveThumbnail(picture), false);
        });
        int layers = event == 5 ? 3 : event <= 2 ? 2 : 1;
        for (int position = 1; position <= layers; ++position) {
            jobs.push_back([d, event, digits, position](Fonts&) {
                WritePng(d / ("EV" + Digits(event, position, digits) + ".png"), EventOverlay(event, position), true);
            });
        }
    }
    // Characters: bodies ("X00pp00") and faces ("X0000ff").
    struct Figure {
        char who;
        int poses, faces;
    };
    for (Figure figure : {Figure{'A', 2, 4}, Figure{'B', 1, 4}, Figure{'C', 1, 3}}) {
        for (int pose = 1; pose <= figure.poses; ++pose) {
            jobs.push_back([d, figure, pose](Fonts&) {
                WritePng(d / (std::string(1, figure.who) + "000" + std::to_string(pose) + "00.png"),
                         CharacterBody(figure.who, pose), true);
            });
        }
        for (int face = 1; face <= figure.faces; ++face) {
            jobs.push_back([d, figure, face](Fonts&) {
                WritePng(d / (std::string(1, figure.who) + "00000" + std::to_string(face) + ".png"),
                         CharacterFace(figure.who, face), true);
            });
        }
    }
    jobs.push_back([d](Fonts&) { WritePng(d / "title" / "backlogface.png", BacklogFaces("ABC"), true); });
    // Screens.
    jobs.push_back([d](Fonts& fonts) { WritePng(d / "title" / "title.png", TitleSheet(fonts), false); });
    jobs.push_back([d](Fonts& fonts) { WriteJpeg(d / "brand.jpg", BrandSplash(fonts), 92); });
    for (int n = 1; n <= 3; ++n) {
        jobs.push_back([d, n](Fonts& fonts) {
            char name[16];
            std::snprintf(name, sizeof name, "ed%02d.jpg", n);
            WriteJpeg(d / name, EndingSlide(fonts, n), 90);
        });
    }
    for (int page = 1; page <= 4; ++page) {
        jobs.push_back([d, page](Fonts& fonts) {
            WriteJpeg(d / "title" / ("rm_base" + std::to_string(page) + ".jpg"), ManualPage(fonts, page), 92);
        });
    }
    jobs.push_back([d](Fonts& fonts) { WritePng(d / "title" / "rm_parts.png", ManualButtons(fonts), true); });
    // The turn selection: its backdrop is stored as a BMP so that reader is exercised too.
    jobs.push_back([d](Fonts& fonts) { WriteBmp(d / "turnbg.bmp", TurnBackground(fonts)); });
    jobs.push_back([d](Fonts& fonts) { WriteJpeg(d / "select" / "selbg.jpg", SelectBackground(fonts), 90); });
    for (const char* place : {"A", "B", "C", "D", "AB", "CD"}) {
        for (int hover = 0; hover < 2; ++hover) {
            jobs.push_back([d, place, hover](Fonts& fonts) {
                WritePng(d / "select" / ("SEL_" + std::string(place) + "_" + std::to_string(hover) + ".png"),
                         SelectButton(fonts, place, hover != 0), false);
            });
        }
    }
    // The album's and the replay's pages, with a frame where each of their thumbnails stands, and
    // their thumbnail sheets row by row, all as the layout document says.
    std::string layout = ReadTextFile(f.demo / "config.xml");
    for (auto [element, picture, caption] :
         {std::tuple{"cgalbum", "cg_p", "CGアルバム"}, std::tuple{"sceneplay", "s_p", "シーン回想"}}) {
        const std::vector<Thumbnail> thumbnails = ThumbnailsOf(layout, element);
        const int pages = thumbnails.empty() ? 0 : thumbnails.back().page + 1;
        for (int page = 0; page < pages; ++page) {
            std::vector<std::pair<int, int>> places;
            for (const Thumbnail& t : thumbnails)
                if (t.page == page) places.emplace_back(t.x, t.y);
            jobs.push_back([d, name = picture + std::to_string(page + 1) + ".png", caption = caption, page, pages,
                            places](Fonts& fonts) {
                WritePng(d / "title" / name, AlbumPage(fonts, caption, page + 1, pages, places), false);
            });
        }
    }
    for (auto [element, sheet] : {std::pair{"cgalbum", "cg_thumb1.png"}, std::pair{"sceneplay", "s_thumb1.png"}}) {
        jobs.push_back([d, thumbnails = ThumbnailsOf(layout, element), sheet = sheet](Fonts& fonts) {
            std::vector<Canvas> pictures;
            std::vector<std::string> titles;
            for (const Thumbnail& t : thumbnails)
                pictures.push_back(PictureByName(t.picture)), titles.push_back(t.title);
            WritePng(d / "title" / sheet, ThumbnailSheet(fonts, pictures, titles), false);
        });
    }
}

void AddSystemJobs(const Folders& f, std::vector<Job>& jobs) {
    jobs.push_back([f](Fonts& fonts) { WritePng(f.system / "SYSTEM.png", SystemSheet(fonts), true); });
    jobs.push_back([f](Fonts&) { WriteWav(f.system / "SUBMIT.WAV", SubmitSound()); });
    jobs.push_back([f](Fonts&) { WriteWav(f.system / "CANCEL.WAV", CancelSound()); });
}

void AddSoundJobs(const Folders& f, std::vector<Job>& jobs) {
    for (const char* name : {"TITLE", "CGMODE", "BGM01", "BGM02", "BGM03", "BGM04"}) {
        jobs.push_back(
            [f, name](Fonts&) { WriteOgg(f.sound / "bgm" / (std::string(name) + ".ogg"), Music(name), 0.0f); });
    }
    for (const char* name : {"WAVES", "WIND", "GULL", "DOOR", "BELL", "STEP", "FIREWORK", "INS02"}) {
        jobs.push_back(
            [f, name](Fonts&) { WriteOgg(f.sound / "se" / (std::string(name) + ".ogg"), Effect(name), 0.0f); });
    }
    jobs.push_back([f](Fonts&) { WriteOgg(f.sound / "voice" / "V_TEST.ogg", VoiceFor("V_TEST", 20), 0.1f); });
    std::string script = JoinScenario(f.demo / "scenario");
    for (const auto& [name, length] : VoicesOf(script)) {
        jobs.push_back([f, name = name, length = length](Fonts&) {
            WriteOgg(f.sound / "voice" / (name + ".ogg"), VoiceFor(name, length), 0.1f);
        });
    }
}

// Runs the jobs on every core; each worker opens its own typefaces.
void RunAll(const std::vector<Job>& jobs) {
    std::atomic<std::size_t> next{0};
    std::mutex errorLock;
    std::exception_ptr firstError;
    auto worker = [&] {
        try {
            Fonts fonts;
            for (std::size_t i; (i = next++) < jobs.size();) jobs[i](fonts);
        } catch (...) {
            std::lock_guard lock(errorLock);
            if (!firstError) firstError = std::current_exception();
            next = jobs.size();
        }
    };
    unsigned count = std::max(1u, std::min(std::thread::hardware_concurrency(), 16u));
    std::vector<std::jthread> workers;
    for (unsigned i = 0; i < count; ++i) workers.emplace_back(worker);
    workers.clear();
    if (firstError) std::rethrow_exception(firstError);
}

}  // namespace

int main(int argc, char** argv) {
    constexpr const char* kUsage = "usage: mkdemo DEMO_DIR SYSTEM_DIR SCRIPT_DIR SOUND_DIR\n";
    if (tools::AnswerHelp(argc, argv, kUsage)) return 0;
    for (int i = 1; i < argc; ++i)
        if (tools::IsOption(argv[i])) return tools::RefuseOption("mkdemo", argv[i], kUsage);
    if (argc != 5) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    try {
        Folders folders{argv[1], argv[2], argv[3], argv[4]};
        // Start from empty folders so that nothing left from an older build is packed; an output
        // folder must lie apart from the sources (neither inside the other).
        fs::path sources = fs::weakly_canonical(folders.demo);
        for (const fs::path& out : {folders.system, folders.script, folders.sound}) {
            fs::path target = fs::weakly_canonical(out);
            auto [inTarget, inSources] = std::mismatch(target.begin(), target.end(), sources.begin(), sources.end());
            if (inTarget == target.end() || inSources == sources.end()) {
                throw std::runtime_error("refusing to write " + out.string() + ": it overlaps the sources " +
                                         folders.demo.string());
            }
            fs::remove_all(out);
            fs::create_directories(out);
        }
        std::vector<Job> jobs;
        AddTextJobs(folders, jobs);
        AddSystemJobs(folders, jobs);
        AddSoundJobs(folders, jobs);
        AddPictureJobs(folders, jobs);
        FontLookup fonts;
        RunAll(jobs);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "mkdemo: %s\n", e.what());
        return 1;
    }
    return 0;
}
