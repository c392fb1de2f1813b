#include "app/story_commands.h"

#include <array>
#include <vector>

#include "app/frame_step.h"
#include "app/game_cycle.h"
#include "app/game_events.h"
#include "app/menu_commands.h"
#include "app/message_window.h"
#include "app/owned_view.h"
#include "app/picture_commands.h"
#include "app/picture_transitions.h"
#include "app/prompts.h"
#include "app/scene_stage.h"
#include "app/scene_views.h"
#include "app/script_helpers.h"
#include "app/settings.h"
#include "app/system_image.h"
#include "dxdraw/button_tracker.h"
#include "lib/error.h"
#include "lib/report.h"
#include "lib/scope_guard.h"
#include "lib/text.h"
#include "lib/text_field.h"
#include "script/variables.h"
#include "sound/sound.h"

namespace {

using TextScript::DxMessView2;
using TextScript::ScriptStateNode;
using TextScript::TextElement;

constexpr int kVoiceChannel = 3;
constexpr std::uint32_t kClearColour = 0x000000;
constexpr char16_t kSpeakerOpen = u'【';
constexpr char16_t kSpeakerClose = u'】';

// The window's buttons, in the order of its sprites and rectangles.
constexpr int kButtonBacklog = MessageWindow::kButtonBacklog;
constexpr int kButtonSkip = MessageWindow::kButtonSkip;
constexpr int kButtonAuto = MessageWindow::kButtonAuto;
constexpr int kButtonSave = MessageWindow::kButtonSave;
constexpr int kButtonLoad = MessageWindow::kButtonLoad;
constexpr std::uint32_t kLevelOff = 128;
constexpr std::uint32_t kLevelOn = 255;

constexpr std::uint32_t kShiftHeld = kInputLeftShift | kInputRightShift;
constexpr std::uint32_t kHideKeys = kInputMouseRight | kInputEscape;
constexpr std::uint32_t kLeaveKeys = kInputMouseLeft | kInputReturn;

constexpr std::uint32_t kSkipPageDelayMs = 100;
constexpr std::uint32_t kAutoDelayWithoutWaitMs = 100;
constexpr std::uint32_t kCursorBlinkMs = 200;
// The page cursor: 24 x 24 from the system image, at the window's lower right.
constexpr RECT kCursorSource{752, 408, 776, 432};
constexpr int kCursorX = 752;
constexpr int kCursorY = 160;

MessageWindow& StoryWindow() {
    if (!GameMessageWindow) ThrowError(u"app/story_commands", __LINE__, 0, 0, u"the story has no message window");
    return *GameMessageWindow;
}

bool OpensWithSpeaker(std::u16string_view text) { return !text.empty() && text[0] == kSpeakerOpen; }

// The font again at its size and spacing, with the face the settings now name.
void RecreateFont(DxMessView2& view) {
    const DxDraw::TextData& text = view.Text();
    view.SetFont(view.GetCellSize().x - text.charSpacing_, text.lineSpacing_, FieldText(SettingsBlock.font_name));
}

// A speaker's message begins with the name in 【】 on the first line; narration begins on the
// second line. `shown` has its names in already: a hero name that itself holds "#1" or "#2" must
// not be expanded a second time.
void DrawAtOnce(DxMessView2& view, std::u16string_view shown) {
    std::vector<TextElement> elements;
    elements.reserve(shown.size() + 2);
    if (!OpensWithSpeaker(shown)) elements.push_back({TextScript::kElementChar, u'\n'});
    for (const char16_t unit : shown) elements.push_back({TextScript::kElementChar, unit});
    elements.push_back({TextScript::kElementEnd, 0});
    view.BeginText(0, TextScript::SwapRedBlue(view.GetColor()), 0, elements, nullptr, 0);
}

// An empty view with the pen back at its top left: a text drawn again after a rebuild starts where
// the message began, not where the last one ended.
void ClearText(DxMessView2& view) {
    view.Clear(kClearColour);
    view.SetPen(0, 0);
}

void InterruptCheck(std::uintptr_t) { ThrowIfInterrupted(); }

// Reveals the text at the text speed; a rebuild of the views on the way starts it again with the
// new font.
void Reveal(MessageWindow& window, std::u16string_view text) {
    DxMessView2& view = window.View();
    const std::uint32_t colour = TextScript::SwapRedBlue(view.GetColor());
    std::vector<TextElement> elements(TextScript::kTextElementCapacity);
    TextScript::ExpandNameTags(text, elements);
    const std::int32_t delay = window.Words()[kWindowSpeedFactorWord] * TextSpeed / 100;
    for (;;) {
        try {
            if (!OpensWithSpeaker(text)) view.DrawText(0, colour, 0, u"\n", nullptr, 0);
            view.BeginText(0, colour, delay, elements, &InterruptCheck, 0);
            return;
        } catch (const ScriptException& exception) {
            if (exception.code != ScriptException::kRebuildViews) {
                MessagePending = 1;
                throw;
            }
        }
        ClearText(view);
        RecreateFont(view);
        ChangeMask &= ~kChangeRebuildViews;
    }
}

// Runs a VOI beside the message while the message's code says it is not a message, so that the
// VOI plays (a VOI beside a message otherwise leaves its playing to the message). The code is
// put back however the VOI's run ends.
void PlayPairedVoice(ScriptStateNode_App& message, ScriptStateNode* voice) {
    if (!voice || voice->code != ScriptStateNode::kVoi) return;
    message.code = kPairedMessageCode;
    const ScopeExit restore([&message] { message.code = ScriptStateNode::kMessage; });
    voice->Execute();
}

// The "text" event: the speaker's name out of its 【】 and the message after it.
void PostText(std::u16string_view shown) {
    std::u16string_view speaker;
    std::u16string_view message = shown;
    if (OpensWithSpeaker(shown)) {
        if (const std::size_t close = shown.find(kSpeakerClose); close != std::u16string_view::npos) {
            speaker = shown.substr(1, close - 1);
            message = shown.substr(close + 1);
            if (!message.empty() && message[0] == u'\n') message.remove_prefix(1);
        }
    }
    PostGameEvent("text", {speaker, message});
}

// The screen behind the backlog button lives above the runtime; without it the button says so in
// a trace and the page goes on waiting.
void OpenBacklog(const ScriptStateGroup_App& group) {
    const GameCycleServices* services = group.services();
    if (services && services->backlog)
        services->backlog(group.backlog());
    else
        DebugPrintf(u"BackLog: no backlog screen is installed (%d messages kept)\n",
                    static_cast<int>(group.backlog().entries().size()));
}

// The save button: a quick save into the ring, and the player reads whether it was stored. Not
// while a scene is replayed from the extras screen.
void QuickSave(const ScriptStateGroup_App& group) {
    if (TextScript::ScenePlayMode) return;
    const GameCycleServices* services = group.services();
    if (services && services->SavesOff()) return ShowSavesOffNotice();
    const bool stored = services && services->auto_save && services->auto_save() == 1;
    ShowSaveNotice(stored);
}

// The load button: after the player agrees, the newest quick save becomes the load request that
// the next frame step turns into the unwind; with no quick save nothing happens.
void QuickLoad(const ScriptStateGroup_App& group) {
    const GameCycleServices* services = group.services();
    if (services && services->SavesOff()) return ShowSavesOffNotice();
    if (!ConfirmYesNo(u"ロードしてもよろしいですか？")) return;
    if (!services || !services->find_latest_auto_save) return;
    const std::int32_t slot = services->find_latest_auto_save();
    if (slot == -1) return;
    SetRequestedLoadSlot(slot);
    PendingRequest = kRequestLoad;
}

// Whether the page that begins at `page` may be skipped: always, unless skipping stops at
// unread text and the page is unread.
bool MaySkip(std::int32_t page) { return !SettingsBlock.text_skip1 || IsSeenFlag(page); }

void SetShown(DxDraw::DxSprite& sprite, bool shown) { shown ? sprite.Show() : sprite.Hide(); }

// Whether the page end waits for the reader; skipping and auto-advancing go on by themselves
// until the reader or an unread page stops them.
bool DecideWait(MessageWindow& window, std::int32_t page) {
    if (SkipMode) {
        if (!MaySkip(page)) {
            SkipMode = 0;
            return true;
        }
        if (SkipMode == 1) {
            if (WaitMs(kSkipPageDelayMs, 3) == 0) return false;
            SkipMode = 0;
            return true;
        }
        StepFrame();
        if (InputState.held & kShiftHeld) {
            WaitMs(kSkipPageDelayMs, 0);
            return false;
        }
        SkipMode = 0;
        return true;
    }
    if (!AutoMode) return true;
    while (IsStreamPlaying(GetChannelStreamId(kVoiceChannel))) {
        StepFrame();
        if (InputState.pressed & kInputMouseLeft) {
            AutoMode = 0;
            break;
        }
    }
    const std::int32_t auto_wait = window.View().GetAutoWait();
    const std::uint32_t delay = auto_wait > 0 ? 2 * static_cast<std::uint32_t>(auto_wait) : kAutoDelayWithoutWaitMs;
    if (!(WaitMs(delay, 3) & kInputMouseLeft)) return false;
    AutoMode = 0;
    return true;
}

enum class ButtonAnswer { kLeave, kStay, kNoButton };

// A left click on button k. A hidden button (skip on an unread page, save in a scene replay)
// still takes the click: the page goes on waiting.
ButtonAnswer PressButton(ScriptStateNode_App& node, MessageWindow& window, int k) {
    if (!window.Button(k).IsVisible()) return ButtonAnswer::kStay;
    switch (k) {
        case kButtonBacklog: {
            window.Hide();
            const ScopeExit show([&window] { window.Show(); });
            OpenBacklog(node.AppGroup());
            return ButtonAnswer::kStay;
        }
        case kButtonSkip: SkipMode = 1; return ButtonAnswer::kLeave;
        case kButtonAuto: AutoMode = 1; return ButtonAnswer::kLeave;
        case kButtonSave: QuickSave(node.AppGroup()); return ButtonAnswer::kStay;
        case kButtonLoad: QuickLoad(node.AppGroup()); return ButtonAnswer::kStay;
        default: return ButtonAnswer::kNoButton;
    }
}

OwnedView<DxDraw::DxSprite> MakePageCursor(MessageWindow& window) {
    TEXANIM source;
    source.width = static_cast<std::uint16_t>(kCursorSource.right - kCursorSource.left);
    source.height = static_cast<std::uint16_t>(kCursorSource.bottom - kCursorSource.top);
    source.source = kCursorSource;
    OwnedView<DxDraw::DxSprite> cursor(new DxDraw::DxSprite(nullptr, &source, DxDraw::BLEND_SOURCE_ALPHA));
    window.Add(cursor.get());
    ShowSystemImage(*cursor);
    cursor->SetPosition(kCursorX, kCursorY);
    return cursor;
}

// Runs the frames of the wait until the reader goes on (a click, Return, the skip or auto
// button, or Shift held).
void ReaderLoop(ScriptStateNode_App& node, MessageWindow& window, DxDraw::DxSprite& cursor, std::int32_t page) {
    std::array<RECT, MessageWindow::kButtonCount> rects{};
    for (int k = 0; k < MessageWindow::kButtonCount; ++k) rects[static_cast<std::size_t>(k)] = window.ButtonRect(k);
    ButtonTracker tracker;
    std::uint32_t blink = 0;
    StartTimer(blink);
    for (;;) {
        StepFrame();
        if (TimerElapsed(blink, kCursorBlinkMs)) {
            StartTimer(blink);
            SetShown(cursor, !cursor.IsVisible());
        }
        if (ChangeMask & kChangeSkipUnread) {
            SetShown(window.Button(kButtonSkip), MaySkip(page));
            ChangeMask &= ~kChangeSkipUnread;
        }
        if (ChangeMask & kChangeRebuildViews) {
            DxMessView2& view = window.View();
            RecreateFont(view);
            ChangeMask &= ~kChangeRebuildViews;
            ClearText(view);
            if (const BacklogEntry* newest = node.AppGroup().backlog().Newest()) DrawAtOnce(view, newest->text);
        }
        const std::int32_t left = tracker.current;
        const std::int32_t entered =
            tracker.Update(rects.data(), MessageWindow::kButtonCount, InputState.mouse_x, InputState.mouse_y, nullptr);
        if (entered != left) {
            if (left >= 0) window.Button(left).SetLevel(kLevelOff);
            if (entered >= 0) window.Button(entered).SetLevel(kLevelOn);
        }
        const std::uint32_t pressed = InputState.pressed;
        if ((pressed & kInputMouseLeft) && entered >= 0) {
            const ButtonAnswer answer = PressButton(node, window, entered);
            if (answer == ButtonAnswer::kLeave) return;
            if (answer == ButtonAnswer::kStay) continue;
        }
        if (pressed & kHideKeys) {
            window.Hide();
            const ScopeExit show([&window] { window.Show(); });
            WaitClick();
        } else if (InputState.held & kShiftHeld) {
            SkipMode = 2;
            return;
        } else if (pressed & kLeaveKeys) {
            return;
        }
    }
}

// The wait for the reader with the blinking page cursor. However it ends, the voice stops and the
// cursor goes.
void WaitForReader(ScriptStateNode_App& node, MessageWindow& window, std::int32_t page) {
    OwnedView<DxDraw::DxSprite> cursor = MakePageCursor(window);
    const ScopeFail stop_voice([] { StopChannel(kVoiceChannel); });
    SetShown(window.Button(kButtonSkip), MaySkip(page));
    SetShown(window.Button(kButtonSave), !TextScript::ScenePlayMode);
    PostGameEvent("page", {node.group()->file_name(), Utf8ToUtf16(std::to_string(TextScript::CurrentPage))});
    ReaderLoop(node, window, *cursor, page);
    StopChannel(kVoiceChannel);
    StepFrame();
}

void WaitAtPageEnd(ScriptStateNode_App& node) {
    MessageWindow& window = StoryWindow();
    const auto page = static_cast<std::int32_t>(node.number);
    const bool wait = DecideWait(window, page);
    window.Button(kButtonSkip).SetLevel(SkipMode ? kLevelOn : kLevelOff);
    window.Button(kButtonAuto).SetLevel(AutoMode ? kLevelOn : kLevelOff);
    if (wait) WaitForReader(node, window, page);
    window.View().Clear(kClearColour);
    StepFrame();
    MessagePending = 0;
}

}  // namespace

