// The tasks of the message windows: opening and hiding the window, and the page cursor.
//
// Each task record owns its state (a TaskBody in the record's user word, deleted when the record
// is destroyed) and registers with the view it animates, which frees it before the view goes.
// A task taken down before its end jumps to its end state, so an exception that unwinds through
// a wait never leaves the window half-faded or cut.
#include <algorithm>
#include <memory>
#include <optional>

#include "app/frame_step.h"
#include "app/message_tasks.h"
#include "app/system_image.h"
#include "lib/scope_guard.h"
#include "sound/sound.h"

namespace TextScript {
namespace {

constexpr std::int32_t kFadeStep = 2;
constexpr std::int32_t kSlideStep = 8;
constexpr std::uint32_t kCursorFrameMs = 100;
constexpr int kCursorFrames = 4;
constexpr std::int32_t kCursorSize = 16;
constexpr std::uint32_t kReaderEndMask = kInputMouseLeft | kInputReturn | kInputEscape;  // 0x1030

class TaskBody {
public:
    explicit TaskBody(TaskList& owner) : owner_(owner) {}
    virtual ~TaskBody() = default;
    TaskBody(const TaskBody&) = delete;
    TaskBody& operator=(const TaskBody&) = delete;

    // One walk of the task; only while it has not ended.
    virtual void Walk() = 0;
    virtual std::intptr_t Message(int, std::intptr_t, std::intptr_t) { return 0; }
    std::int32_t Phase() const { return phase_; }
    TaskList& Owner() { return owner_; }

protected:
    std::int32_t phase_ = 0;  // -1: ended

private:
    TaskList& owner_;
};

std::intptr_t TaskCallback(ACT* act, int message, std::intptr_t a, std::intptr_t b) {
    auto* body = reinterpret_cast<TaskBody*>(act->user);
    if (!body) return 0;
    switch (message) {
        case kActWalkEnter:
            if (body->Phase() != -1) body->Walk();
            return 0;
        case kActDestroyed:
            act->user = 0;
            body->Owner().Remove(act);
            delete body;
            return 0;
        default: return body->Message(message, a, b);
    }
}

ACT* MakeTask(std::unique_ptr<TaskBody> body, const void* subject) {
    ACT* act = MakeACT(TaskCallback, reinterpret_cast<std::uintptr_t>(subject));
    ScopeFail free([act] { FreeACT(act); });
    body->Owner().Add(act);
    act->user = reinterpret_cast<std::uintptr_t>(body.release());
    return act;
}

bool IsAnimated(std::int32_t mode) {
    return mode == DxMessWindow::kOpenFade || mode == DxMessWindow::kOpenSideways ||
           mode == DxMessWindow::kOpenVertically;
}

// The background cut to a slice centred along one axis, `inset` pixels in from both sides of
// its whole source; inset 0 puts the source and the position back as they were.
class SlideCut {
public:
    SlideCut(DxDraw::DxSprite& background, bool vertical)
        : background_(background),
          vertical_(vertical),
          whole_(background.Source()),
          x_(static_cast<std::int32_t>(background.GetPosition().x)),
          y_(static_cast<std::int32_t>(background.GetPosition().y)) {
        const std::int32_t extent = std::max(vertical ? whole_.source.Height() : whole_.source.Width(), 0);
        // The narrowest slice is 2 pixels wide, 1 for an odd extent.
        maxInset_ = (extent - std::min(extent, extent % 2 ? 1 : 2)) / 2;
    }

    std::int32_t MaxInset() const { return maxInset_; }

