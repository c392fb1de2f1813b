#include <cmath>
#include <string>

#include "art.h"
#include "art_parts.h"

namespace mkdemo {

namespace {

constexpr int kW = 800, kH = 600;

// The title menu's column: must match "menu" in config.xml.
constexpr int kMenuX = 520, kMenuY = 300;

void Button(Canvas& c, Fonts& fonts, float x, float y, float w, float h, const std::string& label, bool hover,
            int size = 22) {
    Shape body = RoundRect(x + 2, y + 2, x + w - 2, y + h - 2, h / 2 - 2);
    if (hover) {
        c.Glow({x + w / 2, y + h / 2}, w * 0.55f, Rgb(0xF2A65A, 0.35f));
        c.PaintGradient(body, Rgb(0xF6B28A, 0.95f), Rgb(0xE07A6E, 0.95f), 1.5f);
    } else {
        c.PaintGradient(body, Rgb(0x2B3A67, 0.82f), Rgb(0x1B2440, 0.88f), 1.5f);
    }
    c.Paint(Subtract(body, RoundRect(x + 3.5f, y + 3.5f, x + w - 3.5f, y + h - 3.5f, h / 2 - 3.5f)),
            Rgb(0xFDF6E3, hover ? 0.95f : 0.6f), 1.0f);
    TextStyle style{size, hover ? Rgb(0xFFFFFF) : palette::kCream, Align::Centre,
                    0.5f, hover ? Rgb(0x803030) : Rgb(0x000000),   2};
    DrawText(c, fonts.gothic, label, int(x + w / 2), int(y + (h - size) / 2 - 1), style);
}

// A finished picture of the cape at dusk with the lamp lit: the title's background.
Canvas TitleBackground(Fonts& fonts) {
    Canvas c = SceneBackground(2);
    c.Draw(SceneOverlay(2, 1), 0, 0);
    c.Draw(SceneOverlay(2, 2), 0, 0);
    // A veil on the left keeps the logo readable.
    Canvas veil(kW, kH);
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) veil.at(x, y) = Rgb(0x1B2440, 0.45f * std::max(0.0f, 1 - x / 520.0f));
    c.Draw(veil, 0, 0);
    DrawText(c, fonts.mincho, "しおさいの灯", 60, 96, {72, palette::kCream, Align::Left, 0.8f, Rgb(0x1B2440), 4});
    DrawText(c, fonts.mincho, "― Lights of the Tide ―", 66, 190,
             {22, Rgb(0xF6D6B0), Align::Left, 0.7f, Rgb(0x1B2440), 3});
    DrawText(c, fonts.gothic, "Quibel sample game", 16, 572,
             {14, Rgb(0xFDF6E3, 0.7f), Align::Left, 0.5f, Rgb(0x000000), 2});
    return c;
}

// A button whose picture already carries the background it will stand on.
void PlacedButton(Canvas& sheet, const Canvas& background, Fonts& fonts, int sheetX, int sheetY, int screenX,
                  int screenY, int w, int h, const std::string& label, bool hover) {
    Canvas b(w, h);
    b.CopyFrom(background, screenX, screenY, w, h, 0, 0);
    Button(b, fonts, 0, 0, float(w), float(h), label, hover);
    sheet.CopyFrom(b, 0, 0, w, h, sheetX, sheetY);
}

void PaperPanel(Canvas& c, float l, float t, float r, float b) {
    c.Paint(RoundRect(l + 4, t + 6, r + 4, b + 6, 14), Rgb(0x000000, 0.35f), 8.0f);
    c.PaintGradient(RoundRect(l, t, r, b, 14), Rgb(0xFDF6E3), Rgb(0xF1E4C8), 1.5f);
    c.Paint(Subtract(RoundRect(l + 8, t + 8, r - 8, b - 8, 10), RoundRect(l + 10, t + 10, r - 10, b - 10, 8)),
            Rgb(0xD9B98A), 1.0f);
}

Canvas NightBackdrop(std::uint32_t seed) {
    Canvas c(kW, kH);
    c.VerticalGradient({Rgb(0x141B36), Rgb(0x23325E), Rgb(0x3A4C7E)});
    Stars(c, seed, 140, 0, 600, 0.7f);
    Hills(c, 560, 40, 200, Rgb(0x101628), seed + 1, 1.5f);
    return c;
}

}  // namespace

