// The display-driver choice that the --SELDRIVER option asks for: the drivers the display device
// offers in a combo box, the first selected; OK ends with the selected index, Cancel with -1
// (which the device takes as the first driver).
#pragma once

#include <span>

#include "dxdraw/display_device.h"
#include "host/ui/dialog.h"

class DriverChoiceDialog : public host::Dialog {
public:
    enum : int { kDriverCombo = 1000 };

    explicit DriverChoiceDialog(std::span<const DisplayDriverRecord> drivers);
    void OnInit() override;
    void OnCommand(int id, int notify) override;

private:
    std::span<const DisplayDriverRecord> drivers_;
};

// The chooser the display start-up calls, running the dialog on `modal`.
DisplayDriverChooser DriverChoiceOn(host::ModalUi& modal);
