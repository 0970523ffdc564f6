#pragma once

#include <functional>
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

    // Shows a message box. The first button (Ok or Yes) is the default, the
    // one Enter presses, unless defaultButton names another of the buttons
    // shown: a question whose safe answer is No names No. The text gets the
    // message addendum, if one is installed.
    MsgResult MessageBox(const std::string& text, MsgButtons buttons, MsgIcon icon,
                         std::optional<MsgResult> defaultButton = std::nullopt);
    // The chosen path, or nothing when the user cancelled.
    virtual std::optional<std::string> PromptOpenFile(const FilePrompt& prompt) = 0;
    virtual std::optional<std::string> PromptSaveFile(const FilePrompt& prompt) = 0;
    virtual void Beep(BeepKind kind) = 0;
    virtual void CaptureMouse() = 0;
    virtual void ReleaseMouse() = 0;
    // Says what a long wait is about ("Connecting to rfc2217://plc:2217...")
    // until it is called with an empty text. Not a message box: nothing to
    // answer, and a front end without a place for it shows nothing.
    virtual void ShowProgress(const std::string& text) { (void)text; }

    // The wait cursor is a count: begin adds one, end takes one away and never
    // goes below zero; the cursor shows while the count is above zero.
    void BeginWaitCursor();
    void EndWaitCursor();
    // Shows the wait cursor again if the count is above zero (after something
    // else may have changed the cursor).
    void RestoreWaitCursor();
    int WaitCursorCount() const { return m_waitCount; }

protected:
    // Shows the box; defaultButton is always one of the buttons shown.
    virtual MsgResult ShowMessage(const std::string& text, MsgButtons buttons, MsgIcon icon,
                                  MsgResult defaultButton) = 0;
    // Called whenever the cursor should be put up (true) or taken down (false).
    virtual void ShowWaitCursor(bool show) = 0;

private:
    int m_waitCount = 0;
};

// The button a message box with these buttons takes as its default: the
// one asked for when it is shown, else the first.
MsgResult DefaultButtonOf(MsgButtons buttons, std::optional<MsgResult> wanted);

// Text added to every message box while it is installed: a command context
// names the serial device that went away during its exchanges. One at a
// time, UI thread only; an empty result adds nothing.
using MessageAddendum = std::function<std::string()>;
// Installs addendum (an empty one removes it) and returns the one before.
MessageAddendum SetMessageAddendum(MessageAddendum addendum);

// The process-wide UI services. Until something is installed, a silent
// implementation answers every message with its default button and cancels
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
