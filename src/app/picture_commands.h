// The story's picture commands: GRP composes a background from coded picture names (or fills the
// picture black or white), CHR puts a character on the picture and CHL a second character over it.
//
// A composed picture waits on the work surface until the next picture transition shows it; black
// and white are shown at once. Each command keeps the scene-state records (app/scene_state.h) so
// that a saved game can show the same picture again, and GRP adds what it shows to the list of
// seen pictures. A picture file that is missing, or a name that does not follow its command's
// form, gives the player a message box naming it and draws nothing for it; the story goes on.
//
// Name forms: GRP takes a three-character prefix and four or six code characters, each non-zero
// one an overlay ("EV10102" draws EV10000, then EV10100 and EV10002); CHR and CHL take a
// character letter and three two-digit part codes, "00" for none ("A010203" draws H010000 at the
// left edge, then A000200 and A000003 at the x that config.xml gives the letter).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace DxDraw {
class DxSurface;
}
namespace TextScript {
class ScriptStateNode;
}
class ScriptStateNode_App;

// The first three characters of every GRP picture shown, each once (case ignored). Emptied at
// the start and end of each game cycle; the global records read and write it.
extern std::vector<std::u16string> SeenCgList;
bool IsCgSeen(std::u16string_view prefix);

// Which layer a character picture goes to: the character layer or the second one.
enum class CharLayer { kChr, kChl };

// A GRP name's base picture and its overlays drawn over `target` with their alpha; a missing file
// is reported in a box headed by `tag` and skipped. False, drawing nothing, for a name of another
// length.
bool DrawGrpLayers(DxDraw::DxSurface& target, std::u16string_view name, std::u16string_view tag);

// Composition onto the work surface, each image drawn over what the surface holds.
void ShowGrpImage(std::u16string_view name);
void ShowCharImage(std::u16string_view name, CharLayer layer);

// What the commands and the replay after a load show, each posting its "picture" event: the
// work surface filled black or white and shown at once, or a picture composed for the next
// transition.
void ShowPlainPicture(bool white);
void ComposeGrpPicture(std::u16string_view name);
void ComposeCharPicture(std::u16string_view name, CharLayer layer);

// The handlers: argument 0 is the name; each returns the next node.
TextScript::ScriptStateNode* ExecuteGrp(ScriptStateNode_App& node);
// CHR or CHL, by the node's code.
TextScript::ScriptStateNode* ExecuteCharacter(ScriptStateNode_App& node);

// Empties the seen list (the runtime's start-up and teardown).
void ResetPictureCommands();
