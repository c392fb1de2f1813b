#include "app/driver_choice_dialog.h"

#include <string>
#include <vector>

DriverChoiceDialog::DriverChoiceDialog(std::span<const DisplayDriverRecord> drivers)
    : Dialog(u"ドライバの選択", 300, 110), drivers_(drivers) {
    Add({kDriverCombo, host::ControlKind::ComboBox, {12, 12, 288, 38}});
    Add({1, host::ControlKind::DefaultButton, {104, 66, 190, 94}, u"OK"});
    Add({2, host::ControlKind::Button, {202, 66, 288, 94}, u"キャンセル"});
}

void DriverChoiceDialog::OnInit() {
    std::vector<std::u16string> names;
    for (const DisplayDriverRecord& driver : drivers_) names.push_back(driver.description);
    SetItems(kDriverCombo, std::move(names));
    SetSelection(kDriverCombo, 0);
}

void DriverChoiceDialog::OnCommand(int id, int notify) {
    if (id == 1) return End(Selection(kDriverCombo));
    if (id == 2) return End(-1);
    Dialog::OnCommand(id, notify);
}

DisplayDriverChooser DriverChoiceOn(host::ModalUi& modal) {
    return [&modal](int count, const DisplayDriverRecord* records) {
        DriverChoiceDialog dialog(std::span(records, static_cast<std::size_t>(count)));
        return static_cast<int>(modal.RunDialog(dialog));
    };
}