Canvas SystemSheet(Fonts& fonts) {
    Canvas c(800, 808);
    // Mouse pointers: arrow, hand, and the busy ring.
    c.Paint(Polygon({{1, 1}, {1, 14}, {4.5f, 10.5f}, {7, 15}, {9, 14}, {6.8f, 9.6f}, {11, 9.5f}}), Rgb(0x1B2440), 1.0f);
    c.Paint(Polygon({{2.2f, 3}, {2.2f, 11.5f}, {4.8f, 9}, {7.4f, 13.6f}, {8, 13.3f}, {5.6f, 8.6f}, {8.8f, 8.6f}}),
            palette::kCream, 0.8f);
    c.Paint(Union({Capsule({20, 2}, {20, 9}, 1.8f), Capsule({20, 9}, {29, 9}, 3.2f), RoundRect(18.5f, 8, 30, 15, 3)}),
            Rgb(0x1B2440), 1.0f);
    c.Paint(Union({Capsule({20, 2.5f}, {20, 9}, 0.9f), RoundRect(19.5f, 9, 29, 14, 2.5f)}), palette::kCream, 0.8f);
    c.Paint(Subtract(Circle({120, 8}, 7), Circle({120, 8}, 3.5f)), Rgb(0x1B2440), 1.0f);
    c.Paint(Subtract(Circle({120, 8}, 6), Circle({120, 8}, 4.5f)), palette::kDusk, 0.8f);
    // Page cursors: kind 0 a bobbing wave drop, kind 1 a turning star; four frames each.
    for (int f = 0; f < 4; ++f) {
        float bob = std::sin(f * 1.5708f) * 2;
        c.Paint(Polygon({{f * 16 + 8.0f, 18 + bob},
                         {f * 16 + 13.0f, 26 + bob},
                         {f * 16 + 8.0f, 30 + bob},
                         {f * 16 + 3.0f, 26 + bob}}),
                palette::kCoral, 1.0f);
        c.Paint(Circle({f * 16 + 7.0f, 25 + bob}, 1.2f), Rgb(0xFFFFFF, 0.8f), 0.8f);
        std::vector<Point> star;
        for (int k = 0; k < 10; ++k) {
            float a = k * 0.6283f + f * 0.3927f, r = k % 2 == 0 ? 7.0f : 3.0f;
            star.push_back({64 + f * 16 + 8 + r * std::sin(a), 24 - r * std::cos(a)});
        }
        c.Paint(Polygon(star), palette::kDusk, 1.0f);
    }
    // Message window background: tinted by the player's colour through the channel mask, so white.
    for (int y = 40; y < 240; ++y)
        for (int x = 0; x < 800; ++x) c.at(x, y) = Rgb(0xFFFFFF);
    for (int x = 0; x < 800; ++x) c.at(x, 41) = Rgb(0x000000), c.at(x, 42) = Rgb(0x000000);
    // The panel behind choices, prompts and notices: rows of 42 pixels, cut off at any row.
    c.PaintGradient(RoundRect(72, 240, 656, 364, 0), Rgb(0x1B2440, 0.92f), Rgb(0x23325E, 0.92f), 1.0f);
    for (int row = 0; row < 3; ++row) {
        float top = 240 + row * 42.0f;
        c.Paint(RoundRect(84, top + 2, 644, top + 3.5f, 1), Rgb(0xF2A65A, 0.7f), 1.0f);
        c.Paint(RoundRect(84, top + 37, 644, top + 38, 0), Rgb(0xFDF6E3, 0.18f), 1.0f);
    }
    // Backlog scroll track and knob.
    c.PaintGradient(RoundRect(4, 240, 28, 808, 12), Rgb(0x1B2440, 0.75f), Rgb(0x23325E, 0.75f), 1.0f);
    c.Paint(Subtract(RoundRect(4, 240, 28, 808, 12), RoundRect(6, 242, 26, 806, 10)), Rgb(0xFDF6E3, 0.6f), 1.0f);
    c.Paint(Polygon({{16, 245}, {24, 256}, {8, 256}}), palette::kCream, 1.0f);
    c.Paint(Polygon({{16, 803}, {24, 792}, {8, 792}}), palette::kCream, 1.0f);
    c.PaintGradient(RoundRect(34, 241, 54, 271, 9), Rgb(0xF6B28A), Rgb(0xE07A6E), 1.0f);
    // The message window's five buttons: backlog, skip, auto, save, load. Each label is centred in
    // its button with room to its rim, the four-letter one smaller.
    const char* labels[] = {"履歴", "スキップ", "オート", "セーブ", "ロード"};
    for (int k = 0; k < 5; ++k) {
        float top = 288 + 24.0f * k;
        c.PaintGradient(RoundRect(753, top + 2, 799, top + 22, 9), Rgb(0x2B3A67, 0.9f), Rgb(0x1B2440, 0.9f), 1.0f);
        c.Paint(Subtract(RoundRect(753, top + 2, 799, top + 22, 9),
                         RoundRect(754.5f, top + 3.5f, 797.5f, top + 20.5f, 7.5f)),
                Rgb(0xFDF6E3, 0.7f), 1.0f);
        int size = k == 1 ? 9 : 11;
        DrawText(c, fonts.gothic, labels[k], 776, int(top + 12 - size / 2),
                 {size, palette::kCream, Align::Centre, 0, {}, 1});
    }
    // The page-wait cursor: a small lit lantern.
    c.Glow({764, 420}, 12, Rgb(0xFFD37A, 0.6f));
    c.PaintGradient(RoundRect(759, 414, 769, 427, 3), Rgb(0xFFE7A8), Rgb(0xF2A65A), 1.0f);
    c.Paint(Polygon({{757, 414}, {771, 414}, {764, 409}}), Rgb(0x1B2440), 1.0f);
    c.Paint(RoundRect(758, 427, 770, 429, 1), Rgb(0x1B2440), 1.0f);
    return c;
}

