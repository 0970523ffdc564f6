#pragma once

#include <cstddef>
#include <optional>
#include <ostream>
#include <string>

#include "platform/UiServices.h"

// The UI services of the command-line tool. Every message box becomes its
// text, printed once on the diagnostics stream. File prompts are answered
// with the path the command was given; without one they are cancelled.
//
// The only question the core asks a command of this tool is whether to save
// the original parameter set it could not restore. Losing it is the one
// outcome that cannot be undone, so the question is answered Yes when a
// save path is set and No otherwise; the answer is printed after the text.
class ConsoleUi : public UiServices {
public:
    explicit ConsoleUi(std::ostream& diagnostics);

    std::optional<std::string> PromptOpenFile(const FilePrompt& prompt) override;
    std::optional<std::string> PromptSaveFile(const FilePrompt& prompt) override;
    void Beep(BeepKind) override {}
    void CaptureMouse() override {}
    void ReleaseMouse() override {}
    // A line of its own, not counted as a message.
    void ShowProgress(const std::string& text) override;

    void SetOpenPath(std::string path) { m_openPath = std::move(path); }
    void SetSavePath(std::string path) { m_savePath = std::move(path); }
    // Prints a text the way a message box would (for messages of the tool's own).
    void Report(const std::string& text);
    // Prints a question on the same stream, the answer to follow on its line.
    void Prompt(const std::string& question);
    // Message boxes shown so far: lets a caller tell whether a core step that
    // reports only through messages went wrong.
    std::size_t MessageCount() const { return m_messageCount; }
    // The path a save prompt was last answered with, if any.
    const std::optional<std::string>& SavedTo() const { return m_savedTo; }

protected:
    MsgResult ShowMessage(const std::string& text, MsgButtons buttons, MsgIcon icon,
                          MsgResult defaultButton) override;
    void ShowWaitCursor(bool) override {}

private:
    std::ostream& m_out;
    std::optional<std::string> m_openPath;
    std::optional<std::string> m_savePath;
    std::optional<std::string> m_savedTo;
    std::size_t m_messageCount = 0;
};
