// The sample game's checker: the built data holds every picture, sound and label that the
// start script and config.xml name, found the way the engine names and finds them, with the
// sizes the screens cut their parts from.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>

#include "demo/demo_data.h"
#include "lib/text.h"
#include "lib/utility.h"

namespace demo_check {
namespace {

namespace fs = std::filesystem;

std::string Upper(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return char(std::toupper(c)); });
    return s;
}

std::string ToUtf8(const std::string& cp932) { return Utf16ToUtf8(Cp932ToUtf16(cp932)); }

// Command codes of the compiled script.
constexpr int kMessage = 1, kGrp = 2, kChr = 3, kChl = 4, kLab = 5, kWav = 8, kPst = 9, kSel = 10, kVoi = 14, kJmp = 15,
              kRjp = 16, kPjp = 17, kSfs = 21, kPage = 34, kFls = 35, kS1a = 36, kS1b = 37, kS2a = 39, kS2b = 40;

// The built data, read once for all the checks.
struct Data {
    std::unique_ptr<Archive> system, script, sound, scriptFolder, soundFolder;
    std::string startScript;  // CP932 bytes
    std::vector<Node> nodes;
    JumpTables tables;
    Element config;
    std::string compileErrors;
};

Data& Demo() {
    static Data* data = [] {
        auto* d = new Data;
        fs::path root = DEMO_DATA_DIR;
        d->system = std::make_unique<Archive>((root / "system.saf").string());
        d->script = std::make_unique<Archive>((root / "script.saf").string());
        d->sound = std::make_unique<Archive>((root / "sound.saf").string());
        d->scriptFolder = std::make_unique<Archive>((root / "script" / "data").string());
        d->soundFolder = std::make_unique<Archive>((root / "script" / "sound").string());
        // The scripts are compiled as the packed archive hands them out.
        fs::path work = fs::temp_directory_path() / ("demo_check_" + std::to_string(::getpid()));
        fs::create_directories(work);
        for (const char* name : {"_start.txt", "iv.txt"})
            std::ofstream(work / name, std::ios::binary) << d->script->Read(name).value_or("");
        d->startScript = d->script->Read("_start.txt").value_or("");
        auto scriptc = [&](const char* options, const char* file) {
            CommandResult result = RunCommand(std::string(SCRIPTC) + options + Quoted((work / file).string()));
            if (result.exitCode != 0) d->compileErrors += result.output.empty() ? "scriptc failed" : result.output;
            return result.output;
        };
        scriptc(" ", "_start.txt");
        d->nodes = ParseDump(scriptc(" --dump ", "_start.txt"));
        d->tables = ParseIvDump(scriptc(" --iv ", "iv.txt"));
        fs::remove_all(work);
        d->config = ParseXmlDocument(ToUtf8(d->script->Read("config.xml").value_or("<missing/>")));
        return d;
    }();
    return *data;
}

std::vector<const Node*> NodesOf(std::initializer_list<int> codes) {
    std::vector<const Node*> out;
    for (const Node& n : Demo().nodes)
        if (std::find(codes.begin(), codes.end(), n.code) != codes.end()) out.push_back(&n);
    return out;
}

// The first arguments of the nodes with that code, upper case.
std::set<std::string> FirstArgs(int code) {
    std::set<std::string> out;
    for (const Node* n : NodesOf({code})) out.insert(Upper(n->args[0]));
    return out;
}

// Runs of consecutive nodes with that code: {line of the first, length}.
std::vector<std::pair<int, int>> Runs(int code) {
    std::vector<std::pair<int, int>> out;
    const std::vector<Node>& nodes = Demo().nodes;
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        if (nodes[i].code != code) continue;
        if (i > 0 && nodes[i - 1].code == code)
            ++out.back().second;
        else
            out.push_back({nodes[i].line, 1});
    }
    return out;
}

// The engine's label search: the first label of that name, which must follow a page break.
bool LabelLandsOnPage(const std::string& label) {
    const std::vector<Node>& nodes = Demo().nodes;
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        if (nodes[i].code == kLab && !nodes[i].args.empty() && Upper(nodes[i].args[0]) == Upper(label))
            return i > 0 && nodes[i - 1].code == kPage;
    }
    return false;
}

