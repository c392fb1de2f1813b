#include "screens/debug_window.h"

#include <algorithm>
#include <vector>

#include "app/app_script.h"
#include "app/game_cycle.h"
#include "app/scene_state.h"
#include "app/system_config.h"
#include "lib/report_hook.h"
#include "lib/text.h"
#include "lib/text_field.h"
#include "script/script_error.h"
#include "script/variables.h"

namespace {

constexpr char16_t kNothing[] = u"-----";

// A sound slot's record: only a looping sound is named, one played once is gone by now.
std::u16string EffectSlotText(const SceneStateRecord& record) {
    return record.mode >= kEffectLooping ? SceneName(record) + u" (Loop)" : std::u16string(kNothing);
}

}  // namespace

std::int32_t ParseTypedNumber(std::u16string_view text) {
    // The "%d" scan that config.xml's numbers use: no digits leave 0, a long run of digits stops at
    // the range's end instead of wrapping.
    std::int32_t value = 0;
    ScanConfigNumbers(text, {&value, 1});
    return value;
}

DebugWindowDialog::DebugWindowDialog(ScriptStateGroup_App& group, host::ModalUi& modal)
    : Dialog(u"デバッグウィンドウ", 520, 390), group_(group), modal_(modal) {
    using host::ControlKind;
    Add({0, ControlKind::Static, {10, 8, 200, 26}, u"変数"});
    Add({0, ControlKind::Static, {24, 36, 88, 54}, u"変数名"});
    Add({kNameEdit, ControlKind::Edit, {92, 32, 250, 58}}).max_length = kNameUnits;
    Add({kShowButton, ControlKind::Button, {260, 32, 340, 58}, u"表示"});
    Add({kVariableListButton, ControlKind::Button, {350, 32, 510, 58}, u"変数一覧"});
    Add({0, ControlKind::Static, {24, 68, 88, 86}, u"数値"});
    Add({kValueEdit, ControlKind::Edit, {92, 64, 250, 90}}).max_length = kValueUnits;
    Add({kChangeButton, ControlKind::Button, {260, 64, 340, 90}, u"変更"});
    Add({kSceneFlagButton, ControlKind::Button, {350, 64, 510, 90}, u"シーン再生フラグ"});

    Add({0, ControlKind::Static, {10, 102, 200, 120}, u"ラベル"});
    Add({0, ControlKind::Static, {24, 130, 88, 148}, u"ラベル名"});
    Add({kLabelEdit, ControlKind::Edit, {92, 126, 340, 152}}).max_length = kNameUnits;
    Add({kJumpButton, ControlKind::Button, {350, 126, 510, 152}, u"ジャンプ"});

    Add({0, ControlKind::Static, {10, 166, 200, 184}, u"ページ情報"});
    const struct {
        int id;
        const char16_t* label;
    } rows[] = {{kLineStatic, u"行番号"}, {kChrStatic, u".CHR"}, {kGrpStatic, u".GRP"}, {kChlStatic, u".CHL"},
                {kWavStatic, u".WAV"},    {kS1Static, u".S1"},   {kS2Static, u".S2"}};
    int top = 190;
    for (const auto& row : rows) {
        Add({0, ControlKind::Static, {24, top, 88, top + 18}, row.label});
        Add({row.id, ControlKind::Static, {92, top, 510, top + 18}});
        top += 22;
    }
    Add({2, ControlKind::Button, {420, 350, 510, 378}, u"閉じる"});
}

void DebugWindowDialog::OnInit() { ShowPageInfo(); }

void DebugWindowDialog::ShowPageInfo() {
    // The line of the node the script stands on, counted as the author's editor counts them.
    const TextScript::ScriptStateNode* node = group_.current_node();
    SetText(kLineStatic, node ? FormatString(u"%d", static_cast<std::int64_t>(node->line) - 1) : kNothing);

    SetText(kChrStatic, CurrentPicture.mode == kSceneChr ? SceneName(CurrentPicture) : kNothing);
    switch (CurrentPicture.mode) {
        case kSceneBlack: SetText(kGrpStatic, u"Black"); break;
        case kSceneWhite: SetText(kGrpStatic, u"White"); break;
        case kSceneGrp: SetText(kGrpStatic, SceneName(CurrentPicture)); break;
        case kSceneChr: SetText(kGrpStatic, kNothing); break;
        default: break;  // a mode no command writes names no picture
    }
    SetText(kChlStatic, CurrentChl.mode != 0 ? SceneName(CurrentChl) : kNothing);
    SetText(kWavStatic, CurrentBgm.mode != 0 ? SceneName(CurrentBgm) : kNothing);
    SetText(kS1Static, EffectSlotText(CurrentS1));
    SetText(kS2Static, EffectSlotText(CurrentS2));
}

