// Keyboard scan codes of the engine's input code (the 256 codes of the classic PC keyboard
// numbering) and their mapping from SDL's physical scancodes.
#pragma once

#include <cstdint>

namespace host {

enum : std::uint8_t {
    kKeyEscape = 0x01,
    kKeyBackspace = 0x0E,
    kKeyTab = 0x0F,
    kKeyReturn = 0x1C,
    kKeyLeftControl = 0x1D,
    kKeyLeftShift = 0x2A,
    kKeyZ = 0x2C,
    kKeyRightShift = 0x36,
    kKeyLeftAlt = 0x38,
    kKeySpace = 0x39,
    kKeyF1 = 0x3B,
    kKeyF10 = 0x44,
    kKeyPad7 = 0x47,
    kKeyPad8 = 0x48,
    kKeyPad9 = 0x49,
    kKeyPad4 = 0x4B,
    kKeyPad6 = 0x4D,
    kKeyPad1 = 0x4F,
    kKeyPad2 = 0x50,
    kKeyPad3 = 0x51,
    kKeyPad0 = 0x52,
    kKeyF11 = 0x57,
    kKeyF12 = 0x58,
    kKeyPadEnter = 0x9C,
    kKeyRightControl = 0x9D,
    kKeyRightAlt = 0xB8,
    kKeyUp = 0xC8,
    kKeyLeft = 0xCB,
    kKeyRight = 0xCD,
    kKeyDown = 0xD0,
};

// The scan code of an SDL scancode (SDL_Scancode as int), 0 for keys without one.
std::uint8_t ScanCodeFromSdl(int sdl_scancode);

}  // namespace host
