// The game's manual: four full-screen pages ("title/rm_base1" to "title/rm_base4") turned with
// three picture buttons of "title/rm_parts" (previous, next, close). The title screen and the
// menu item "マニュアル" open it, over whatever the screen shows.
#pragma once

// Runs until the player closes it: a right click anywhere or a left click on the close button.
// Previous and next wrap around (from the first page to the fourth and back). A request from the
// window's menu (a ScriptException) takes the pages and buttons down and passes on; a missing
// picture raises the picture loader's error.
void ManualScreen();