int DebugWindowDialog::Box(std::u16string_view caption, std::u16string_view text, unsigned style) {
    return modal_.MessageBox(caption, text, style);
}

void DebugWindowDialog::ShowVariable() {
    const std::u16string name = Text(kNameEdit);
    if (name.empty()) {
        Box(u"エラー", u"変数名を入力してください", kMbOk);
        return;
    }
    const TextScript::VariableNode* variable =
        TextScript::FindVariable(TextScript::LiveVariables(), TextScript::VariableNode::kNumber, name);
    if (!variable) {
        Box(u"エラー", u"変数がありません", kMbOk);
        return;
    }
    SetText(kValueEdit, FormatString(u"%d", variable->value));
}

void DebugWindowDialog::ChangeVariable() {
    const std::u16string name = Text(kNameEdit);
    const std::u16string value = Text(kValueEdit);
    if (name.empty()) {
        Box(u"エラー", u"変数名を入力してください", kMbOk);
        return;
    }
    if (value.empty()) {
        Box(u"エラー", u"数値を入力してください", kMbOk);
        return;
    }
    TextScript::VariableTable& live = TextScript::LiveVariables();
    if (!TextScript::FindVariable(live, TextScript::VariableNode::kNumber, name) &&
        Box(u"エラー", u"変数がありません。新たに現在の数値で追加しますか？", kMbYesNo) != kIdYes)
        return;
    // Created or found, it takes the typed value at once; a save takes it with the next page.
    TextScript::GetOrCreateVariable(live, name, ParseTypedNumber(value));
    Box(u"変数", u"変更しました", kMbOk);
}

void DebugWindowDialog::Jump() {
    const std::u16string label = Text(kLabelEdit);
    if (label.empty()) {
        Box(u"エラー", u"ラベル名を入力してください", kMbOk);
        return;
    }
    try {
        if (!TextScript::FindLabelNode(group_, label)) {
            Box(u"エラー", u"指定したラベルがありません", kMbOk);
            return;
        }
    } catch (const TextScript::ScriptError2& error) {
        // A label without a page end before it cannot be jumped to: the author is told why, and
        // the script, which did not ask for this jump, goes on as it was.
        Box(u"エラー", FieldText(error.text), kMbOk);
        return;
    }
    group_.RequestDebugJump(label);
    End(0);
}

void DebugWindowDialog::OnCommand(int id, int /*notify*/) {
    // Buttons only: the edits' notices have ids of their own, which no case takes.
    switch (id) {
        case kShowButton: ShowVariable(); break;
        case kChangeButton: ChangeVariable(); break;
        case kJumpButton: Jump(); break;
        case kVariableListButton: {
            VariableListDialog list;
            modal_.RunDialog(list);
            break;
        }
        case kSceneFlagButton: {
            SceneFlagListDialog list(group_);
            modal_.RunDialog(list);
            break;
        }
        case 2: End(-1); break;
        default: break;  // Return: the window has no OK button
    }
}

ListDialog::ListDialog(std::u16string caption) : Dialog(std::move(caption), 380, 380) {
    // The layer draws every list in its one fixed-pitch Gothic face, so the columns line up.
    Add({kList, host::ControlKind::ListBox, {10, 10, 370, 330}});
    Add({1, host::ControlKind::DefaultButton, {280, 340, 370, 368}, u"OK"});
}

void ListDialog::OnCommand(int id, int notify) {
    if ((id == 1 || id == 2) && notify == host::kNotifyClicked) End(0);
}

void VariableListDialog::OnInit() {
    std::vector<std::u16string> lines;
    TextScript::LiveVariables().ForEach([&lines](const TextScript::VariableNode& variable) {
        // A text variable (only a save's records hold them) shows its text, not a number.
        lines.push_back(variable.kind == TextScript::VariableNode::kText
                            ? FormatString(u"%8s : %s", variable.name, variable.text)
                            : FormatString(u"%8s : %d", variable.name, variable.value));
    });
    SetItems(kList, std::move(lines));
}

void SceneFlagListDialog::OnInit() {
    std::vector<std::u16string> lines;
    for (const std::u16string& name : group_.scene_names()) lines.push_back(FormatString(u"%s", name));
    SetItems(kList, std::move(lines));
}

std::intptr_t OpenDebugWindow(host::ModalUi& modal) {
    if (!CurrentScript) return -1;
    DebugWindowDialog dialog(*CurrentScript, modal);
    return modal.RunDialog(dialog);
}
