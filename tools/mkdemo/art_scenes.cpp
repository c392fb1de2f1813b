#include <cmath>
#include <numbers>
#include <stdexcept>

#include "art.h"
#include "art_parts.h"

namespace mkdemo {

namespace {

constexpr int kW = 800, kH = 600;

void House(Canvas& c, float x, float base, float w, float h, const Color& wall, const Color& roof, bool lit) {
    c.PaintGradient(RoundRect(x, base - h, x + w, base, 1), wall, Mix(wall, Rgb(0x6A6478), 0.25f), 1.0f);
    float over = w * 0.08f;
    c.Paint(Polygon({{x - over, base - h + 1}, {x + w + over, base - h + 1}, {x + w * 0.5f, base - h - h * 0.55f}}),
            roof, 1.0f);
    int windows = std::max(1, int(w / 26));
    for (int i = 0; i < windows; ++i) {
        float wx = x + w * (i + 0.5f) / windows - 5;
        Color glass = lit ? Rgb(0xFFD98A) : Rgb(0x5C7894);
        c.Paint(RoundRect(wx, base - h * 0.7f, wx + 10, base - h * 0.7f + 12, 1.5f), glass, 0.8f);
        if (lit) c.Glow({wx + 5, base - h * 0.7f + 6}, 14, Rgb(0xFFB65C, 0.4f));
    }
}

// The harbour town on the slope, seen from the hill road; lit windows for the evening version.
void Town(Canvas& c, bool evening) {
    Random random(11);
    const Color walls[] = {Rgb(0xF6EBDD), Rgb(0xEED9C4), Rgb(0xF3E0DC), Rgb(0xE4E7E1), Rgb(0xF1E4C8)};
    const Color roofs[] = {Rgb(0xB5533C), Rgb(0x2F6F80), Rgb(0x3D4C73), Rgb(0x9C6B4E), Rgb(0x5E8C6A)};
    // Back rows first, smaller, then the rows nearer the road.
    for (int row = 0; row < 3; ++row) {
        float base = 360.0f + row * 55;
        float size = 0.6f + row * 0.28f;
        for (float x = -20; x < kW; x += random.Uniform(60, 95) * size) {
            // Leave the middle open: the road runs down to the sea there.
            if (x > 300 - row * 40 && x < 470 + row * 30) continue;
            float w = random.Uniform(45, 70) * size, h = random.Uniform(30, 44) * size;
            House(c, x, base, w, h, walls[random.Next() % 5], roofs[random.Next() % 5],
                  evening && random.Next() % 3 != 0);
        }
    }
}

Canvas Town(bool evening) {
    Canvas c(kW, kH);
    if (evening) {
        c.VerticalGradient({Rgb(0x3A4C7E), Rgb(0xB67E9A), Rgb(0xF5B77A), Rgb(0xF9D9A8)}, 0, 300);
        c.Glow({560, 280}, 260, Rgb(0xFFB070, 0.5f));
    } else {
        c.VerticalGradient({Rgb(0x5FA8D8), Rgb(0x9FD2EC), Rgb(0xDCEFF4)}, 0, 300);
        c.Glow({620, 80}, 200, Rgb(0xFFF6D8, 0.6f));
        Cloud(c, {150, 110}, 70, Rgb(0xFFFFFF, 0.95f), Rgb(0xD8E6F0, 0.9f), 3);
        Cloud(c, {470, 70}, 45, Rgb(0xFFFFFF, 0.9f), Rgb(0xDCE8F2, 0.85f), 4);
        Cloud(c, {700, 160}, 55, Rgb(0xFFFFFF, 0.9f), Rgb(0xD5E4EE, 0.85f), 5);
    }
    Hills(c, 292, 40, 180, evening ? Rgb(0x6E6A8C) : Rgb(0x8FB4BA), 21, 2.0f);
    Sea(c, 300, 390, evening ? Rgb(0xC9918C) : Rgb(0x6FAFCB), evening ? Rgb(0x5A5F8A) : Rgb(0x2F7196),
        evening ? Rgb(0xFFE0B0, 0.8f) : Rgb(0xFFFFFF, 0.8f), 7);
    Hills(c, 400, 70, 260, evening ? Rgb(0x4F5A6E) : Rgb(0x7FA77A), 31, 1.5f);
    Town(c, evening);
    // The road winds down to the harbour between grass verges and low stone walls.
    c.PaintGradient(Polygon({{372, 382}, {418, 382}, {470, 440}, {700, 600}, {150, 600}, {330, 440}}),
                    evening ? Rgb(0x8C7F88) : Rgb(0xD9CBB2), evening ? Rgb(0x6E6270) : Rgb(0xB7A68A), 1.5f);
    c.Paint(Polygon({{394, 384}, {398, 384}, {420, 600}, {408, 600}}), Rgb(0xFFFFFF, evening ? 0.2f : 0.45f), 1.0f);
    c.PaintGradient(Polygon({{0, 520}, {150, 470}, {170, 482}, {0, 545}}), Rgb(0x9A9490), Rgb(0x7C7672), 1.5f);
    c.PaintGradient(Polygon({{800, 500}, {640, 468}, {622, 480}, {800, 525}}), Rgb(0x9A9490), Rgb(0x7C7672), 1.5f);
    // Round trees and bushes along the verges, lit from the upper right.
    Random random(23);
    const Point trees[] = {{40, 470}, {95, 505}, {230, 455}, {560, 450}, {705, 475}, {770, 520}, {20, 560}, {760, 580}};
    for (const Point& t : trees) {
        float r = random.Uniform(18, 30) * (t.y / 480.0f);
        Color leaf = evening ? Rgb(0x4F6A58) : Rgb(0x5E9A5A), dark = evening ? Rgb(0x33463C) : Rgb(0x3F7343);
        c.Paint(RoundRect(t.x - 3, t.y - r * 0.2f, t.x + 3, t.y + r * 0.9f, 2), Rgb(0x5A4032), 1.0f);
        c.PaintGradient(Union({Circle({t.x, t.y - r}, r), Circle({t.x - r * 0.7f, t.y - r * 0.6f}, r * 0.7f),
                               Circle({t.x + r * 0.7f, t.y - r * 0.5f}, r * 0.65f)}),
                        leaf, dark, 1.5f);
        c.Paint(Circle({t.x + r * 0.3f, t.y - r * 1.3f}, r * 0.35f), Rgb(0xFFFFFF, 0.12f), 4.0f);
    }
    // A telegraph pole and its wires cross the sky on the left.
    c.Paint(RoundRect(118, 200, 124, 470, 2), Rgb(0x4A4046), 1.0f);
    c.Paint(RoundRect(100, 214, 142, 219, 1), Rgb(0x4A4046), 1.0f);
    for (int w = 0; w < 2; ++w) {
        std::vector<Shape> wire;
        Point prev{-10, 230.0f + w * 10};
        for (int k = 1; k <= 12; ++k) {
            float x = -10 + k * 11.0f;
            Point next{x, 216.0f + w * 2 + 14 * (1 - (x - 50) * (x - 50) / 3600.0f) * 0.6f + w * 8};
            wire.push_back(Capsule(prev, next, 0.7f));
            prev = next;
        }
        c.Paint(Union(wire), Rgb(0x3A3438, 0.8f), 1.0f);
    }
    c.Grain(0.012f, 1);
    return c;
}

Canvas Cape(bool lit) {
    Canvas c(kW, kH);
    c.VerticalGradient({Rgb(0x2B3A67), Rgb(0x6B5485), Rgb(0xD98A78), Rgb(0xF6C07F)}, 0, 330);
    c.Glow({330, 330}, 300, Rgb(0xFFB46A, 0.55f));
    c.Paint(Circle({330, 336}, 34), Rgb(0xFFD49A), 2.0f);
    Cloud(c, {160, 190}, 60, Rgb(0xF7B9A0, 0.75f), Rgb(0x8E6A8E, 0.7f), 8);
    Cloud(c, {520, 120}, 50, Rgb(0xE9A3A0, 0.6f), Rgb(0x6F5C8A, 0.6f), 9);
    Sea(c, 330, 600, Rgb(0xC98F86), Rgb(0x24304F), Rgb(0xFFD9A0, 0.8f), 12);
    // The sun's road across the water.
    for (int y = 340; y < 600; y += 4) {
        float w = 12 + (y - 330) * 0.5f;
        c.Paint(Capsule({330 - w * 0.5f, float(y)}, {330 + w * 0.5f, float(y)}, 1.0f), Rgb(0xFFD7A0, 0.25f), 1.5f);
    }
    // The cape: a dark headland on the right with grass along its edge.
    std::vector<Point> cliff{{430, 600}, {470, 430}, {520, 360}, {600, 318}, {700, 300}, {810, 296}, {810, 610}};
    c.PaintGradient(Polygon(cliff), Rgb(0x3A3550), Rgb(0x1B1B2C), 1.5f);
    Random random(5);
    for (float x = 470; x < 800; x += 6) {
        float base = x < 520   ? 430 - (x - 470) * 1.4f
                     : x < 600 ? 360 - (x - 520) * 0.52f
                     : x < 700 ? 318 - (x - 600) * 0.18f
                               : 300;
        float h = random.Uniform(6, 16);
        c.Paint(Capsule({x, base + 2}, {x + random.Uniform(-3, 3), base - h}, 1.4f), Rgb(0x2D3447), 1.0f);
    }
    Lighthouse(c, 660, 306, 230, false);
    Point lantern = LighthouseLantern(660, 306, 230);
    if (lit) {
        c.Glow(lantern, 60, Rgb(0xFFF1C0, 0.9f));
    }
    c.Grain(0.01f, 2);
    return c;
}

Canvas Library(bool evening) {
    Canvas c(kW, kH);
    c.VerticalGradient({Rgb(0xE9DCC4), Rgb(0xDCC8A8)}, 0, 440);
    c.VerticalGradient({Rgb(0x9A6B48), Rgb(0x6E4A33)}, 440, 600);
    // The tall window in the middle with the sky and the sea beyond.
    Canvas view(200, 300);
    view.VerticalGradient(
        evening ? std::vector<Color>{Rgb(0x7A6A9A), Rgb(0xF2B27E)} : std::vector<Color>{Rgb(0x8CC6E6), Rgb(0xD8EEF4)},
        0, 210);
    view.VerticalGradient({evening ? Rgb(0x8D6E8A) : Rgb(0x4D92B6), evening ? Rgb(0x4C4A70) : Rgb(0x2F6F95)}, 210, 300);
    c.Paint(RoundRect(292, 72, 508, 388, 8), Rgb(0x5A3E2C), 1.0f);
    c.Draw(view, 300, 80);
    c.Paint(RoundRect(397, 80, 403, 380, 0), Rgb(0x5A3E2C), 1.0f);
    c.Paint(RoundRect(300, 225, 500, 231, 0), Rgb(0x5A3E2C), 1.0f);
    // Bookshelves on both sides.
    Random random(17);
    const Color spines[] = {Rgb(0x7A3B3B), Rgb(0x34536B), Rgb(0x5E6B45), Rgb(0xB08A4A),
                            Rgb(0x6B4E73), Rgb(0x2E4A45), Rgb(0xA5674E)};
    for (int side = 0; side < 2; ++side) {
        float left = side == 0 ? 0 : 560, right = side == 0 ? 240 : 800;
        c.PaintGradient(RoundRect(left, 40, right, 470, 0), Rgb(0x6A4630), Rgb(0x4A3022), 1.0f);
        for (int shelf = 0; shelf < 5; ++shelf) {
            float top = 56 + shelf * 82.0f, bottom = top + 70;
            c.Paint(RoundRect(left + 10, top, right - 10, bottom, 0), Rgb(0x3A2418), 1.0f);
            for (float x = left + 12; x < right - 20;) {
                float w = random.Uniform(9, 18), h = random.Uniform(48, 68);
                Color spine = spines[random.Next() % 7];
                c.PaintGradient(RoundRect(x, bottom - h, x + w - 1, bottom, 1.5f), Mix(spine, Rgb(0xFFFFFF), 0.12f),
                                spine, 0.8f);
                c.Paint(RoundRect(x + 2, bottom - h + 8, x + w - 3, bottom - h + 11, 0), Rgb(0xE8D39A, 0.6f), 0.6f);
                x += w;
            }
            c.Paint(RoundRect(left + 6, bottom, right - 6, bottom + 8, 1), Rgb(0x7B5638), 1.0f);
        }
    }
    // A reading table before the window.
    c.PaintGradient(RoundRect(250, 430, 550, 452, 4), Rgb(0x8A5D3B), Rgb(0x6A4630), 1.0f);
    c.Paint(RoundRect(270, 452, 284, 560, 2), Rgb(0x5A3C28), 1.0f);
    c.Paint(RoundRect(516, 452, 530, 560, 2), Rgb(0x5A3C28), 1.0f);
    c.Paint(RoundRect(330, 418, 390, 432, 2), Rgb(0xF3E9D6), 1.0f);
    // Light falling from the window across the floor.
    Color shaft = evening ? Rgb(0xFFB070, 0.16f) : Rgb(0xFFF8E0, 0.16f);
    c.Paint(Polygon({{300, 80}, {500, 80}, {640, 600}, {330, 600}}), shaft, 20.0f);
    c.Grain(0.012f, 3);
    return c;
}

Canvas NightBeach() {
    Canvas c(kW, kH);
    c.VerticalGradient({Rgb(0x0C1330), Rgb(0x1C2B55), Rgb(0x3A527E)}, 0, 320);
    Stars(c, 41, 260, 0, 300);
    c.Glow({600, 110}, 120, Rgb(0xBFD0FF, 0.35f));
    c.Paint(Circle({600, 110}, 26), Rgb(0xFBF4DC), 1.5f);
    c.Paint(Circle({611, 104}, 24), Rgb(0xDCE3F0, 0.25f), 2.0f);
    Hills(c, 318, 16, 140, Rgb(0x18203C), 51, 1.5f);
    Lighthouse(c, 120, 312, 70, true);
    c.Glow(LighthouseLantern(120, 312, 70), 22, Rgb(0xFFF0B0, 0.8f));
    Sea(c, 320, 470, Rgb(0x2A3E66), Rgb(0x101C38), Rgb(0xCAD8FF, 0.6f), 13);
    for (int y = 325; y < 470; y += 3) {
        float w = 8 + (y - 320) * 0.35f;
        c.Paint(Capsule({600 - w * 0.5f, float(y)}, {600 + w * 0.5f, float(y)}, 0.8f), Rgb(0xF3F0DC, 0.22f), 1.5f);
    }
    // Wet sand with the line of the last wave.
    std::vector<Point> beach;
    for (int x = -10; x <= 810; x += 10) beach.push_back({float(x), 470 + 10 * std::sin(x * 0.012f)});
    beach.push_back({810, 610}), beach.push_back({-10, 610});
    c.PaintGradient(Polygon(beach), Rgb(0x4A4A66), Rgb(0x2B2A3E), 2.0f);
    std::vector<Point> foam;
    for (int x = -10; x <= 810; x += 10) foam.push_back({float(x), 470 + 10 * std::sin(x * 0.012f)});
    for (int x = 810; x >= -10; x -= 10)
        foam.push_back({float(x), 474 + 10 * std::sin(x * 0.012f) + 2 * std::sin(x * 0.07f)});
    c.Paint(Polygon(foam), Rgb(0xDDE6FF, 0.45f), 1.5f);
    c.Grain(0.01f, 4);
    return c;
}

// A flock of gulls as small chevrons scattered over the area, the same flock for the same seed.
void Gulls(Canvas& c, std::uint32_t seed, int count, float x0, float x1, float y0, float y1, float s0, float s1,
           const Color& colour) {
    Random random(seed);
    for (int i = 0; i < count; ++i) {
        float x = random.Uniform(x0, x1), y = random.Uniform(y0, y1), s = random.Uniform(s0, s1);
        c.Paint(Polygon({{x - s, y - s * 0.4f},
                         {x - s * 0.3f, y},
                         {x, y + s * 0.15f},
                         {x + s * 0.3f, y},
                         {x + s, y - s * 0.4f},
                         {x, y - s * 0.05f}}),
                colour, 1.0f);
    }
}

}  // namespace

Canvas SceneBackground(int scene) {
    switch (scene) {
        case 1: return Town(false);
        case 2: return Cape(false);
        case 3: return Library(false);
        case 4: return NightBeach();
    }
    throw std::logic_error("no such background");
}

Canvas SceneOverlay(int scene, int position) {
    Canvas c(kW, kH);
    if (scene == 1 && position == 1) {
        // Evening: the town's own colours are painted again at dusk; the layer is the whole picture.
        return Town(true);
    }
    if (scene == 2 && position == 1) {
        Point lantern = LighthouseLantern(660, 306, 230);
        c.Paint(Polygon({lantern, {0, 150}, {0, 300}}), Rgb(0xFFF3C8, 0.22f), 30.0f);
        c.Paint(Polygon({lantern, {800, 40}, {800, 140}}), Rgb(0xFFF3C8, 0.16f), 25.0f);
        c.Glow(lantern, 70, Rgb(0xFFF4C8, 0.9f));
        return c;
    }
    if (scene == 2 && position == 2) {
        Stars(c, 77, 90, 0, 200, 0.8f);
        return c;
    }
    if (scene == 3 && position == 1) {
        c.VerticalGradient({Rgb(0xFF9A50, 0.18f), Rgb(0x8A4A6A, 0.22f)});
        return c;
    }
    if (scene == 4 && position == 1) {
        Firework(c, {250, 140}, 90, Rgb(0xFF8A7A), 61);
        Firework(c, {470, 90}, 70, Rgb(0xFFD36A), 62);
        Firework(c, {380, 200}, 55, Rgb(0x8AD8FF), 63);
        return c;
    }
    throw std::logic_error("no such overlay");
}

Canvas EventBase(int event) {
    switch (event) {
        case 1: {
            // At the gallery of the lighthouse: Shiori at the railing, seen from behind, at dusk.
            Canvas c(kW, kH);
            c.VerticalGradient({Rgb(0x2E3C6C), Rgb(0x7A5A8C), Rgb(0xE9967A), Rgb(0xF8CF8E)}, 0, 420);
            c.Glow({200, 420}, 360, Rgb(0xFFB46A, 0.6f));
            Cloud(c, {600, 160}, 80, Rgb(0xF3B0A0, 0.7f), Rgb(0x7A5E8E, 0.6f), 14);
            Sea(c, 420, 600, Rgb(0xD79A88), Rgb(0x3A3F66), Rgb(0xFFE0B0, 0.8f), 15);
            std::vector<Shape> girl = FigureSilhouette('A', 430, 170, 0.75f);
            c.Paint(Union(girl), Rgb(0x2A2440), 1.8f);
            // The gallery railing across the foreground.
            c.Paint(RoundRect(0, 470, 800, 482, 3), Rgb(0x1E1A2C), 1.2f);
            c.Paint(RoundRect(0, 540, 800, 600, 0), Rgb(0x1E1A2C), 1.2f);
            for (int x = 10; x < 800; x += 36)
                c.Paint(RoundRect(float(x), 476, float(x + 6), 545, 2), Rgb(0x1E1A2C), 1.0f);
            c.Grain(0.01f, 5);
            return c;
        }
        case 2: {
            // Chikage reading by the library window.
            Canvas c = Library(false);
            c.Paint(RoundRect(0, 0, 800, 600, 0), Rgb(0x3A2A20, 0.25f), 1.0f);
            std::vector<Shape> girl = FigureSilhouette('B', 420, 250, 0.55f);
            c.Paint(Union(girl), Rgb(0x3B2E3A), 1.6f);
            c.Paint(Polygon({{380, 345}, {420, 352}, {460, 345}, {458, 372}, {420, 378}, {382, 372}}), Rgb(0xF6EEDC),
                    1.2f);
            c.Glow({420, 300}, 140, Rgb(0xFFF0C8, 0.25f));
            return c;
        }
        case 3: {
            // The ending on the cape: two figures under the sweeping beam and the stars.
            Canvas c(kW, kH);
            c.VerticalGradient({Rgb(0x0B1230), Rgb(0x1D2C58), Rgb(0x41507E)}, 0, 600);
            Stars(c, 91, 320, 0, 420);
            Lighthouse(c, 640, 470, 330, true);
            Point lantern = LighthouseLantern(640, 470, 330);
            c.Paint(Polygon({lantern, {0, 80}, {0, 230}}), Rgb(0xFFF3C8, 0.25f), 30.0f);
            c.Glow(lantern, 80, Rgb(0xFFF0B8, 0.9f));
            Hills(c, 470, 25, 300, Rgb(0x121628), 92, 1.5f);
            c.Paint(Union(FigureSilhouette('H', 300, 300, 0.5f)), Rgb(0x0E1020), 1.5f);
            c.Paint(Union(FigureSilhouette('A', 362, 318, 0.46f)), Rgb(0x0E1020), 1.5f);
            c.Paint(Capsule({326, 445}, {340, 452}, 5), Rgb(0x0E1020), 1.5f);
            c.Grain(0.01f, 6);
            return c;
        }
        case 4: {
            // Dawn at the pier: the library girl and the hero watch the sun come up.
            Canvas c(kW, kH);
            c.VerticalGradient({Rgb(0x6C8CC0), Rgb(0xE7B6B2), Rgb(0xFFE2B0)}, 0, 360);
            c.Glow({520, 360}, 330, Rgb(0xFFE8B0, 0.7f));
            c.Paint(Circle({520, 362}, 40), Rgb(0xFFF3D0), 2.0f);
            Sea(c, 360, 600, Rgb(0xF3C9A8), Rgb(0x587AA8), Rgb(0xFFFFFF, 0.8f), 16);
            c.PaintGradient(Polygon({{0, 470}, {800, 430}, {800, 470}, {0, 520}}), Rgb(0x5A4A50), Rgb(0x3A3038), 1.5f);
            c.Paint(RoundRect(0, 515, 800, 600, 0), Rgb(0x2E2630), 1.0f);
            c.Paint(Union(FigureSilhouette('H', 240, 240, 0.42f)), Rgb(0x2A2230), 1.5f);
            c.Paint(Union(FigureSilhouette('B', 300, 258, 0.38f)), Rgb(0x2A2230), 1.5f);
            c.Grain(0.01f, 7);
            return c;
        }
        case 5: {
            // The harbour festival at night: lanterns over the quay.
            Canvas c(kW, kH);
            c.VerticalGradient({Rgb(0x0E1533), Rgb(0x26305C), Rgb(0x4A3F6A)}, 0, 380);
            Stars(c, 95, 120, 0, 250, 0.6f);
            Sea(c, 380, 470, Rgb(0x3A3360), Rgb(0x161B38), Rgb(0xFFC890, 0.6f), 17);
            c.Paint(RoundRect(0, 470, 800, 600, 0), Rgb(0x231E30), 1.0f);
            Random random(19);
            for (int string = 0; string < 2; ++string) {
                float y0 = 300.0f + string * 60;
                for (int i = 0; i < 14; ++i) {
                    float x = 30.0f + i * 57, y = y0 + 25 * std::sin(i * 0.45f + string);
                    Color lamp = i % 3 == 0 ? Rgb(0xFF8A5A) : Rgb(0xFFC86A);
                    c.Glow({x, y}, 30, Color{lamp.r, lamp.g, lamp.b, 0.5f});
                    c.Paint(Ellipse({x, y}, 9, 12), lamp, 1.5f);
                }
            }
            for (int i = 0; i < 18; ++i) {
                float x = random.Uniform(0, 800), s = random.Uniform(0.18f, 0.28f);
                c.Paint(Union(FigureSilhouette(i % 3 == 0 ? 'H' : 'B', x, 600 - 600 * s + 20, s)), Rgb(0x120F1C), 1.4f);
            }
            c.Grain(0.01f, 8);
            return c;
        }
    }
    throw std::logic_error("no such event");
}

Canvas EventOverlay(int event, int position) {
    Canvas c(kW, kH);
    if (event == 1 && position == 1) {
        // The lamp of the lighthouse has just come on above her.
        c.Paint(Polygon({{430, -10}, {-10, 120}, {-10, 260}}), Rgb(0xFFF3C8, 0.25f), 30.0f);
        c.Glow({430, 0}, 110, Rgb(0xFFF2C0, 0.7f));
        return c;
    }
    if (event == 1 && position == 2) {
        Gulls(c, 3, 5, 80, 330, 80, 260, 8, 15, Rgb(0x3A3050));
        return c;
    }
    if (event == 2 && position == 1) {
        Random random(4);
        for (int i = 0; i < 60; ++i) {
            Point p{random.Uniform(300, 640), random.Uniform(80, 560)};
            c.Paint(Circle(p, random.Uniform(0.8f, 2.0f)), Rgb(0xFFF6D8, random.Uniform(0.3f, 0.8f)), 1.0f);
        }
        return c;
    }
    if (event == 2 && position == 2) {
        // An old letter slipped from between the pages.
        c.Paint(Polygon({{470, 470}, {560, 455}, {572, 515}, {482, 532}}), Rgb(0xF3E4C4), 1.2f);
        c.Paint(Polygon({{470, 470}, {560, 455}, {520, 492}}), Rgb(0xE0CDA4), 1.0f);
        c.Paint(Circle({521, 494}, 5), Rgb(0xB5533C), 1.0f);
        return c;
    }
    if (event == 3 && position == 1) {
        c.Paint(Capsule({120, 60}, {300, 140}, 1.5f), Rgb(0xFFFFFF, 0.8f), 2.0f);
        c.Glow({300, 140}, 18, Rgb(0xFFFFFF, 0.9f));
        return c;
    }
    if (event == 4 && position == 1) {
        Gulls(c, 6, 6, 420, 700, 150, 300, 7, 12, Rgb(0x5A4A60));
        return c;
    }
    if (event == 5 && position == 1) {
        Firework(c, {240, 130}, 110, Rgb(0xFF7A6A), 71);
        return c;
    }
    if (event == 5 && position == 2) {
        Firework(c, {560, 110}, 95, Rgb(0xFFD36A), 72);
        return c;
    }
    if (event == 5 && position == 3) {
        // The two of them in front, watching the sky.
        c.Paint(Union(FigureSilhouette('H', 330, 330, 0.5f)), Rgb(0x0A0812), 1.6f);
        c.Paint(Union(FigureSilhouette('A', 410, 350, 0.45f)), Rgb(0x0A0812), 1.6f);
        return c;
    }
    throw std::logic_error("no such event layer");
}

Canvas SaveThumbnail(const Canvas& picture) { return picture.Reduced(140, 105); }

}  // namespace mkdemo