Canvas TitleSheet(Fonts& fonts) {
    Canvas sheet(800, 1184, Rgb(0x000000));
    Canvas background = TitleBackground(fonts);
    sheet.CopyFrom(background, 0, 0, kW, kH, 0, 0);
    struct Column {
        int x;
        const char* labels[6];
    };
    const Column columns[] = {
        {0, {"マニュアル", "はじめから", "つづきから", "設定", "おまけ", "終了"}},
        {256, {"システム設定", "サウンド設定", "主人公の名前", nullptr, nullptr, "もどる"}},
        {512, {"CGアルバム", "シーン回想", nullptr, nullptr, nullptr, "もどる"}},
    };
    for (const Column& column : columns) {
        for (int row = 0; row < 6; ++row) {
            if (!column.labels[row]) continue;
            for (int hover = 0; hover < 2; ++hover) {
                PlacedButton(sheet, background, fonts, column.x, 608 + 48 * row + 288 * hover, kMenuX,
                             kMenuY + 48 * row, 248, 40, column.labels[row], hover != 0);
            }
        }
    }
    return sheet;
}

Canvas BrandSplash(Fonts& fonts) {
    Canvas c(kW, kH);
    c.VerticalGradient({Rgb(0xFDF6E3), Rgb(0xF1E4C8)});
    c.Paint(Subtract(Circle({400, 250}, 60), Circle({400, 250}, 54)), palette::kDeepSea, 1.2f);
    for (int i = 0; i < 3; ++i) {
        std::vector<Point> wave;
        for (int x = 352; x <= 448; x += 4) wave.push_back({float(x), 262 + i * 12 + 4 * std::sin((x - 352) * 0.13f)});
        std::vector<Shape> segs;
        for (std::size_t k = 1; k < wave.size(); ++k) segs.push_back(Capsule(wave[k - 1], wave[k], 2.2f));
        c.Paint(Subtract(Union(segs), Subtract(RoundRect(300, 180, 500, 330, 0), Circle({400, 250}, 52))),
                i == 0 ? palette::kCoral : palette::kSea, 1.0f);
    }
    c.Paint(Polygon({{400, 205}, {408, 240}, {392, 240}}), palette::kDusk, 1.0f);
    DrawText(c, fonts.mincho, "TARROWMELD", 400, 340, {40, palette::kInk, Align::Centre, 0, {}, 1});
    DrawText(c, fonts.gothic, "presents", 400, 396, {18, Rgb(0x6A6478), Align::Centre, 0, {}, 1});
    return c;
}