std::u16string ExpandMessageText(std::u16string_view text) {
    std::vector<TextElement> elements(TextScript::kTextElementCapacity);
    const std::size_t count = TextScript::ExpandNameTags(text, elements);
    std::u16string expanded;
    expanded.reserve(count);
    for (std::size_t i = 0; i < count; ++i) expanded.push_back(static_cast<char16_t>(elements[i].value));
    return expanded;
}

ScriptStateNode* RunMessage(ScriptStateNode_App& node) {
    MessageWindow& window = StoryWindow();
    CommitPicture();
    if (!window.IsVisible()) TextScript::RunTaskToEnd(TextScript::StartOpenTask(window));
    PlayPairedVoice(node, node.prev());
    PlayPairedVoice(node, node.next());

    DxMessView2& view = window.View();
    view.Clear(kClearColour);
    StepFrame();
    view.SetPen(0, 0);
    view.SetAutoWait(AutoWait);

    const std::u16string_view text = node.Arg(0);
    const std::u16string shown = ExpandMessageText(text);
    PostText(shown);
    node.AppGroup().backlog().Append({shown, PairedVoiceName(node)});

    if (ChangeMask & kChangeRebuildViews) {
        RecreateFont(view);
        ChangeMask &= ~kChangeRebuildViews;
    }
    view.SetStyle(view.GetStyle() | DxDraw::kTextAntiAliased);
    if (SkipMode)
        DrawAtOnce(view, shown);
    else
        Reveal(window, text);
    MessagePending = 1;
    return node.next();
}