    void Apply(std::int32_t inset) {
        TEXANIM cut = whole_;
        if (inset != 0) {
            std::int32_t& low = vertical_ ? cut.source.top : cut.source.left;
            std::int32_t& high = vertical_ ? cut.source.bottom : cut.source.right;
            low += inset;
            high -= inset;
            (vertical_ ? cut.height : cut.width) = static_cast<std::uint16_t>(high - low);
        }
        background_.SetSource(&cut);
        background_.SetPosition(x_ + (vertical_ ? 0 : inset), y_ + (vertical_ ? inset : 0));
    }

private:
    DxDraw::DxSprite& background_;
    bool vertical_;
    TEXANIM whole_;
    std::int32_t x_, y_;
    std::int32_t maxInset_ = 0;
};

// What the open and the hide task share: the window, its mode, and the fade or the cut.
class WindowTask : public TaskBody {
public:
    explicit WindowTask(DxMessWindow& window)
        : TaskBody(window.Tasks()), window_(window), mode_(window.GetOpenMode()) {}

protected:
    // Hides the text view for the animation and notes the background's level or geometry.
    void StartAnimation() {
        window_.View().Hide();
        if (mode_ == DxMessWindow::kOpenFade)
            level_ = static_cast<std::int32_t>(window_.Background().Blend().level);
        else
            cut_.emplace(window_.Background(), mode_ == DxMessWindow::kOpenVertically);
    }
    void SetLevel(std::int32_t level) { window_.Background().SetLevel(static_cast<std::uint32_t>(level)); }
    // The background as it was before the animation; the text view shown again.
    void RestoreBackground() {
        if (cut_)
            cut_->Apply(0);
        else if (mode_ == DxMessWindow::kOpenFade)
            SetLevel(level_);
        window_.View().Show();
        phase_ = -1;
    }

    DxMessWindow& window_;
    const std::int32_t mode_;
    std::int32_t level_ = 0;  // the background's level before the animation
    std::optional<SlideCut> cut_;
};

class OpenTask final : public WindowTask {
public:
    explicit OpenTask(DxMessWindow& window) : WindowTask(window) {
        if (!IsAnimated(mode_)) {
            window_.Show();
            window_.View().Show();
            phase_ = -1;
        } else if (window_.IsVisible()) {
            phase_ = -1;
        } else {
            StartAnimation();
            inset_ = cut_ ? cut_->MaxInset() : 0;
        }
    }
    ~OpenTask() override {
        if (phase_ != -1) Finish();
    }

    void Walk() override {
        window_.Show();
        if (mode_ == DxMessWindow::kOpenFade) {
            progress_ = std::min(progress_, level_);
            SetLevel(progress_);
            if (progress_ != level_) {
                progress_ += kFadeStep;
                return;
            }
        } else {
            cut_->Apply(inset_);
            if (inset_ != 0) {
                inset_ -= std::min(inset_, kSlideStep);
                return;
            }
        }
        Finish();
    }

private:
    void Finish() {
        window_.Show();
        RestoreBackground();
    }

    std::int32_t progress_ = 0;
    std::int32_t inset_ = 0;
};

class HideTask final : public WindowTask {
public:
    explicit HideTask(DxMessWindow& window) : WindowTask(window) {
        if (!window_.IsVisible()) {
            phase_ = -1;
        } else if (!IsAnimated(mode_)) {
            window_.Hide();
            phase_ = -1;
        } else {
            StartAnimation();
            progress_ = level_;
        }
    }
    ~HideTask() override {
        if (phase_ != -1) Finish();
    }

    void Walk() override {
        if (mode_ == DxMessWindow::kOpenFade) {
            progress_ = std::max(progress_ - kFadeStep, 0);
            SetLevel(progress_);
            if (progress_ > 0) return;
        } else {
            inset_ += std::min(kSlideStep, cut_->MaxInset() - inset_);
            cut_->Apply(inset_);
            if (inset_ < cut_->MaxInset()) return;
        }
        Finish();
    }

private:
    // Hidden, and ready for the next opening: the background's level and cut are put back.
    void Finish() {
        window_.Hide();
        RestoreBackground();
    }

    std::int32_t progress_ = 0;
    std::int32_t inset_ = 0;
};

class CursorTask;

// The cursor's sprite tells its task when a group destroys it first.
class CursorSprite final : public DxDraw::DxSprite {
public:
    CursorSprite(const TEXANIM& source, CursorTask* task)
        : DxSprite(nullptr, &source, DxDraw::BLEND_SOURCE_ALPHA), task_(task) {}
    ~CursorSprite() override;
    CursorTask* task_;
};

class CursorTask final : public TaskBody {
public:
    CursorTask(DxMessView2& view, std::int32_t kind, std::int32_t channel, TaskList& owner)
        : TaskBody(owner),
          row_(kind == kCursorLine ? 1 : 0),
          channel_(channel),
          autoWait_(std::max(view.GetAutoWait(), 0)) {
        sprite_ = new CursorSprite(Frame(0), this);
        ShowSystemImage(*sprite_);
        if (ssGroup* parent = view.GetParent()) parent->Add(sprite_);
        const DxDraw::Vector3& at = view.GetPosition();
        sprite_->SetPosition(static_cast<std::int32_t>(at.x) + view.GetWidth(),
                             static_cast<std::int32_t>(at.y) + view.GetHeight());
        if (channel_ != -1) voicePlaying_ = IsStreamPlaying(GetChannelStreamId(channel_)) != 0;
        StartTimer(changed_);
    }
    ~CursorTask() override {
        if (sprite_) {
            sprite_->task_ = nullptr;
            sprite_->Destroy();
        }
    }

