#include "app/player_names_dialog.h"

#include "app/system_config.h"
#include "lib/text_field.h"

PlayerNamesDialog::PlayerNamesDialog() : Dialog(u"主人公の名前", 272, 130) {
    Add({0, host::ControlKind::Static, {12, 14, 60, 34}, u"名前"});
    Add({0, host::ControlKind::Static, {12, 48, 60, 68}, u"名字"});
    Add({kFirstNameEdit, host::ControlKind::Edit, {64, 10, 260, 36}}).max_length = kFieldLength;
    Add({kLastNameEdit, host::ControlKind::Edit, {64, 44, 260, 70}}).max_length = kFieldLength;
    Add({1, host::ControlKind::DefaultButton, {64, 88, 158, 116}, u"OK"});
    Add({2, host::ControlKind::Button, {164, 88, 260, 116}, u"キャンセル"});
}

void PlayerNamesDialog::OnInit() {
    SetText(kFirstNameEdit, std::u16string(FieldText(SystemConfig.PlayerName1)));
    SetText(kLastNameEdit, std::u16string(FieldText(SystemConfig.PlayerName2)));
}

void PlayerNamesDialog::OnCommand(int id, int /*notify*/) {
    if (id == 2) {
        End(-1);
    } else if (id == 1) {
        const std::u16string first = Text(kFirstNameEdit);
        const std::u16string last = Text(kLastNameEdit);
        if (first.empty() || last.empty()) return;
        CopyField16(SystemConfig.PlayerName1, first);
        CopyField16(SystemConfig.PlayerName2, last);
        End(1);
    }
}

std::intptr_t EditPlayerNames(host::ModalUi& modal) {
    PlayerNamesDialog dialog;
    return modal.RunDialog(dialog);
}
