#include <cmath>
#include <stdexcept>

#include "art.h"
#include "art_parts.h"

namespace mkdemo {

namespace {

constexpr int kSpriteH = 600;
constexpr float kScale = 1.15f;
constexpr float kCentreX = kFigureWidth / 2.0f;
constexpr float kHeadTop = 48.0f;

struct Look {
    Color hair, hairLight, skin, top, topShade, collar, ribbon, skirt, legs;
    bool longHair = false, bob = false, old = false, yukata = false;
};

Look LookOf(char who, int pose) {
    switch (who) {
        case 'A':
            if (pose == 2) {
                return {Rgb(0x2E3558), Rgb(0x4F5E8E), Rgb(0xF8E1D2), Rgb(0x3A4C8A), Rgb(0x2A3668),
                        Rgb(0xF3E9F0), Rgb(0xE98A7E), Rgb(0x3A4C8A), Rgb(0xF8E1D2), true,
                        false,         false,         true};
            }
            return {Rgb(0x2E3558), Rgb(0x4F5E8E), Rgb(0xF8E1D2), Rgb(0xF7F4EE), Rgb(0xD9DCE6),
                    Rgb(0x2B3A67), Rgb(0xE98A7E), Rgb(0x2B3A67), Rgb(0xF8E1D2), true,
                    false,         false,         false};
        case 'B':
            return {Rgb(0x7A4A3A), Rgb(0xA36A52), Rgb(0xF9E4D4), Rgb(0xD9B25A), Rgb(0xB58F40),
                    Rgb(0xFFFFFF), Rgb(0x3F7F86), Rgb(0x6B4A3A), Rgb(0x4A3A3A), false,
                    true,          false,         false};
        case 'C':
            return {Rgb(0xC9C6C0), Rgb(0xE6E3DC), Rgb(0xE9C9AE), Rgb(0x34465A), Rgb(0x243244),
                    Rgb(0xE6E3DC), Rgb(0x2B3A67), Rgb(0x2A3440), Rgb(0x2A3440), false,
                    false,         true,          false};
    }
    throw std::logic_error("no such character");
}

Point P(float dx, float dy) { return {kCentreX + dx * kScale, kHeadTop + dy * kScale}; }
float S(float v) { return v * kScale; }

void Stroke(Canvas& c, const std::vector<Point>& line, float width, const Color& color) {
    std::vector<Shape> segments;
    for (std::size_t i = 1; i < line.size(); ++i) segments.push_back(Capsule(line[i - 1], line[i], width / 2));
    c.Paint(Union(segments), color, 1.0f);
}

// Points along a quadratic curve from a through control b to c.
std::vector<Point> Curve(Point a, Point b, Point c, int steps = 10) {
    std::vector<Point> out;
    for (int i = 0; i <= steps; ++i) {
        float t = float(i) / steps, u = 1 - t;
        out.push_back({u * u * a.x + 2 * u * t * b.x + t * t * c.x, u * u * a.y + 2 * u * t * b.y + t * t * c.y});
    }
    return out;
}

void PaintBody(Canvas& c, const Look& k) {
    constexpr float soft = 1.6f;
    if (k.longHair) {
        c.PaintGradient(Union({Ellipse(P(0, 52), S(62), S(62)),
                               Polygon({P(-62, 60), P(62, 60), P(80, 340), P(0, 352), P(-76, 344)})}),
                        k.hairLight, k.hair, soft);
    }
    if (k.bob)
        c.PaintGradient(Union({Ellipse(P(0, 56), S(66), S(62)),
                               RoundRect(P(-66, 56).x, P(0, 56).y, P(66, 0).x, P(0, 128).y, S(14))}),
                        k.hairLight, k.hair, soft);
    // Neck and legs in skin (or stockings).
    c.Paint(Capsule(P(0, 92), P(0, 135), S(14)), Mix(k.skin, Rgb(0xC08A7A), 0.15f), soft);
    float shoulder = k.old ? 74.0f : 58.0f;
    if (!k.old && !k.yukata) {
        c.PaintGradient(Union({Capsule(P(-24, 400), P(-22, 620), S(13)), Capsule(P(24, 400), P(22, 620), S(13))}),
                        k.legs, Mix(k.legs, Rgb(0x806070), 0.2f), soft);
    }
    // Arms, then the body over their tops.
    Shape arms = Union({Capsule(P(-shoulder + 4, 150), P(-shoulder - 10, 300), S(15)),
                        Capsule(P(shoulder - 4, 150), P(shoulder + 10, 300), S(15))});
    c.PaintGradient(arms, k.top, k.topShade, soft);
    c.Paint(Union({Circle(P(-shoulder - 11, 312), S(12)), Circle(P(shoulder + 11, 312), S(12))}), k.skin, soft);
    Shape torso =
        Union({Polygon({P(-shoulder, 140), P(shoulder, 140), P(k.old ? 60 : 40, 290), P(k.old ? -60 : -40, 290)}),
               Circle(P(-shoulder + 12, 152), S(17)), Circle(P(shoulder - 12, 152), S(17))});
    if (k.old) torso = Union({torso, Polygon({P(-shoulder, 150), P(shoulder, 150), P(92, 620), P(-92, 620)})});
    c.PaintGradient(torso, k.top, k.topShade, soft);
    if (k.yukata) {
        // The robe to the feet, the crossed collar, the obi and a scatter of flowers.
        c.PaintGradient(Polygon({P(-shoulder + 4, 150), P(shoulder - 4, 150), P(64, 620), P(-64, 620)}), k.top,
                        k.topShade, soft);
        c.Paint(Polygon({P(-22, 132), P(-8, 132), P(22, 230), P(8, 236)}), k.collar, 1.2f);
        c.Paint(Polygon({P(22, 132), P(8, 132), P(-6, 200), P(-14, 190)}), k.collar, 1.2f);
        Random random(8);
        for (int i = 0; i < 14; ++i) {
            Point f = P(random.Uniform(-55, 55), random.Uniform(160, 560));
            c.Paint(Circle(f, S(6)), Rgb(0xF4C6D0, 0.9f), 1.2f);
            c.Paint(Circle(f, S(2)), Rgb(0xFFF3C0), 1.0f);
        }
        c.PaintGradient(RoundRect(P(-44, 250).x, P(0, 250).y, P(44, 0).x, P(0, 292).y, S(3)), k.ribbon,
                        Mix(k.ribbon, Rgb(0x903040), 0.3f), 1.2f);
    } else if (!k.old) {
        // Collar and ribbon (Shiori), or the shirt under the cardigan (Chikage).
        if (k.longHair) {
            c.Paint(Polygon({P(-50, 140), P(50, 140), P(30, 196), P(0, 226), P(-30, 196)}), k.collar, 1.2f);
            c.Paint(Polygon({P(-30, 140), P(30, 140), P(0, 200)}), k.top, 1.2f);
            c.Paint(Union({Polygon({P(0, 205), P(-26, 190), P(-24, 222)}), Polygon({P(0, 205), P(26, 190), P(24, 222)}),
                           Polygon({P(-4, 205), P(4, 205), P(14, 262), P(-12, 258)})}),
                    k.ribbon, 1.2f);
        } else {
            c.Paint(Polygon({P(-18, 138), P(18, 138), P(10, 290), P(-10, 290)}), k.collar, 1.2f);
            c.Paint(Polygon({P(-6, 150), P(6, 150), P(4, 230), P(0, 240), P(-4, 230)}), k.ribbon, 1.0f);
            for (int i = 0; i < 4; ++i) c.Paint(Circle(P(14, 170 + 30.0f * i), S(3)), Rgb(0x8A6A30), 1.0f);
        }
        c.PaintGradient(Polygon({P(-42, 282), P(42, 282), P(88, 420), P(-88, 420)}), k.skirt,
                        Mix(k.skirt, Rgb(0x101020), 0.25f), soft);
        for (int i = -3; i <= 3; ++i)
            c.Paint(Capsule(P(i * 9.0f, 290), P(i * 20.0f, 416), S(0.8f)), Rgb(0x000000, 0.18f), 1.0f);
    } else {
        // The keeper's knitted sweater under the open coat, and his buttons.
        c.Paint(Polygon({P(-26, 140), P(26, 140), P(20, 420), P(-20, 420)}), Rgb(0xB8AE98), 1.2f);
        for (int i = 0; i < 4; ++i) c.Paint(Circle(P(34, 200 + 60.0f * i), S(4)), Rgb(0xC9A45A), 1.0f);
    }
    // Head (a soft oval with a rounded chin) and the front hair.
    c.PaintGradient(Ellipse(P(0, 62), S(45), S(50)), k.skin, Mix(k.skin, Rgb(0xE0B0A0), 0.3f), soft);
    std::vector<Point> fringeCut{P(-60, 200), P(-60, 75), P(-42, 75), P(-42, 56)};
    for (int i = 0; i <= 8; ++i) fringeCut.push_back(P(-40 + 10.0f * i, i % 2 == 0 ? 50.0f : 36.0f));
    fringeCut.push_back(P(42, 56)), fringeCut.push_back(P(42, 75)), fringeCut.push_back(P(60, 75)),
        fringeCut.push_back(P(60, 200));
    if (k.old) {
        c.Paint(Subtract(Circle(P(0, 48), S(53)), Polygon({P(-46, 200), P(-46, 30), P(46, 30), P(46, 200)})), k.hair,
                soft);
        // Beard, cap brim and crown.
        c.PaintGradient(Union({Ellipse(P(0, 92), S(40), S(22)), Ellipse(P(0, 110), S(28), S(22))}), k.hairLight, k.hair,
                        soft);
        c.Paint(Ellipse(P(0, 74), S(16), S(5)), Rgb(0x8A4A3A, 0.6f), 1.0f);
        c.PaintGradient(RoundRect(P(-46, -10).x, P(0, -10).y, P(46, 0).x, P(0, 30).y, S(12)), Rgb(0x34466A),
                        Rgb(0x1E2A44), soft);
        c.Paint(Ellipse(P(8, 30), S(62), S(9)), Rgb(0x121A2C), soft);
        c.Paint(RoundRect(P(-12, 4).x, P(0, 4).y, P(12, 0).x, P(0, 14).y, S(2)), Rgb(0xC9A45A), 1.0f);
    } else {
        Shape fringe = Union({Subtract(Circle(P(0, 50), S(54)), Polygon(fringeCut)),
                              Capsule(P(-47, 50), P(-44, 108), S(7)), Capsule(P(47, 50), P(44, 108), S(7))});
        c.PaintGradient(fringe, k.hairLight, k.hair, soft);
        // A soft ring of shine across the crown.
        c.Paint(Subtract(Subtract(Circle(P(0, 50), S(46)), Circle(P(0, 56), S(46))), Polygon(fringeCut)),
                Rgb(0xFFFFFF, 0.16f), 3.0f);
    }
}

void PaintEyes(Canvas& c, char who, int face) {
    Color ink = who == 'A' ? Rgb(0x26305A) : who == 'B' ? Rgb(0x5A3A2A) : Rgb(0x3A3A3A);
    Color iris = who == 'A' ? Rgb(0x3E6FA8) : who == 'B' ? Rgb(0x8A5A3A) : Rgb(0x4A4A4A);
    for (int side = -1; side <= 1; side += 2) {
        Point e = P(side * 19.0f, 62);
        if (face == 2) {
            Stroke(c, Curve({e.x - S(9), e.y + S(2)}, {e.x, e.y - S(8)}, {e.x + S(9), e.y + S(2)}), S(3), ink);
        } else if (who == 'C') {
            Stroke(c, {{e.x - S(8), e.y}, {e.x + S(8), e.y}}, S(3), ink);
        } else {
            float h = face == 4 ? 14.0f : 12.0f, w = face == 4 ? 7.5f : 6.5f;
            c.Paint(Ellipse(e, S(w + 1.5f), S(h)), Rgb(0xFFFFFF), 1.0f);
            c.PaintGradient(Ellipse({e.x, e.y + S(1)}, S(w), S(h - 2)), ink, iris, 1.0f);
            c.Paint(Circle({e.x - S(2.5f), e.y - S(4)}, S(2.4f)), Rgb(0xFFFFFF), 1.0f);
            Stroke(c, Curve({e.x - S(9), e.y - S(h - 2)}, {e.x, e.y - S(h + 3)}, {e.x + S(9), e.y - S(h - 2)}), S(2.4f),
                   ink);
        }
        // Brows: raised when surprised, slanted when sad.
        float lift = face == 4 ? -6.0f : 0.0f;
        float tilt = face == 3 ? 4.0f : 0.0f;
        Point inner{e.x - side * S(8), e.y - S(20 - tilt * 0.5f) + S(lift) - S(tilt)};
        Point outer{e.x + side * S(9), e.y - S(19) + S(lift) + S(tilt)};
        Stroke(c, {inner, outer}, S(2.2f), Color{ink.r, ink.g, ink.b, 0.8f});
    }
}

void PaintMouth(Canvas& c, int face) {
    Point m = P(0, 88);
    Color lip = Rgb(0xB0505A);
    switch (face) {
        case 1: Stroke(c, Curve({m.x - S(7), m.y}, {m.x, m.y + S(4)}, {m.x + S(7), m.y}), S(2.2f), lip); break;
        case 2:
            c.Paint(Subtract(Ellipse({m.x, m.y}, S(9), S(7)), RoundRect(m.x - S(12), m.y - S(10), m.x + S(12), m.y, 0)),
                    Rgb(0xC0505A), 1.0f);
            break;
        case 3:
            Stroke(c, Curve({m.x - S(6), m.y + S(2)}, {m.x, m.y - S(2)}, {m.x + S(6), m.y + S(2)}), S(2.0f), lip);
            break;
        case 4: c.Paint(Ellipse(m, S(4), S(5)), Rgb(0xA0404A), 1.0f); break;
    }
}

}  // namespace

Canvas CharacterBody(char who, int pose) {
    Canvas c(kFigureWidth, kSpriteH);
    PaintBody(c, LookOf(who, pose));
    return c;
}

Canvas CharacterFace(char who, int face) {
    Canvas c(kFigureWidth, kSpriteH);
    PaintEyes(c, who, face);
    PaintMouth(c, face);
    if (face == 2 || (who == 'A' && face == 1)) {
        for (int side = -1; side <= 1; side += 2)
            c.Paint(Ellipse(P(side * 28.0f, 80), S(9), S(4)), Rgb(0xF08A8A, 0.35f), 3.0f);
    }
    if (who == 'B') {
        // Round glasses sit in front of every expression.
        for (int side = -1; side <= 1; side += 2) {
            Point e = P(side * 19.0f, 63);
            c.Paint(Subtract(Circle(e, S(15)), Circle(e, S(13))), Rgb(0x5A3A2A), 1.0f);
            c.Paint(Circle(e, S(13)), Rgb(0xDDEEFF, 0.12f), 1.0f);
        }
        c.Paint(Capsule(P(-5, 62), P(5, 62), S(1)), Rgb(0x5A3A2A), 1.0f);
    }
    return c;
}

Canvas BacklogFaces(const std::string& order) {
    Canvas sheet(48 * int(order.size()), 48);
    for (std::size_t i = 0; i < order.size(); ++i) {
        char who = order[i];
        Canvas portrait = CharacterBody(who, 1);
        portrait.Draw(CharacterFace(who, 1), 0, 0);
        // The head and shoulders, cut square and reduced to the icon.
        Canvas crop(150, 150);
        crop.CopyFrom(portrait, int(kCentreX) - 75, 20, 150, 150, 0, 0);
        Canvas icon(48, 48);
        icon.Paint(RoundRect(1, 1, 47, 47, 10), Rgb(0x1B2440, 0.85f), 1.0f);
        icon.Draw(crop.Reduced(44, 44), 2, 3);
        icon.Paint(Subtract(RoundRect(1, 1, 47, 47, 10), RoundRect(3, 3, 45, 45, 8)), Rgb(0xFDF6E3, 0.9f), 1.0f);
        sheet.CopyFrom(icon, 0, 0, 48, 48, int(i) * 48, 0);
    }
    return sheet;
}

}  // namespace mkdemo
