#include "app/scene_state.h"

#include <cstring>

#include "lib/text.h"
#include "lib/text_field.h"

SceneStateRecord CurrentPicture;
SceneStateRecord CurrentChl;
SceneStateRecord CurrentBgm;
SceneStateRecord CurrentS1;
SceneStateRecord CurrentS2;

namespace {
SceneStateRecord* const kRecords[] = {&CurrentPicture, &CurrentChl, &CurrentBgm, &CurrentS1, &CurrentS2};
}  // namespace

void RecordScene(SceneStateRecord& record, std::uint8_t mode, std::u16string_view name) {
    record.mode = mode;
    CopyFieldCp932(record.name, Utf16ToCp932(name));
}

std::u16string SceneName(const SceneStateRecord& record) {
    const void* end = std::memchr(record.name, '\0', sizeof record.name);
    const std::size_t length = end ? static_cast<const char*>(end) - record.name : sizeof record.name;
    return Cp932ToUtf16({record.name, length});
}

void ClearSceneStateModes() {
    for (SceneStateRecord* record : kRecords) record->mode = 0;
}

void ResetSceneState() {
    for (SceneStateRecord* record : kRecords) *record = SceneStateRecord{};
}
