// The hero-name dialog: the hero's first and last name ("#1" and "#2" in messages), at most 8
// characters each in the fields, stored into the system configuration only when both are given.
#pragma once

#include <cstdint>

#include "host/ui/dialog.h"

class PlayerNamesDialog : public host::Dialog {
public:
    enum : int { kFirstNameEdit = 1061, kLastNameEdit = 1062 };
    static constexpr std::size_t kFieldLength = 8;

    PlayerNamesDialog();
    void OnInit() override;
    // OK stores both names and ends with 1 when neither is empty (else the dialog stays open);
    // Cancel ends with -1.
    void OnCommand(int id, int notify) override;
};

// Runs the dialog over the game window; its result.
std::intptr_t EditPlayerNames(host::ModalUi& modal);
