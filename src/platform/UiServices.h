#pragma once

#include <optional>
#include <string>

// Every message box, file prompt, beep, wait cursor and mouse capture of the
// system goes through this interface. The desktop program plugs in its Qt
// implementation, the command-line tool a console one, and tests a scripted
// double that records each call and answers from a queue.
//
// Message boxes are always titled with the application name (kAppName).

enum class MsgButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class MsgIcon { Exclamation, Stop, Information, Question };
enum class MsgResult { Ok, Cancel, Yes, No };
enum class BeepKind { Simple, Exclamation };

// A file prompt as the system describes it. The filter keeps the system's
// own notation ("PSF Files (*.PSF) |*.PSF||"); implementations translate it.
struct FilePrompt {
    std::string filter;
    std::string defaultExtension;  // without the dot, for example "PSF"
    bool confirmOverwrite = false;  // save prompts: ask before replacing a file
    bool mustExist = false;         // open prompts: only existing files
    std::string initialName;        // file name offered at first; empty: none
};

class UiServices {
public:
    virtual ~UiServices() = default;

    virtual MsgResult MessageBox(const std::string& text, MsgButtons buttons, MsgIcon icon) = 0;
    // The chosen path, or nothing when the user cancelled.
    virtual std::optional<std::string> PromptOpenFile(const FilePrompt& prompt) = 0;
    virtual std::optional<std::string> PromptSaveFile(const FilePrompt& prompt) = 0;
    virtual void Beep(BeepKind kind) = 0;
    virtual void CaptureMouse() = 0;
    virtual void ReleaseMouse() = 0;

    // The wait cursor is a count: begin adds one, end takes one away and never
    // goes below zero; the cursor shows while the count is above zero.
    void BeginWaitCursor();
    void EndWaitCursor();
    // Shows the wait cursor again if the count is above zero (after something
    // else may have changed the cursor).
    void RestoreWaitCursor();
    int WaitCursorCount() const { return m_waitCount; }

protected:
    // Called whenever the cursor should be put up (true) or taken down (false).
    virtual void ShowWaitCursor(bool show) = 0;

private:
    int m_waitCount = 0;
};

// The process-wide UI services. Until something is installed, a silent
// implementation answers every message with its first button and cancels
// every file prompt.
UiServices& Ui();
void SetUi(UiServices* ui);

// Installs UI services for the lifetime of a scope (tests).
class ScopedUi {
public:
    explicit ScopedUi(UiServices& ui);
    ~ScopedUi();
    ScopedUi(const ScopedUi&) = delete;
    ScopedUi& operator=(const ScopedUi&) = delete;

private:
    UiServices* m_previous;
};
