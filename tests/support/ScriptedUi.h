#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "platform/UiServices.h"

// A UiServices double for tests: records every call in order and answers
// message boxes and file prompts from queues. An empty answer queue gives the
// default button of a message box (what Enter would press) and cancels a
// file prompt.
class ScriptedUi : public UiServices {
public:
    enum class Kind { Message, OpenFile, SaveFile, Beep, Capture, Release, CursorOn, CursorOff, Progress };

    struct Call {
        Kind kind;
        std::string text;  // message text; for prompts the filter
        MsgButtons buttons = MsgButtons::Ok;
        MsgIcon icon = MsgIcon::Exclamation;
        FilePrompt prompt;
        BeepKind beep = BeepKind::Simple;
        MsgResult defaultButton = MsgResult::Ok;
    };

    std::optional<std::string> PromptOpenFile(const FilePrompt& prompt) override;
    std::optional<std::string> PromptSaveFile(const FilePrompt& prompt) override;
    void Beep(BeepKind kind) override;
    void CaptureMouse() override;
    void ReleaseMouse() override;
    void ShowProgress(const std::string& text) override;

    // Scripting.
    void AnswerMessage(MsgResult result) { m_messageAnswers.push_back(result); }
    void AnswerFile(std::optional<std::string> path) { m_fileAnswers.push_back(std::move(path)); }

    // Inspection.
    const std::vector<Call>& Calls() const { return m_calls; }
    std::vector<std::string> Messages() const;  // texts of the message boxes, in order
    std::vector<Call> CallsOf(Kind kind) const;
    bool MouseCaptured() const { return m_captured; }
    void Clear() { m_calls.clear(); }

protected:
    MsgResult ShowMessage(const std::string& text, MsgButtons buttons, MsgIcon icon,
                          MsgResult defaultButton) override;
    void ShowWaitCursor(bool show) override;

private:
    std::vector<Call> m_calls;
    std::deque<MsgResult> m_messageAnswers;
    std::deque<std::optional<std::string>> m_fileAnswers;
    bool m_captured = false;
};