Canvas EndingSlide(Fonts& fonts, int n) {
    Canvas c(kW, kH);
    const std::vector<Color> skies[] = {{Rgb(0x0E1533), Rgb(0x26305C), Rgb(0x4A3F6A)},
                                        {Rgb(0x2B3A67), Rgb(0x8A6A9A), Rgb(0xE9A08A)},
                                        {Rgb(0x7FA8D8), Rgb(0xF0C8B8), Rgb(0xFFE6B8)}};
    c.VerticalGradient(skies[(n - 1) % 3]);
    if (n == 1) Stars(c, 101, 200, 0, 420);
    Sea(c, 430, 600, Mix(skies[(n - 1) % 3][2], Rgb(0x2A3050), 0.4f), Rgb(0x1A2038), Rgb(0xFFFFFF, 0.5f), 100 + n);
    Lighthouse(c, 680, 440, 200, true);
    Hills(c, 445, 12, 120, Rgb(0x141828), 102, 1.5f);
    struct Credit {
        const char* role;
        const char* lines[3];
    };
    const Credit credits[] = {
        {"しおさいの灯", {"Lights of the Tide", "", ""}},
        {"原作・脚本", {"Quibel サンプル制作班", "", ""}},
        {"絵と音", {"すべてコードで描かれ、奏でられました", "mkdemo", "ご覧いただきありがとうございました"}}};
    const Credit& credit = credits[(n - 1) % 3];
    DrawText(c, fonts.mincho, credit.role, 400, 190,
             {n == 1 ? 56 : 30, palette::kCream, Align::Centre, 0.8f, Rgb(0x101020), 4});
    for (int i = 0; i < 3; ++i) {
        if (*credit.lines[i])
            DrawText(c, fonts.mincho, credit.lines[i], 400, 262 + 44 * i,
                     {24, Rgb(0xF6E6CC), Align::Centre, 0.8f, Rgb(0x101020), 3});
    }
    return c;
}