// The pictures a GRP name composes: the base, then one layer per non-zero digit.
std::vector<std::string> GrpLayers(const std::string& name) {
    std::vector<std::string> out;
    if (name.size() != 7 && name.size() != 9) return out;
    std::string prefix = name.substr(0, 3), digits = name.substr(3);
    out.push_back(prefix + std::string(digits.size(), '0'));
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (digits[i] == '0') continue;
        std::string layer(digits.size(), '0');
        layer[i] = digits[i];
        out.push_back(prefix + layer);
    }
    return out;
}

void ExpectPicture(const std::string& base, int width, int height, bool exact, bool alpha = false) {
    std::optional<PictureInfo> info = FindPicture(*Demo().script, base);
    ASSERT_TRUE(info) << base << " is not in the script archive";
    EXPECT_TRUE(exact ? info->width == width : info->width >= width) << info->file << " width " << info->width;
    EXPECT_TRUE(exact ? info->height == height : info->height >= height) << info->file << " height " << info->height;
    EXPECT_TRUE(info->hasAlpha || !alpha) << info->file << " needs transparency";
}

void ExpectOgg(const std::string& name) {
    const std::optional<std::string>& bytes = Demo().sound->Read(name);
    ASSERT_TRUE(bytes) << name << " is not in the sound archive";
    EXPECT_EQ(bytes->substr(0, 4), "OggS") << name;
}

TEST(DemoData, ScriptAndTablesCompile) {
    EXPECT_EQ(Demo().compileErrors, "");
    ASSERT_FALSE(Demo().nodes.empty());
    EXPECT_EQ(Demo().nodes.back().code, 0);
    EXPECT_EQ(Demo().tables.jumps.size(), 20u);
}

TEST(DemoData, EveryStoryCommandIsUsed) {
    std::set<int> used;
    for (const Node& n : Demo().nodes) used.insert(n.code);
    for (auto [first, last] : {std::pair{1, 5}, {8, 10}, {14, 21}, {24, 30}, {34, 41}})
        for (int code = first; code <= last; ++code) EXPECT_TRUE(used.count(code)) << "code " << code << " is unused";
    const std::set<std::string> grp = FirstArgs(kGrp), assigned = FirstArgs(kPst);
    EXPECT_TRUE(grp.count("BLACK") && grp.count("WHITE"));
    EXPECT_TRUE(std::any_of(grp.begin(), grp.end(), [](const std::string& g) { return GrpLayers(g).size() > 2; }))
        << "no GRP composes two layers over its base";
    EXPECT_TRUE(std::any_of(grp.begin(), grp.end(), [](const std::string& g) { return g.size() == 9; }))
        << "no six-digit GRP";
    EXPECT_TRUE(FirstArgs(kWav).count("00") && FirstArgs(kVoi).count("00"));
    std::set<char> pstOps, pjpOps;
    for (const Node* n : NodesOf({kPst})) pstOps.insert(n->op);
    for (const Node* n : NodesOf({kPjp})) pjpOps.insert(n->op);
    EXPECT_EQ(pstOps, (std::set<char>{'=', '+', '-'}));
    EXPECT_EQ(pjpOps, (std::set<char>{'<', '=', '>'}));
    // The voice shorthand, the hero's names, and a flash counted by a variable.
    std::string script = ToUtf8(Demo().startScript);
    for (const char* text : {"\n@", "#1", "#2"}) EXPECT_NE(script.find(text), std::string::npos) << text;
    std::vector<const Node*> flashes = NodesOf({kFls});
    EXPECT_TRUE(
        std::any_of(flashes.begin(), flashes.end(), [](const Node* n) { return !std::isdigit(n->args[0][0]); }));
    // Menus of one, two and three items.
    std::set<int> menuSizes;
    for (auto [line, size] : Runs(kSel)) menuSizes.insert(size);
    EXPECT_EQ(menuSizes, (std::set<int>{1, 2, 3}));
    // The prologue skip (the label PRSK, and REPR set once the prologue is read) and the turn
    // selection's variables.
    EXPECT_TRUE(LabelLandsOnPage("PRSK"));
    for (const char* v : {"REPR", "A010", "B010", "C010", "D010", "TURN"}) EXPECT_TRUE(assigned.count(v)) << v;
}

