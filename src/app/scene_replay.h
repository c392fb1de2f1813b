// After a load the story's run shows and plays again what the scene-state records remember,
// before the story goes on at the saved page.
#pragma once

// Music, the looping effects (an effect played once is over), then the picture and the second
// character layer over it. Black and white show at once; a composed picture waits for the next
// transition like any other. Needs the scene's views (app/scene_stage.h).
void ReplaySceneState();