Canvas ManualPage(Fonts& fonts, int page) {
    Canvas c = NightBackdrop(110 + page);
    PaperPanel(c, 40, 30, 760, 520);
    struct Page {
        const char* title;
        const char* lines[9];
    };
    const Page pages[] = {
        {"あそびかた",
         {"左クリックか Enter で文章を読み進めます。", "右クリックか Esc でメッセージ窓を隠します。",
          "Shift を押している間は文章を飛ばします。", "Ctrl を押している間は一文字ずつの表示を省きます。",
          "選択肢はマウスで選んでください。", "", "物語は海辺の町の、夏の終わりの数日間。",
          "あなたの選んだ場所と言葉で、結末が変わります。", ""}},
        {"メッセージ窓のボタン",
         {"履歴 ― これまでの文章を読み返します。", "　　　顔の絵をクリックすると声をもう一度聞けます。",
          "スキップ ― 読んだ文章を飛ばします。", "オート ― 文章を自動で読み進めます。",
          "セーブ ― 91番からのクイックセーブに保存します。", "ロード ― いちばん新しいクイックセーブを読み込みます。",
          "", "", ""}},
        {"タイトルとおまけ",
         {"はじめから ― 物語を最初から始めます。", "　　　一度読んだプロローグは飛ばせます。",
          "つづきから ― セーブした場所から再開します。", "おまけ ― CGアルバムとシーン回想があります。",
          "　　　見た絵、通った場面だけが開きます。", "", "エンディングは三つあります。", "", ""}},
        {"設定とメニュー",
         {"システム設定 ― 画面、文字の速さ、窓の色、書体。", "サウンド設定 ― 音楽、声、効果音の音量。",
          "主人公の名前 ― 物語の中のあなたの名前です。", "", "メニューバーからも同じ設定が開けます。",
          "Ctrl+Z で、シナリオを少し前に戻せます。", "", "", ""}},
    };
    const Page& p = pages[page - 1];
    DrawText(c, fonts.mincho, p.title, 400, 56, {34, palette::kInk, Align::Centre, 0, {}, 1});
    c.Paint(RoundRect(120, 106, 680, 108, 1), Rgb(0xD9B98A), 1.0f);
    for (int i = 0; i < 9; ++i)
        DrawText(c, fonts.gothic, p.lines[i], 90, 130 + 40 * i, {22, palette::kInk, Align::Left, 0, {}, 1});
    DrawText(c, fonts.gothic, std::to_string(page) + " / 4", 400, 488, {18, Rgb(0x8A7A6A), Align::Centre, 0, {}, 1});
    return c;
}

Canvas ManualButtons(Fonts&) {
    Canvas c(112, 168);
    for (int hover = 0; hover < 2; ++hover) {
        for (int row = 0; row < 3; ++row) {
            float x = hover * 56.0f, y = row * 56.0f;
            Shape disc = Circle({x + 25, y + 25}, 22);
            c.Paint(Circle({x + 26, y + 27}, 22), Rgb(0x000000, 0.35f), 3.0f);
            if (hover)
                c.PaintGradient(disc, Rgb(0xF6B28A), Rgb(0xE07A6E), 1.2f);
            else
                c.PaintGradient(disc, Rgb(0x2B3A67), Rgb(0x1B2440), 1.2f);
            c.Paint(Subtract(disc, Circle({x + 25, y + 25}, 20)), palette::kCream, 1.0f);
            Color mark = hover ? Rgb(0xFFFFFF) : palette::kCream;
            if (row == 0) c.Paint(Polygon({{x + 19, y + 13}, {x + 35, y + 25}, {x + 19, y + 37}}), mark, 1.0f);
            if (row == 1) c.Paint(Polygon({{x + 31, y + 13}, {x + 15, y + 25}, {x + 31, y + 37}}), mark, 1.0f);
            if (row == 2) {
                c.Paint(Union({Capsule({x + 17, y + 17}, {x + 33, y + 33}, 2.5f),
                               Capsule({x + 33, y + 17}, {x + 17, y + 33}, 2.5f)}),
                        mark, 1.0f);
            }
        }
    }
    return c;
}

Canvas TurnBackground(Fonts& fonts) {
    Canvas c = NightBackdrop(120);
    c.Paint(RoundRect(-10, 262, 810, 338, 0), Rgb(0x1B2440, 0.75f), 6.0f);
    c.Paint(RoundRect(-10, 266, 810, 268, 0), Rgb(0xF2A65A, 0.8f), 1.0f);
    c.Paint(RoundRect(-10, 332, 810, 334, 0), Rgb(0xF2A65A, 0.8f), 1.0f);
    DrawText(c, fonts.mincho, "夏の終わりの一日", 400, 200, {26, Rgb(0xF6E6CC), Align::Centre, 0.6f, Rgb(0x000000), 3});
    return c;
}