TEST(DemoData, EveryJumpLandsOnALabel) {
    // JMP, PJP, SEL, RJP, and the scene names (each replay starts at the label of its name).
    for (auto [code, arg] : {std::pair{kJmp, 0}, {kPjp, 2}, {kSel, 0}, {kRjp, 0}, {kSfs, 0}})
        for (const Node* n : NodesOf({code}))
            EXPECT_TRUE(LabelLandsOnPage(n->args[arg])) << code << " " << n->args[arg] << " line " << n->line;
    for (auto [line, run] : Runs(kRjp)) EXPECT_EQ(run, 3) << "RJP run at line " << line;
    for (auto [line, run] : Runs(kSel)) EXPECT_LE(run, 3) << "SEL menu at line " << line;
    // Every jump entry that SSL or IVG can reach, and every judge table's target.
    const JumpTables& tables = Demo().tables;
    for (std::size_t i = 0; i < tables.jumps.size(); ++i)
        EXPECT_TRUE(LabelLandsOnPage(tables.jumps[i])) << "iv.txt entry " << i;
    for (const JudgeTable& t : tables.judges) EXPECT_TRUE(LabelLandsOnPage(t.label)) << "iv.txt table " << t.number;
}

TEST(DemoData, NoFlashWhitensAPictureBeforeItIsShown) {
    // A picture composed by GRP, CHR or CHL waits for the next message or menu; a flash in between
    // fills the waiting picture white, so the composition would never be seen.
    std::string waiting;
    for (const Node& n : Demo().nodes) {
        if (n.code == kMessage || n.code == kSel) waiting.clear();
        bool composes = n.code == kChr || n.code == kChl ||
                        (n.code == kGrp && Upper(n.args[0]) != "BLACK" && Upper(n.args[0]) != "WHITE");
        if (composes) waiting = n.args[0];
        EXPECT_TRUE(n.code != kFls || waiting.empty()) << "the flash at line " << n.line << " whitens " << waiting;
    }
}

TEST(DemoData, StoryPicturesExist) {
    std::set<std::string> prefixes;
    for (const Node* n : NodesOf({kGrp})) {
        std::string name = Upper(n->args[0]);
        if (name == "BLACK" || name == "WHITE") continue;
        std::vector<std::string> layers = GrpLayers(name);
        ASSERT_FALSE(layers.empty()) << "GRP " << name << " has neither 4 nor 6 digits";
        for (const std::string& layer : layers) ExpectPicture(layer, 800, 600, true);
        prefixes.insert(name.substr(0, 3));
    }
    // The save dialog's thumbnail of a background: "thumb/" and its prefix, as TIFF or PNG.
    for (const std::string& prefix : prefixes)
        EXPECT_TRUE(Demo().script->Has("thumb/" + prefix + ".tif") || Demo().script->Has("thumb/" + prefix + ".png"))
            << prefix;
    for (const Node* n : NodesOf({kChr, kChl})) {
        std::string name = Upper(n->args[0]);
        ASSERT_EQ(name.size(), 7u) << name;
        std::string who = name.substr(0, 1), p1 = name.substr(1, 2), p2 = name.substr(3, 2), p3 = name.substr(5, 2);
        if (p1 != "00") ExpectPicture("H" + p1 + "0000", 800, 600, true);
        if (p2 != "00") ExpectPicture(who + "00" + p2 + "00", 1, 600, false, true);
        if (p3 != "00") ExpectPicture(who + "0000" + p3, 1, 600, false, true);
    }
}

TEST(DemoData, StorySoundsExist) {
    for (const Node* n : NodesOf({kWav}))
        if (n->args[0] != "00") ExpectOgg("bgm/" + n->args[0] + ".ogg");
    for (const Node* n : NodesOf({kVoi}))
        if (n->args[0] != "00") ExpectOgg("voice/" + n->args[0] + ".ogg");
    for (const Node* n : NodesOf({kS1a, kS1b, kS2a, kS2b})) ExpectOgg("se/" + n->args[0] + ".ogg");
    // The sound settings' two test buttons.
    ExpectOgg("voice/V_TEST.ogg");
    ExpectOgg("se/INS02.ogg");
    for (const char* name : {"SUBMIT.WAV", "CANCEL.WAV"}) {
        const std::optional<std::string>& bytes = Demo().system->Read(name);
        ASSERT_TRUE(bytes) << name;
        EXPECT_EQ(bytes->substr(0, 12).replace(4, 4, "...."), "RIFF....WAVE") << name;
    }
}

