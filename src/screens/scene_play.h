// The scene replay: the scenes the player has reached, on pages of thumbnails laid out by the
// element "sceneplay" of config.xml (the "title/s_p%d" page pictures, the "title/s_thumb1" sheet),
// twin of the CG album. A thumbnail's "flag" is a scene name: it is reached when the story's
// scene-name list holds it, and choosing it plays the story again from the label of that name,
// in scene-play mode, until the scene ends or the player goes back to the page.
#pragma once

// Runs the screen until the player leaves it; the title music plays on every page. During a
// replay the menu's back-to-title item reads "再生メニューに戻る(&X)" and leads back to the page;
// the replay mode and the item's own text come back however the replay ends. A load chosen
// during a replay, and a request from the window menu on the page, take the screen down and
// travel on as a ScriptException. A scene whose label the script lacks is named in a box and
// the page stays.
void RunScenePlay();