Canvas SelectBackground(Fonts& fonts) {
    Canvas c = SceneBackground(1);
    c.Paint(RoundRect(0, 0, 800, 600, 0), Rgb(0x1B2440, 0.55f), 1.0f);
    DrawText(c, fonts.mincho, "どこへ行こう？", 400, 96, {40, palette::kCream, Align::Centre, 0.8f, Rgb(0x101020), 4});
    DrawText(c, fonts.gothic, "行き先をクリックしてください", 400, 150,
             {18, Rgb(0xF6E6CC), Align::Centre, 0.6f, Rgb(0x000000), 2});
    return c;
}

Canvas SelectButton(Fonts& fonts, const std::string& place, bool hover) {
    struct Card {
        const char* place;
        int x, w;
        int scene;
        const char* name;
        const char* note;
    };
    const Card cards[] = {
        {"A", 36, 170, 2, "岬の灯台", "汐里がいるかも"},      {"B", 222, 170, 3, "図書館", "千景がいるかも"},
        {"C", 408, 170, 4, "浜辺", "波の音を聞きに"},         {"D", 594, 170, 1, "商店街", "祭りの支度"},
        {"AB", 36, 356, 2, "岬と図書館", "ふたりのいる方へ"}, {"CD", 408, 356, 1, "港のほう", "町をひと回り"}};
    const Card* card = &cards[0];
    for (const Card& candidate : cards)
        if (place == candidate.place) card = &candidate;
    Canvas background = SelectBackground(fonts);
    Canvas c(card->w, 300);
    c.CopyFrom(background, card->x, 197, card->w, 300, 0, 0);
    float lift = hover ? -4.0f : 0.0f;
    Shape frame = RoundRect(6, 8 + lift, float(card->w) - 6, 292 + lift, 14);
    c.Paint(RoundRect(9, 14, float(card->w) - 3, 298, 14), Rgb(0x000000, 0.4f), 6.0f);
    c.PaintGradient(frame, Rgb(0xFDF6E3), Rgb(0xF1E4C8), 1.5f);
    // A vignette of the place, cut from its own picture.
    Canvas scene = SceneBackground(card->scene);
    int vw = card->w - 28, vh = 170;
    Canvas vignette = scene.Reduced(400, 300);
    Canvas cut(vw, vh);
    cut.CopyFrom(vignette, (400 - vw) / 2, 70, vw, vh, 0, 0);
    c.CopyFrom(cut, 0, 0, vw, vh, 14, int(22 + lift));
    c.Paint(Subtract(frame, RoundRect(9, 11 + lift, float(card->w) - 9, 289 + lift, 11)),
            hover ? palette::kCoral : Rgb(0xD9B98A), 1.2f);
    DrawText(c, fonts.mincho, card->name, card->w / 2, int(204 + lift), {26, palette::kInk, Align::Centre, 0, {}, 1});
    DrawText(c, fonts.gothic, card->note, card->w / 2, int(246 + lift),
             {16, hover ? Rgb(0xC0504A) : Rgb(0x6A6478), Align::Centre, 0, {}, 1});
    return c;
}

AlbumLayout AlbumButtons() {
    AlbumLayout layout;
    layout.prev = {40, 540, 120, 40, 0, 604, 0, 652};
    layout.next = {176, 540, 120, 40, 130, 604, 130, 652};
    layout.exit = {640, 540, 120, 40, 260, 604, 260, 652};
    return layout;
}

