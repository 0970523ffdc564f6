#include "platform/UiServices.h"

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
    MsgResult MessageBox(const std::string&, MsgButtons buttons, MsgIcon) override {
        return buttons == MsgButtons::YesNo || buttons == MsgButtons::YesNoCancel ? MsgResult::Yes
                                                                                   : MsgResult::Ok;
    }
    std::optional<std::string> PromptOpenFile(const FilePrompt&) override { return std::nullopt; }
    std::optional<std::string> PromptSaveFile(const FilePrompt&) override { return std::nullopt; }
    void Beep(BeepKind) override {}
    void CaptureMouse() override {}
    void ReleaseMouse() override {}

protected:
    void ShowWaitCursor(bool) override {}
};

SilentUi g_silentUi;
UiServices* g_ui = &g_silentUi;

}  // namespace

UiServices& Ui() { return *g_ui; }

void SetUi(UiServices* ui) { g_ui = ui ? ui : &g_silentUi; }

ScopedUi::ScopedUi(UiServices& ui) : m_previous(&Ui()) { SetUi(&ui); }

ScopedUi::~ScopedUi() { SetUi(m_previous); }