TEST(DemoData, MessagesFitTheWindow) {
    // The window shows 24 full-width characters a line, four lines; a speaker's name has a line of
    // its own and narration starts on the second line. The window's buttons stand from x 752 on
    // the screen and the text from x 8, so the sample keeps to 23 characters (46 columns) a line:
    // a 24th would run under the buttons.
    const Element* names = Demo().config.Child("system") ? Demo().config.Child("system")->Child("name") : nullptr;
    ASSERT_TRUE(names);
    for (const Node* n : NodesOf({kMessage})) {
        std::string text = n->args[0];
        for (auto [tag, value] :
             {std::pair{"#1", names->attributes.at("first")}, std::pair{"#2", names->attributes.at("last")}}) {
            for (std::size_t at; (at = text.find(tag)) != std::string::npos;) text.replace(at, 2, value);
        }
        std::u16string wide = Utf8ToUtf16(text);
        int lines = 1;
        std::size_t start = 0;
        for (std::size_t end = 0; end <= wide.size(); ++end) {
            if (end < wide.size() && wide[end] != u'\n') continue;
            EXPECT_LE(CountTextColumns(std::u16string_view(wide).substr(start, end - start)), 46) << "line " << n->line;
            start = end + 1;
            if (end < wide.size()) ++lines;
        }
        bool speaker = wide[0] == u'\u3010';
        EXPECT_LE(lines, speaker ? 4 : 3) << "line " << n->line;
        if (speaker) {
            EXPECT_EQ(wide.find(u'\u3011'), wide.find(u'\n') - 1)
                << "the speaker's name stands alone, line " << n->line;
        }
    }
}

TEST(DemoData, ScreenPicturesHaveTheirSizes) {
    // The parts sheet: pointers, page cursors, window background, menu panel, scroll track and knob,
    // window buttons and the page-wait cursor reach to (800, 808).
    std::optional<PictureInfo> parts = FindPicture(*Demo().system, "SYSTEM");
    ASSERT_TRUE(parts);
    EXPECT_GE(parts->width, 800);
    EXPECT_GE(parts->height, 808);
    EXPECT_TRUE(parts->hasAlpha);
    ExpectPicture("title/title", 800, 1176, false);
    ExpectPicture("title/rm_parts", 106, 162, false, true);
    for (const char* name :
         {"brand", "select/selbg", "turnbg", "title/rm_base1", "title/rm_base2", "title/rm_base3", "title/rm_base4"})
        ExpectPicture(name, 800, 600, true);
    // The turn selection's places: one or two wide, each lit and unlit.
    for (std::string place : {"A", "B", "C", "D", "AB", "CD"})
        for (const char* state : {"_0", "_1"})
            ExpectPicture("select/SEL_" + place + state, place.size() == 1 ? 170 : 356, 300, true);
    const Element* system = Demo().config.Child("system");
    ASSERT_TRUE(system);
    int slides = std::atoi(system->Child("ending")->attributes.at("credit").c_str());
    EXPECT_GT(slides, 0);
    for (int n = 1; n <= slides; ++n) {
        char name[16];
        std::snprintf(name, sizeof name, "ed%02d", n);
        ExpectPicture(name, 800, 600, true);
    }
    std::vector<int> menu = Numbers(system->Child("title")->attributes.at("menu"));
    ASSERT_EQ(menu.size(), 2u);
    EXPECT_GE(menu[0], 0);
    EXPECT_LE(menu[0] + 248, 800);
    EXPECT_LE(menu[1] + 5 * 48 + 40, 600) << "the sixth title button leaves the screen";
}