Canvas AlbumPage(Fonts& fonts, const std::string& caption, int page, int pages,
                 const std::vector<std::pair<int, int>>& places) {
    Canvas c(800, 700, Rgb(0x141B36));
    Canvas backdrop = NightBackdrop(130 + page);
    c.CopyFrom(backdrop, 0, 0, kW, kH, 0, 0);
    DrawText(c, fonts.mincho, caption, 48, 40, {36, palette::kCream, Align::Left, 0.7f, Rgb(0x000000), 3});
    DrawText(c, fonts.gothic, std::to_string(page) + " / " + std::to_string(pages), 752, 56,
             {20, Rgb(0xF6E6CC), Align::Right, 0.5f, Rgb(0x000000), 2});
    c.Paint(RoundRect(48, 96, 752, 98, 1), Rgb(0xF2A65A, 0.7f), 1.0f);
    // A frame under each thumbnail of the page: an empty frame would promise a picture that is not there.
    for (const auto& [left, top] : places) {
        const float x = float(left), y = float(top);
        c.Paint(RoundRect(x - 8, y - 8, x + 148, y + 113, 8), Rgb(0x000000, 0.35f), 6.0f);
        c.Paint(RoundRect(x - 6, y - 6, x + 146, y + 111, 6), Rgb(0xFDF6E3, 0.85f), 1.0f);
    }
    AlbumLayout layout = AlbumButtons();
    struct Item {
        const PageButtons& b;
        const char* label;
    };
    const Item items[] = {{layout.prev, "◀ まえ"}, {layout.next, "つぎ ▶"}, {layout.exit, "もどる"}};
    for (const Item& item : items) {
        // The buttons' own images lie below the screen: the page itself leaves their places plain,
        // so a hidden button leaves nothing behind.
        for (int hover = 0; hover < 2; ++hover) {
            int sx = hover ? item.b.hx : item.b.nx, sy = hover ? item.b.hy : item.b.ny;
            Canvas b(item.b.w, item.b.h);
            b.CopyFrom(backdrop, item.b.x, item.b.y, item.b.w, item.b.h, 0, 0);
            Button(b, fonts, 0, 0, float(item.b.w), float(item.b.h), item.label, hover != 0, 20);
            c.CopyFrom(b, 0, 0, item.b.w, item.b.h, sx, sy);
        }
    }
    return c;
}

Canvas ThumbnailSheet(Fonts& fonts, const std::vector<Canvas>& pictures, const std::vector<std::string>& titles) {
    AlbumLayout layout;
    int rows = int(pictures.size()) + 1;
    Canvas sheet(layout.thumbPitchX * 2, layout.thumbPitchY * rows, Rgb(0x141B36));
    for (int r = 0; r < rows; ++r) {
        for (int hover = 0; hover < 2; ++hover) {
            Canvas t(layout.thumbW, layout.thumbH, Rgb(0x1B2440));
            if (r < int(pictures.size())) {
                t.Draw(pictures[r].Reduced(layout.thumbW, layout.thumbH), 0, 0);
                if (hover) {
                    t.Paint(RoundRect(0, 0, float(layout.thumbW), float(layout.thumbH), 0), Rgb(0xFFF0D8, 0.18f), 1.0f);
                    t.Paint(RoundRect(0, 78, float(layout.thumbW), float(layout.thumbH), 0), Rgb(0x1B2440, 0.7f), 1.0f);
                    DrawText(t, fonts.gothic, titles[r], layout.thumbW / 2, 82,
                             {15, palette::kCream, Align::Centre, 0, {}, 1});
                }
                Shape border = Subtract(RoundRect(0, 0, float(layout.thumbW), float(layout.thumbH), 0),
                                        RoundRect(2, 2, layout.thumbW - 2.0f, layout.thumbH - 2.0f, 0));
                t.Paint(border, hover ? palette::kCoral : Rgb(0xFDF6E3, 0.8f), 1.0f);
            } else {
                // The locked place: a quiet tile with a small lantern, unlit.
                t.VerticalGradient({Rgb(0x23325E), Rgb(0x1B2440)});
                t.Paint(RoundRect(62, 34, 78, 58, 4), Rgb(0x5A6690), 1.0f);
                t.Paint(Polygon({{59, 34}, {81, 34}, {70, 26}}), Rgb(0x5A6690), 1.0f);
                DrawText(t, fonts.gothic, "まだ見ていません", 70, 70, {13, Rgb(0x9AA4C8), Align::Centre, 0, {}, 1});
            }
            sheet.CopyFrom(t, 0, 0, layout.thumbW, layout.thumbH, hover * layout.thumbPitchX, r * layout.thumbPitchY);
        }
    }
    return sheet;
}

}  // namespace mkdemo
