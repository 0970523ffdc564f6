#pragma once

#include <QPointer>
#include <QStringList>
#include <QWidget>
#include <memory>

#include "platform/UiServices.h"

// The desktop program's UI services: message boxes titled with the
// application name, the Qt file dialogs, the wait cursor as an override
// cursor. The mouse capture holds back mouse input to this program's own
// windows only: a pointer grab of the window system would freeze every other
// application on the desktop for as long as the capture lasts.
class QtUiServices : public UiServices {
  public:
    // The window that message boxes fall back to as parent and that holds
    // the mouse capture.
    void SetMainWindow(QWidget* window) { m_mainWindow = window; }

    std::optional<std::string> PromptOpenFile(const FilePrompt& prompt) override;
    std::optional<std::string> PromptSaveFile(const FilePrompt& prompt) override;
    void Beep(BeepKind kind) override;
    void CaptureMouse() override;
    void ReleaseMouse() override;
    // In the main window's status bar.
    void ShowProgress(const std::string& text) override;

    // "PSF Files (*.PSF) |*.PSF||" -> {"PSF Files (*.PSF)"}: the system's
    // description|pattern pairs as Qt name filters. A description that does
    // not show its pattern gets it appended, as Qt reads the pattern from the
    // parentheses; ';' between patterns becomes a blank.
    static QStringList TranslateFilter(const std::string& filter);

  protected:
    MsgResult ShowMessage(const std::string& text, MsgButtons buttons, MsgIcon icon,
                          MsgResult defaultButton) override;
    void ShowWaitCursor(bool show) override;

  private:
    QWidget* DialogParent() const;
    std::optional<std::string> RunFileDialog(const FilePrompt& prompt, bool save);
    // A held mouse would keep the box from getting its clicks.
    void DropCaptureForDialog();

    QPointer<QWidget> m_mainWindow;
    std::unique_ptr<QObject> m_mouseHold;  // an event filter while captured
    bool m_cursorShown = false;
};
