#include "app/QtUiServices.h"

#include <QApplication>
#include <QFileDialog>
#include <QMainWindow>
#include <QMessageBox>
#include <QStatusBar>

#include "platform/AppInfo.h"

namespace {

QMessageBox::Icon ToQtIcon(MsgIcon icon) {
    switch (icon) {
        case MsgIcon::Stop:
            return QMessageBox::Critical;
        case MsgIcon::Information:
            return QMessageBox::Information;
        case MsgIcon::Question:
            return QMessageBox::Question;
        case MsgIcon::Exclamation:
            break;
    }
    return QMessageBox::Warning;
}

QMessageBox::StandardButtons ToQtButtons(MsgButtons buttons) {
    switch (buttons) {
        case MsgButtons::OkCancel:
            return QMessageBox::Ok | QMessageBox::Cancel;
        case MsgButtons::YesNo:
            return QMessageBox::Yes | QMessageBox::No;
        case MsgButtons::YesNoCancel:
            return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
        case MsgButtons::Ok:
            break;
    }
    return QMessageBox::Ok;
}

QMessageBox::StandardButton ToQtButton(MsgResult button) {
    switch (button) {
        case MsgResult::Cancel:
            return QMessageBox::Cancel;
        case MsgResult::Yes:
            return QMessageBox::Yes;
        case MsgResult::No:
            return QMessageBox::No;
        case MsgResult::Ok:
            break;
    }
    return QMessageBox::Ok;
}

// Swallows the mouse buttons and wheel on every window of the program.
class MouseHold : public QObject {
  public:
    MouseHold() { qApp->installEventFilter(this); }
    ~MouseHold() override { qApp->removeEventFilter(this); }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonRelease:
            case QEvent::MouseButtonDblClick:
            case QEvent::Wheel:
            case QEvent::ContextMenu:
                return true;
            default:
                return QObject::eventFilter(watched, event);
        }
    }
};

MsgResult FromQt(int button, MsgButtons buttons) {
    switch (button) {
        case QMessageBox::Ok:
            return MsgResult::Ok;
        case QMessageBox::Yes:
            return MsgResult::Yes;
        case QMessageBox::No:
            return MsgResult::No;
        case QMessageBox::Cancel:
            return MsgResult::Cancel;
        default:
            break;
    }
    // Closed without a button: whatever Esc would have chosen.
    if (buttons == MsgButtons::Ok) return MsgResult::Ok;
    if (buttons == MsgButtons::YesNo) return MsgResult::No;
    return MsgResult::Cancel;
}

}  // namespace

QWidget* QtUiServices::DialogParent() const {
    if (QWidget* modal = QApplication::activeModalWidget()) return modal;
    if (QWidget* active = QApplication::activeWindow()) return active;
    return m_mainWindow;
}

void QtUiServices::DropCaptureForDialog() { m_mouseHold.reset(); }

MsgResult QtUiServices::ShowMessage(const std::string& text, MsgButtons buttons, MsgIcon icon,
                                    MsgResult defaultButton) {
    DropCaptureForDialog();
    QMessageBox box(ToQtIcon(icon), QString::fromUtf8(kAppName), QString::fromStdString(text),
                    ToQtButtons(buttons), DialogParent());
    box.setDefaultButton(ToQtButton(defaultButton));
    // A stale override cursor would show the wait cursor over the buttons.
    const bool cursor = m_cursorShown;
    if (cursor) QApplication::restoreOverrideCursor();
    const int result = box.exec();
    if (cursor) QApplication::setOverrideCursor(Qt::WaitCursor);
    return FromQt(result, buttons);
}

QStringList QtUiServices::TranslateFilter(const std::string& filter) {
    QStringList parts = QString::fromStdString(filter).split('|');
    QStringList result;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString description = parts[i].trimmed();
        QString pattern = parts[i + 1].trimmed();
        if (description.isEmpty() && pattern.isEmpty()) break;  // the closing "||"
        pattern.replace(';', ' ');
        if (pattern.isEmpty()) pattern = "*";
        if (!description.contains('(')) description += " (" + pattern + ')';
        result << description;
    }
    return result;
}

std::optional<std::string> QtUiServices::RunFileDialog(const FilePrompt& prompt, bool save) {
    DropCaptureForDialog();
    QFileDialog dialog(DialogParent());
    dialog.setWindowTitle(save ? QObject::tr("Save As") : QObject::tr("Open"));
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(!save && prompt.mustExist ? QFileDialog::ExistingFile
                                                 : QFileDialog::AnyFile);
    const QStringList filters = TranslateFilter(prompt.filter);
    if (!filters.isEmpty()) dialog.setNameFilters(filters);
    dialog.setDefaultSuffix(QString::fromStdString(prompt.defaultExtension));
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !(save && prompt.confirmOverwrite));
    if (!prompt.initialName.empty()) dialog.selectFile(QString::fromStdString(prompt.initialName));
    const bool cursor = m_cursorShown;
    if (cursor) QApplication::restoreOverrideCursor();
    const bool accepted = dialog.exec() == QDialog::Accepted;
    if (cursor) QApplication::setOverrideCursor(Qt::WaitCursor);
    if (!accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return dialog.selectedFiles().first().toStdString();
}

std::optional<std::string> QtUiServices::PromptOpenFile(const FilePrompt& prompt) {
    return RunFileDialog(prompt, false);
}

std::optional<std::string> QtUiServices::PromptSaveFile(const FilePrompt& prompt) {
    return RunFileDialog(prompt, true);
}

void QtUiServices::Beep(BeepKind) { QApplication::beep(); }

void QtUiServices::CaptureMouse() {
    if (!m_mainWindow || !m_mainWindow->isVisible()) return;
    if (!m_mouseHold) m_mouseHold = std::make_unique<MouseHold>();
}

void QtUiServices::ReleaseMouse() { DropCaptureForDialog(); }

void QtUiServices::ShowWaitCursor(bool show) {
    if (show) {
        if (m_cursorShown)
            QApplication::changeOverrideCursor(Qt::WaitCursor);
        else
            QApplication::setOverrideCursor(Qt::WaitCursor);
        m_cursorShown = true;
    } else if (m_cursorShown) {
        QApplication::restoreOverrideCursor();
        m_cursorShown = false;
    }
}

void QtUiServices::ShowProgress(const std::string& text) {
    auto* window = qobject_cast<QMainWindow*>(m_mainWindow.data());
    if (!window) return;
    if (text.empty())
        window->statusBar()->clearMessage();
    else
        window->statusBar()->showMessage(QString::fromStdString(text));
}
