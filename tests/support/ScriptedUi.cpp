#include "support/ScriptedUi.h"

MsgResult ScriptedUi::ShowMessage(const std::string& text, MsgButtons buttons, MsgIcon icon,
                                  MsgResult defaultButton) {
    m_calls.push_back({Kind::Message, text, buttons, icon, {}, {}, defaultButton});
    if (!m_messageAnswers.empty()) {
        MsgResult answer = m_messageAnswers.front();
        m_messageAnswers.pop_front();
        return answer;
    }
    return defaultButton;
}

std::optional<std::string> ScriptedUi::PromptOpenFile(const FilePrompt& prompt) {
    m_calls.push_back({Kind::OpenFile, prompt.filter, {}, {}, prompt, {}});
    if (m_fileAnswers.empty()) return std::nullopt;
    auto answer = m_fileAnswers.front();
    m_fileAnswers.pop_front();
    return answer;
}

std::optional<std::string> ScriptedUi::PromptSaveFile(const FilePrompt& prompt) {
    m_calls.push_back({Kind::SaveFile, prompt.filter, {}, {}, prompt, {}});
    if (m_fileAnswers.empty()) return std::nullopt;
    auto answer = m_fileAnswers.front();
    m_fileAnswers.pop_front();
    return answer;
}

void ScriptedUi::Beep(BeepKind kind) { m_calls.push_back({Kind::Beep, {}, {}, {}, {}, kind}); }

void ScriptedUi::CaptureMouse() {
    m_captured = true;
    m_calls.push_back({Kind::Capture, {}, {}, {}, {}, {}});
}

void ScriptedUi::ReleaseMouse() {
    m_captured = false;
    m_calls.push_back({Kind::Release, {}, {}, {}, {}, {}});
}

void ScriptedUi::ShowProgress(const std::string& text) {
    m_calls.push_back({Kind::Progress, text, {}, {}, {}, {}});
}

void ScriptedUi::ShowWaitCursor(bool show) {
    m_calls.push_back({show ? Kind::CursorOn : Kind::CursorOff, {}, {}, {}, {}, {}});
}

std::vector<std::string> ScriptedUi::Messages() const {
    std::vector<std::string> texts;
    for (const Call& call : m_calls)
        if (call.kind == Kind::Message) texts.push_back(call.text);
    return texts;
}

std::vector<ScriptedUi::Call> ScriptedUi::CallsOf(Kind kind) const {
    std::vector<Call> result;
    for (const Call& call : m_calls)
        if (call.kind == kind) result.push_back(call);
    return result;
}