TEST(DemoData, LayoutDocumentNamesExist) {
    const Element* system = Demo().config.Child("system");
    ASSERT_TRUE(system);
    std::set<std::string> modes;
    for (const Element* bgm : system->Children("bgm")) {
        modes.insert(bgm->attributes.at("mode"));
        ExpectOgg("bgm/" + bgm->attributes.at("name") + ".ogg");
    }
    EXPECT_EQ(modes, (std::set<std::string>{"title", "cgmode"}));
    // Backlog faces: one for the first letter of every voice, cut from a 48-pixel strip.
    std::map<char, int> faces;
    int largest = -1;
    for (const Element* face : system->Child("backlog")->Children("face")) {
        int number = std::atoi(face->attributes.at("number").c_str());
        faces[char(std::toupper(static_cast<unsigned char>(face->attributes.at("chr")[0])))] = number;
        largest = std::max(largest, number);
    }
    ExpectPicture("title/backlogface", 48 * (largest + 1), 48, false, true);
    for (const std::string& voice : FirstArgs(kVoi)) EXPECT_TRUE(voice == "00" || faces.count(voice[0])) << voice;
    std::set<std::string> seenPrefixes;
    for (const std::string& grp : FirstArgs(kGrp)) seenPrefixes.insert(grp.substr(0, 3));
    const std::set<std::string> sceneNames = FirstArgs(kSfs);
    // The album and the replay: pages, their buttons below or on the page, thumbnail rows.
    for (const char* screen : {"cgalbum", "sceneplay"}) {
        SCOPED_TRACE(screen);
        bool album = std::string(screen) == "cgalbum";
        const Element* layout = Demo().config.Child(screen);
        ASSERT_TRUE(layout);
        int w = std::atoi(layout->attributes.at("width").c_str()),
            h = std::atoi(layout->attributes.at("height").c_str());
        std::vector<int> thumb = Numbers(layout->attributes.at("thumbsize"));
        ASSERT_EQ(thumb.size(), 2u);
        std::vector<const Element*> pages = layout->Children("page");
        ASSERT_FALSE(pages.empty());
        int rows = 0;
        for (std::size_t p = 0; p < pages.size(); ++p) {
            std::string page = std::string(album ? "title/cg_p" : "title/s_p") + std::to_string(p + 1);
            std::optional<PictureInfo> picture = FindPicture(*Demo().script, page);
            ASSERT_TRUE(picture) << page;
            EXPECT_EQ(picture->width, 800);
            EXPECT_GE(picture->height, 600);
            for (const char* button : {"exit", "prev", "next"}) {
                std::vector<int> b = Numbers(layout->attributes.at(button));
                ASSERT_EQ(b.size(), 8u) << button;
                EXPECT_LE(b[0] + b[2], 800) << button;
                EXPECT_LE(b[1] + b[3], 600) << button;
                for (int k : {4, 6}) {  // its two looks on the page picture
                    EXPECT_LE(b[k] + b[2], picture->width) << button;
                    EXPECT_LE(b[k + 1] + b[3], picture->height) << button;
                }
            }
            for (const Element* cg : pages[p]->Children("cg")) {
                ++rows;
                std::vector<int> pos = Numbers(cg->attributes.at("pos"));
                ASSERT_EQ(pos.size(), 2u);
                EXPECT_LE(pos[0] + w, 800);
                EXPECT_LE(pos[1] + h, 600);
                std::string flag = Upper(cg->attributes.at("flag"));
                if (album) {
                    // A CG unlocks when a GRP of its prefix is shown; its full view composes like GRP.
                    EXPECT_TRUE(seenPrefixes.count(flag)) << flag << " is never shown, so it never unlocks";
                    std::istringstream list(cg->text);
                    for (std::string name; std::getline(list, name, ',');) {
                        std::vector<std::string> layers = GrpLayers(name);
                        EXPECT_FALSE(layers.empty()) << name;
                        for (const std::string& layer : layers) ExpectPicture(layer, 800, 600, true);
                    }
                } else {
                    EXPECT_TRUE(sceneNames.count(flag)) << flag << " is never reached, so it never unlocks";
                    EXPECT_TRUE(LabelLandsOnPage(flag)) << flag;
                }
            }
        }
        // Rows 0 .. rows-1 hold the thumbnails and row `rows` the locked picture.
        ExpectPicture(album ? "title/cg_thumb1" : "title/s_thumb1", thumb[0] + w, rows * thumb[1] + h, false);
    }
}

TEST(DemoData, LooseFoldersHoldTheArchivesFiles) {
    for (auto [packed, folder] : {std::pair{Demo().script.get(), Demo().scriptFolder.get()},
                                  std::pair{Demo().sound.get(), Demo().soundFolder.get()}}) {
        std::vector<std::string> names = packed->List();
        EXPECT_FALSE(names.empty());
        for (const std::string& name : names) {
            const std::optional<std::string>& loose = folder->Read(name);
            ASSERT_TRUE(loose) << name << " is missing from " << folder->path();
            EXPECT_TRUE(*loose == packed->Read(name).value_or("")) << name << " differs";
        }
        std::size_t files = 0;
        for (const auto& entry : fs::recursive_directory_iterator(folder->path())) files += entry.is_regular_file();
        EXPECT_EQ(files, names.size()) << folder->path();
    }
}

}  // namespace
}  // namespace demo_check
