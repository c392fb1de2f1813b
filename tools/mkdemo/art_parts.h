// Pieces shared by the picture recipes.
#pragma once

#include <vector>

#include "canvas.h"

namespace mkdemo {

// Scattered stars between the rows top and bottom, brighter ones with a small glow.
void Stars(Canvas& canvas, std::uint32_t seed, int count, int top, int bottom, float opacity = 1.0f);
// A fluffy cloud of overlapping puffs, flat underneath, lit from above.
void Cloud(Canvas& canvas, Point centre, float size, const Color& light, const Color& shade, std::uint32_t seed);
// Sea from the horizon down, with glints along the rows.
void Sea(Canvas& canvas, int horizon, int bottom, const Color& far, const Color& near, const Color& glint,
         std::uint32_t seed);
// A ridge of hills: noise-shaped outline above baseY, filled down to the bottom.
void Hills(Canvas& canvas, float baseY, float amplitude, float scale, const Color& color, std::uint32_t seed,
           float softness = 1.5f);
// The lighthouse of the cape; (x, baseY) is the foot of the tower, height in pixels.
void Lighthouse(Canvas& canvas, float x, float baseY, float height, bool dark);
// The lantern's position for a lighthouse drawn with the same arguments.
Point LighthouseLantern(float x, float baseY, float height);
// Fireworks burst with glowing trails.
void Firework(Canvas& canvas, Point centre, float radius, const Color& color, std::uint32_t seed);
// A person seen as a silhouette: who 'A' (long hair), 'B' (bob), 'H' (the hero), 'C' (old keeper);
// (x, y) is the top of the head, scale 1 is a 600-pixel-tall standing figure.
std::vector<Shape> FigureSilhouette(char who, float x, float y, float scale);

}  // namespace mkdemo
