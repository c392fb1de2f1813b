#include "app/picture_commands.h"

#include <algorithm>

#include "app/app_script.h"
#include "app/cg_image.h"
#include "app/frame_step.h"
#include "app/game_data.h"
#include "app/game_events.h"
#include "app/picture_transitions.h"
#include "app/scene_state.h"
#include "app/scene_views.h"
#include "app/settings.h"
#include "app/system_config.h"
#include "lib/report.h"
#include "script/text_fold.h"

std::vector<std::u16string> SeenCgList;

namespace {

using TextScript::ScriptStateNode;

constexpr std::uint32_t kBlack = 0x000000;
constexpr std::uint32_t kWhite = 0xFFFFFF;
constexpr std::uint32_t kOpaque = 255;
constexpr std::size_t kGrpPrefix = 3;
constexpr std::size_t kCharNameLength = 7;
constexpr std::u16string_view kNoPart = u"00";

std::u16string_view Tag(CharLayer layer) { return layer == CharLayer::kChl ? u"CHL" : u"CHR"; }
std::u16string_view EventLayer(CharLayer layer) { return layer == CharLayer::kChl ? u"chl" : u"chr"; }

void ReportMissing(std::u16string_view tag, std::u16string_view image) {
    MessageBoxPrintf(u"エラー", u"%s:画像ファイル %s がありません。", tag, image);
}

// Draws the picture file over `target` with its alpha; a missing one is reported.
void DrawImage(DxDraw::DxSurface& target, std::u16string_view tag, std::u16string_view image, int x, int y) {
    ComPtr<DxDraw::DxSurface> picture = LoadCgImage(ScriptArchive.Get(), image, true, true);
    if (!picture) return ReportMissing(tag, image);
    DxDraw::BlendParams blend;
    blend.flags = DxDraw::BLEND_SOURCE_ALPHA;
    target.Blit(x, y, picture.Get(), nullptr, nullptr, &blend);
}

void DrawImage(std::u16string_view tag, std::u16string_view image, int x, int y) {
    DrawImage(*PictureWorkSurface, tag, image, x, y);
}

// Four or six code characters after the prefix; 0 for a name of another length.
std::size_t GrpCodeCount(std::u16string_view name) {
    if (name.size() == kGrpPrefix + 4) return 4;
    if (name.size() == kGrpPrefix + 6) return 6;
    return 0;
}

// The x of the first entry whose code is the letter upper-cased or '*'; 0 without one.
std::int32_t CharX(const std::vector<CharPosition>& table, char16_t letter) {
    const char16_t code = UpperCasePositionCode(letter);
    const auto entry = std::find_if(table.begin(), table.end(),
                                    [code](const CharPosition& p) { return p.code == code || p.code == u'*'; });
    return entry == table.end() ? 0 : entry->x;
}

}  // namespace

bool IsCgSeen(std::u16string_view prefix) {
    return std::any_of(SeenCgList.begin(), SeenCgList.end(),
                       [prefix](const std::u16string& seen) { return TextScript::EqualIgnoringCase(seen, prefix); });
}

bool DrawGrpLayers(DxDraw::DxSurface& target, std::u16string_view name, std::u16string_view tag) {
    const std::size_t codes = GrpCodeCount(name);
    if (codes == 0) return false;
    std::u16string image(name.substr(0, kGrpPrefix));
    image.append(codes, u'0');
    DrawImage(target, tag, image, 0, 0);
    for (std::size_t i = kGrpPrefix; i < name.size(); ++i) {
        if (name[i] == u'0') continue;
        image[i] = name[i];
        DrawImage(target, tag, image, 0, 0);
        image[i] = u'0';
    }
    return true;
}

void ShowGrpImage(std::u16string_view name) {
    if (!PictureWorkSurface) return;
    // Not a picture name: nothing to compose, and nothing the player must be told.
    if (!DrawGrpLayers(*PictureWorkSurface, name, u"GRP")) DebugPrintf(u"GRP: %s is not a picture name\n", name);
}

void ShowCharImage(std::u16string_view name, CharLayer layer) {
    if (!PictureWorkSurface) return;
    // The letter and three part codes are the first seven characters; what follows them is not read.
    if (name.size() < kCharNameLength) return ReportMissing(Tag(layer), name);
    const std::u16string letter(1, name[0]);
    const std::u16string_view face = name.substr(1, 2), pose = name.substr(3, 2), extra = name.substr(5, 2);
    if (face != kNoPart) DrawImage(Tag(layer), u"H" + std::u16string(face) + u"0000", 0, 0);
    const std::int32_t x =
        CharX(layer == CharLayer::kChl ? SystemConfig.ChlPositionTable : SystemConfig.CharPositionTable, name[0]);
    if (pose != kNoPart) DrawImage(Tag(layer), letter + u"00" + std::u16string(pose) + u"00", x, 0);
    if (extra != kNoPart) DrawImage(Tag(layer), letter + u"0000" + std::u16string(extra), x, 0);
}

void ShowPlainPicture(bool white) {
    ShowFilledPicture(white ? kWhite : kBlack);
    PostGameEvent("picture", {u"bg", white ? u"WHITE" : u"BLACK"});
}

void ComposeGrpPicture(std::u16string_view name) {
    ShowGrpImage(name);
    PicturePending |= kPictureComposed;
    PostGameEvent("picture", {u"bg", name});
}

void ComposeCharPicture(std::u16string_view name, CharLayer layer) {
    ShowCharImage(name, layer);
    PicturePending |= kPictureComposed;
    PostGameEvent("picture", {EventLayer(layer), name});
}

ScriptStateNode* ExecuteGrp(ScriptStateNode_App& node) {
    const std::u16string_view name = node.Arg(0);
    const bool black = TextScript::EqualIgnoringCase(name, u"BLACK");
    CurrentChl.mode = 0;
    if (black || TextScript::EqualIgnoringCase(name, u"WHITE")) {
        CurrentPicture.mode = black ? kSceneBlack : kSceneWhite;
        if (SettingsBlock.display_speed != 1 && SkipMode == 0) {
            black ? FadeToBlack() : FadeToWhite();
            PostGameEvent("picture", {u"bg", black ? u"BLACK" : u"WHITE"});
        } else {
            ShowPlainPicture(!black);
            StepFrame();
        }
        return node.next();
    }
    RecordScene(CurrentPicture, kSceneGrp, name);
    // The prefix counts as seen whatever the name's length, even when nothing can be drawn.
    const std::u16string_view prefix = name.substr(0, kGrpPrefix);
    if (!prefix.empty() && !IsCgSeen(prefix)) SeenCgList.emplace_back(prefix);
    ComposeGrpPicture(name);
    return node.next();
}

ScriptStateNode* ExecuteCharacter(ScriptStateNode_App& node) {
    const std::u16string_view name = node.Arg(0);
    const CharLayer layer = node.code == ScriptStateNode::kChl ? CharLayer::kChl : CharLayer::kChr;
    if (layer == CharLayer::kChl) {
        RecordScene(CurrentChl, kSceneOn, name);
    } else {
        RecordScene(CurrentPicture, kSceneChr, name);
        CurrentChl.mode = 0;
    }
    ComposeCharPicture(name, layer);
    return node.next();
}

void ResetPictureCommands() { SeenCgList.clear(); }
