// The faces offered for the message text: the Japanese outline faces of fixed pitch that
// fontconfig knows (Japanese faces report dual width, which counts as fixed here), by family
// name in Japanese where the face has one. The two faces the settings name by default come first,
// so that a stored default stays selectable whatever is installed.
#pragma once

#include <string>
#include <vector>

namespace host {

inline constexpr char16_t kDefaultMinchoFace[] = u"ＭＳ 明朝";
inline constexpr char16_t kDefaultGothicFace[] = u"ＭＳ ゴシック";

// Names longer than `max_units` - 1 UTF-16 units (what the settings' face field holds) and names
// beginning with '@' (vertical-writing variants) are left out; no name appears twice.
std::vector<std::u16string> ListMessageFaces(std::size_t max_units = 32);

}  // namespace host