    void Walk() override {
        if (phase_ == 1) {
            if (TimerElapsed(skipStart_, static_cast<std::uint32_t>(autoWait_))) Finish();
            return;
        }
        if (TimerElapsed(changed_, kCursorFrameMs)) {
            StartTimer(changed_);
            const TEXANIM frame = Frame(index_);
            if (sprite_) sprite_->SetSource(&frame);
            index_ = (index_ + 1) % kCursorFrames;
        }
        result_ = InputState.pressed & (autoWait_ == 0 ? ~kSkipMask : ~0u);
        if (voicePlaying_ && !IsStreamPlaying(GetChannelStreamId(channel_))) {
            // The voice ended by itself: nothing to stop.
            voicePlaying_ = false;
            result_ = 0;
            Finish();
        } else if (result_ & kReaderEndMask) {
            Finish();
        } else if (autoWait_ != 0 && (InputState.held & kSkipMask)) {
            StartTimer(skipStart_);
            phase_ = 1;
        }
    }

    std::intptr_t Message(int message, std::intptr_t a, std::intptr_t b) override {
        if (message == kActReadResult && a == 0 && b) *reinterpret_cast<std::uint32_t*>(b) = result_;
        return 0;
    }

    void SpriteGone() { sprite_ = nullptr; }

private:
    TEXANIM Frame(int index) const {
        TEXANIM frame;
        frame.width = frame.height = kCursorSize;
        const std::int32_t x = (row_ * kCursorFrames + index) * kCursorSize;
        frame.source = RECT{x, kCursorSize, x + kCursorSize, 2 * kCursorSize};
        return frame;
    }
    void Finish() {
        if (voicePlaying_) StopChannel(channel_);
        if (sprite_) sprite_->Hide();
        phase_ = -1;
    }

    const std::int32_t row_;
    const std::int32_t channel_;
    const std::int32_t autoWait_;
    CursorSprite* sprite_ = nullptr;  // a view of the text view's group
    int index_ = 0;
    bool voicePlaying_ = false;
    std::uint32_t changed_ = 0;
    std::uint32_t skipStart_ = 0;
    std::uint32_t result_ = 0;
};

CursorSprite::~CursorSprite() {
    if (task_) task_->SpriteGone();
}

void WalkTaskToEnd(ACT* task) {
    while (TaskPhase(task) != -1) {
        WalkACT(task);
        StepFrame();
    }
}

}  // namespace

ACT* MakeCursorTask(DxMessView2& view, std::int32_t cursorKind, std::int32_t channel, TaskList& owner) {
    return MakeTask(std::make_unique<CursorTask>(view, cursorKind, channel, owner), &view);
}

ACT* StartOpenTask(DxMessWindow& window) { return MakeTask(std::make_unique<OpenTask>(window), &window); }

ACT* StartHideTask(DxMessWindow& window) { return MakeTask(std::make_unique<HideTask>(window), &window); }

std::int32_t TaskPhase(const ACT* task) {
    if (!task || task->callback != TaskCallback || !task->user) return -1;
    return reinterpret_cast<const TaskBody*>(task->user)->Phase();
}

void RunTaskToEnd(ACT* task) {
    ScopeExit free([task] { FreeACT(task); });
    WalkTaskToEnd(task);
}

void HideWindowNow(DxMessWindow& window) { RunTaskToEnd(StartHideTask(window)); }

std::uint32_t DxMessView2::WaitForReader(std::int32_t cursorKind, std::int32_t channel) {
    ACT* task = StartCursorTask(cursorKind, channel);
    ScopeExit free([task] { FreeACT(task); });
    WalkTaskToEnd(task);
    std::uint32_t result = 0;
    SendACT(task, kActReadResult, 0, reinterpret_cast<std::intptr_t>(&result));
    return result;
}

}  // namespace TextScript
