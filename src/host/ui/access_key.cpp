#include "host/ui/access_key.h"

namespace host {

char16_t AccessKey(std::u16string_view label) {
    for (std::size_t i = 0; i + 1 < label.size(); ++i) {
        if (label[i] != u'&') continue;
        const char16_t key = label[++i];
        if (key == u'&') continue;  // "&&" is the character itself
        return key >= u'a' && key <= u'z' ? static_cast<char16_t>(key - u'a' + u'A') : key;
    }
    return 0;
}

}  // namespace host
