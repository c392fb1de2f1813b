#include "host/ui/modal_stack.h"

#include "host/ui/access_key.h"
#include "lib/report_hook.h"
#include "lib/scope_guard.h"

namespace host {

std::span<const int> BoxAnswers(unsigned style) {
    static constexpr int kOk[] = {kIdOk}, kOkCancel[] = {kIdOk, kIdCancel},
                         kAbortRetryIgnore[] = {kIdAbort, kIdRetry, kIdIgnore},
                         kYesNoCancel[] = {kIdYes, kIdNo, kIdCancel}, kYesNo[] = {kIdYes, kIdNo},
                         kRetryCancel[] = {kIdRetry, kIdCancel};
    switch (style & kMbButtonMask) {
        case kMbOkCancel: return kOkCancel;
        case kMbAbortRetryIgnore: return kAbortRetryIgnore;
        case kMbYesNoCancel: return kYesNoCancel;
        case kMbYesNo: return kYesNo;
        case kMbRetryCancel: return kRetryCancel;
        default: return kOk;
    }
}

std::u16string_view BoxButtonLabel(int answer) {
    switch (answer) {
        case kIdCancel: return u"キャンセル";
        case kIdAbort: return u"中止(&A)";
        case kIdRetry: return u"再試行(&R)";
        case kIdIgnore: return u"無視(&I)";
        case kIdYes: return u"はい(&Y)";
        case kIdNo: return u"いいえ(&N)";
        default: return u"OK";
    }
}

int DefaultBoxAnswer(unsigned style) {
    const std::span<const int> answers = BoxAnswers(style);
    return (style & kMbDefaultButton2) && answers.size() > 1 ? answers[1] : answers[0];
}

int BoxAnswerForKey(unsigned style, char16_t key) {
    if (key == 0) return 0;
    for (int answer : BoxAnswers(style))
        if (AccessKey(BoxButtonLabel(answer)) == key) return answer;
    return 0;
}

OpenModal& ModalStack::Push(OpenModal modal) {
    modal.serial = ++serial_;
    open_.push_back(std::make_unique<OpenModal>(std::move(modal)));
    return *open_.back();
}

int ModalStack::MessageBox(std::u16string_view caption, std::u16string_view text, unsigned style,
                           const std::function<int(OpenModal&)>& answer) {
    OpenModal modal;
    modal.caption = caption;
    modal.text = text;
    modal.style = style;
    OpenModal& box = Push(std::move(modal));
    // Runs are nested calls, so the one ending is always the top.
    ScopeExit pop([this] { open_.pop_back(); });
    return answer(box);
}

std::intptr_t ModalStack::RunDialog(Dialog& dialog, const std::function<void(OpenModal&)>& run) {
    OpenModal opened;
    opened.dialog = &dialog;
    OpenModal& modal = Push(std::move(opened));
    ScopeExit pop([this] { open_.pop_back(); });
    dialog.OnInit();
    if (!dialog.ended()) run(modal);
    return dialog.result();
}

void ModalStack::RequestQuit() {
    for (auto it = open_.rbegin(); it != open_.rend(); ++it) {
        OpenModal& modal = **it;
        modal.quit = true;
        if (!modal.dialog && modal.answer == 0) modal.answer = BoxAnswers(modal.style).back();
    }
}

bool ModalStack::HonourQuit(OpenModal& modal) {
    if (!modal.quit || !modal.dialog) return false;
    if (!modal.dialog->ended()) modal.dialog->Cancel();
    if (!modal.dialog->ended()) modal.dialog->End(-1);
    return true;
}

}  // namespace host
