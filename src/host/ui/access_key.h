// Access keys: a label marks the key that picks it with '&' ("終了(&X)", "削除(&D)"), and "&&"
// stands for a plain '&'. Menus, dialog buttons and message boxes answer the marked key.
#pragma once

#include <string_view>

namespace host {

// The key a label marks, as an upper-case letter (or digit); 0 when the label marks none.
char16_t AccessKey(std::u16string_view label);

}  // namespace host
