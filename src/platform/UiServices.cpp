#include "platform/UiServices.h"

#include <utility>

namespace {

MessageAddendum& InstalledAddendum() {
    static MessageAddendum addendum;
    return addendum;
}

bool Shows(MsgButtons buttons, MsgResult button) {
    switch (buttons) {
        case MsgButtons::Ok:
            return button == MsgResult::Ok;
        case MsgButtons::OkCancel:
            return button == MsgResult::Ok || button == MsgResult::Cancel;
        case MsgButtons::YesNo:
            return button == MsgResult::Yes || button == MsgResult::No;
        case MsgButtons::YesNoCancel:
            return button != MsgResult::Ok;
    }
    return false;
}

}  // namespace

MsgResult DefaultButtonOf(MsgButtons buttons, std::optional<MsgResult> wanted) {
    if (wanted && Shows(buttons, *wanted)) return *wanted;
    return buttons == MsgButtons::YesNo || buttons == MsgButtons::YesNoCancel ? MsgResult::Yes
                                                                               : MsgResult::Ok;
}

MessageAddendum SetMessageAddendum(MessageAddendum addendum) {
    return std::exchange(InstalledAddendum(), std::move(addendum));
}

MsgResult UiServices::MessageBox(const std::string& text, MsgButtons buttons, MsgIcon icon,
                                 std::optional<MsgResult> defaultButton) {
    const MessageAddendum& addendum = InstalledAddendum();
    return ShowMessage(addendum ? text + addendum() : text, buttons, icon,
                       DefaultButtonOf(buttons, defaultButton));
}

void UiServices::BeginWaitCursor() {
    ++m_waitCount;
    ShowWaitCursor(true);
}

void UiServices::EndWaitCursor() {
    if (m_waitCount > 0) --m_waitCount;
    if (m_waitCount == 0) ShowWaitCursor(false);
}

void UiServices::RestoreWaitCursor() {
    if (m_waitCount > 0) ShowWaitCursor(true);
}

namespace {

class SilentUi : public UiServices {
public:
    std::optional<std::string> PromptOpenFile(const FilePrompt&) override { return std::nullopt; }
    std::optional<std::string> PromptSaveFile(const FilePrompt&) override { return std::nullopt; }
    void Beep(BeepKind) override {}
    void CaptureMouse() override {}
    void ReleaseMouse() override {}

protected:
    MsgResult ShowMessage(const std::string&, MsgButtons, MsgIcon, MsgResult defaultButton) override {
        return defaultButton;
    }
    void ShowWaitCursor(bool) override {}
};

SilentUi g_silentUi;
UiServices* g_ui = &g_silentUi;

}  // namespace

UiServices& Ui() { return *g_ui; }

void SetUi(UiServices* ui) { g_ui = ui ? ui : &g_silentUi; }

ScopedUi::ScopedUi(UiServices& ui) : m_previous(&Ui()) { SetUi(&ui); }

ScopedUi::~ScopedUi() { SetUi(m_previous); }
