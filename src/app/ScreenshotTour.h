#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>
#include <vector>

class CMainFrame;
class QWidget;

// A guided walk through the program for the documentation: with the
// environment variable VELTRIX_SCREENSHOTS naming a folder, the program
// saves a PNG of the splash, of the main window with each menu open and of
// each dialog, closing every dialog with Cancel or Esc, then quits. Meant
// for a virtual display (scripts/screenshots); it sends nothing a user's
// Cancel would not.
class ScreenshotTour : public QObject {
    Q_OBJECT
  public:
    explicit ScreenshotTour(QString folder);

    // Called before start-up so the splash can be caught too.
    void Start();
    void SetMainFrame(CMainFrame* frame) { m_frame = frame; }

  private:
    // A step returns false when it cannot run yet; it is tried again.
    // Steps that ran call Advance() to arm the next one.
    using Step = std::function<bool()>;
    void Next();
    void Advance();
    void Shoot(const QString& name, QWidget* focus);
    bool Save(const QString& name, QWidget* focus = nullptr);
    bool ShowMenu(const QString& title, const QString& highlight = {});
    bool HideMenus();
    void HideAllMenus();
    bool Trigger(int id);
    QWidget* SettledDialog();
    bool SaveDialog(const QString& name);
    bool SaveDialogAndClose(const QString& name);

    QString m_folder;
    CMainFrame* m_frame = nullptr;
    std::vector<std::pair<int, Step>> m_steps;  // delay before, action
    size_t m_next = 0;
    QWidget* m_lastSeen = nullptr;
};