ScriptStateNode* RunPageEnd(ScriptStateNode_App& node) {
    const bool scene_end = node.code == ScriptStateNode::kSed;
    if (scene_end && !TextScript::ScenePlayMode) return node.next();
    if (!scene_end) SetSeenFlag(static_cast<std::int32_t>(TextScript::CurrentPage));
    ScriptStateGroup_App& group = node.AppGroup();
    {
        const StoryMenuOffer offer(group);
        if (MessagePending) WaitAtPageEnd(node);
    }
    TextScript::SnapshotVariables();
    if (scene_end) return nullptr;
    TextScript::CurrentPage = node.number;
    if (ScriptStateNode* jump = TakeDebugJump(node)) return jump;
    return node.next();
}

// The debug window's jump, when asked for: to the page before the label, over a black picture.
// A label that is not there (or has no page end before it) is reported and the story goes on: null
// then, as when no jump is asked for.
ScriptStateNode* TakeDebugJump(ScriptStateNode_App& node) {
    ScriptStateGroup_App& group = node.AppGroup();
    if (!CommandOptions.debug_level || !group.debug_jump_request()) return nullptr;
    group.ClearDebugJump();
    const std::u16string label(group.debug_jump_label());
    ScriptStateNode* target = nullptr;
    try {
        target = TextScript::FindLabelNode(group, label);
        if (!target) throw TextScript::ScriptError2(0, u"ラベルが見つかりません。[%s]", label);
    } catch (const TextScript::ScriptError2& error) {
        DebugPrintf(u"debug jump: %s\n", std::u16string_view(error.text));
        MessageBoxPrintf(u"debug jump", u"%s", std::u16string_view(error.text));
        return nullptr;
    }
    ShowPlainPicture(false);
    StepFrame();
    PostGameEvent("jump", {label});
    return target;
}
