#include "ConsoleUi.h"

ConsoleUi::ConsoleUi(std::ostream& diagnostics) : m_out(diagnostics) {}

void ConsoleUi::ShowProgress(const std::string& text) {
    // The end of a wait needs no line: what comes next says how it went.
    if (text.empty()) return;
    m_out << text << '\n';
    m_out.flush();
}

void ConsoleUi::Report(const std::string& text) {
    ++m_messageCount;
    m_out << text;
    // Some of the system's texts already end in a line break ("Unable to open
    // 2\nPort not found\n"); do not add a blank line after them.
    if (text.empty() || text.back() != '\n') m_out << '\n';
    m_out.flush();
}

void ConsoleUi::Prompt(const std::string& question) {
    m_out << question << ' ';
    m_out.flush();
}

MsgResult ConsoleUi::ShowMessage(const std::string& text, MsgButtons buttons, MsgIcon, MsgResult) {
    Report(text);
    switch (buttons) {
    case MsgButtons::Ok:
    case MsgButtons::OkCancel:
        return MsgResult::Ok;
    case MsgButtons::YesNo:
    case MsgButtons::YesNoCancel:
        break;
    }
    const bool yes = m_savePath.has_value();
    m_out << (yes ? "(answered Yes)\n" : "(answered No)\n");
    m_out.flush();
    return yes ? MsgResult::Yes : MsgResult::No;
}

std::optional<std::string> ConsoleUi::PromptOpenFile(const FilePrompt&) { return m_openPath; }

std::optional<std::string> ConsoleUi::PromptSaveFile(const FilePrompt&) {
    // The path was named on the command line (or chosen fresh by the tool),
    // which stands for the overwrite confirmation of the desktop program.
    m_savedTo = m_savePath;
    return m_savePath;
}
