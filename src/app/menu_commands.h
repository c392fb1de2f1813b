// The command ids of the game window's menu bar and accelerators, shared by the window
// procedure, the start-up and the story commands that enable and gray them.
#pragma once

enum : int {
    kMenuQuit = 40000,
    kMenuScreenMode = 40001,  // Alt+Enter
    kMenuF10 = 40002,         // F10: an accelerator with nothing to do
    kMenuBackToTitle = 40003,
    kMenuDrawSpeed1 = 40004,
    kMenuDrawSpeed2 = 40005,
    kMenuDrawSpeed4 = 40006,
    kMenuDrawSpeed8 = 40007,
    kMenuDrawSpeed16 = 40008,
    kMenuDrawSpeedAuto = 40009,
    kMenuSave = 40010,
    kMenuLoad = 40011,
    kMenuGoBack = 40012,  // Ctrl+Z
    kMenuDebugWindow = 40013,
    kMenuTextSlow = 40017,
    kMenuTextNormal = 40018,
    kMenuTextFast = 40019,
    kMenuTextFastest = 40020,
    kMenuAutoOff = 40021,  // no item; the radio check of auto-wait index 0
    kMenuAutoSlow = 40022,
    kMenuAutoNormal = 40023,
    kMenuAutoFast = 40024,
    kMenuAutoFastest = 40025,
    kMenuSoundSettings = 40027,
    kMenuSystemSettings = 40028,
    kMenuPlayerNames = 40029,
    kMenuManual = 40030,
};
