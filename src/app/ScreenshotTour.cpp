#include "app/ScreenshotTour.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QGuiApplication>
#include <QMenu>
#include <QMenuBar>
#include <QPixmap>
#include <QScreen>

#include "app/CMainFrame.h"
#include "app/MainMenu.h"

namespace {

QMenu* TopMenu(CMainFrame* frame, const QString& title) {
    for (QAction* action : frame->menuBar()->actions())
        if (action->text() == title) return action->menu();
    return nullptr;
}

QRect VisibleArea(CMainFrame* frame) {
    QRect area = frame ? frame->frameGeometry() : QRect();
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window->isVisible() && window != frame) area |= window->frameGeometry();
    return area;
}

}  // namespace

ScreenshotTour::ScreenshotTour(QString folder) : m_folder(std::move(folder)) {
    QDir().mkpath(m_folder);
    m_steps = {
        {700, [this] { return SaveDialog("splash"); }},
        {2500, [this] { return m_frame && Save("main-window"); }},
        {300, [this] { return ShowMenu("&VELTRIX", "&Diagnostics...\tF2"); }},
        {400, [this] { return Save("menu-veltrix"); }},
        {100, [this] { return ShowMenu("&Options", "Serial Port"); }},
        {500, [this] { return Save("menu-options"); }},
        {100, [this] { return ShowMenu("&Help"); }},
        {400, [this] { return Save("menu-help"); }},
        {100, [this] { return HideMenus(); }},
        {300, [this] { return Trigger(kCmdDiagnostics); }},
        {500, [this] { return SaveDialogAndClose("diagnostics"); }},
        {300, [this] { return Trigger(kCmdSetPartNumber); }},
        {500, [this] { return SaveDialogAndClose("set-part-number"); }},
        {300, [this] { return Trigger(kCmdPortDevices); }},
        {500, [this] { return SaveDialogAndClose("port-devices"); }},
        {300, [this] { return Trigger(kCmdAbout); }},
        {500, [this] { return SaveDialogAndClose("about"); }},
        {300,
         [] {
             QApplication::closeAllWindows();
             return true;
         }},
    };
}

void ScreenshotTour::Start() { QTimer::singleShot(m_steps[0].first, this, &ScreenshotTour::Next); }

void ScreenshotTour::Next() {
    if (m_next >= m_steps.size()) return;
    // A step that is not ready (its dialog still waits for the controller)
    // is tried again a little later.
    if (!m_steps[m_next].second()) QTimer::singleShot(200, this, &ScreenshotTour::Next);
}

void ScreenshotTour::Advance() {
    if (++m_next < m_steps.size())
        QTimer::singleShot(m_steps[m_next].first, this, &ScreenshotTour::Next);
}

bool ScreenshotTour::Save(const QString& name, QWidget* focus) {
    Shoot(name, focus);
    Advance();
    return true;
}

void ScreenshotTour::Shoot(const QString& name, QWidget* focus) {
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect area = focus ? focus->frameGeometry() : VisibleArea(m_frame);
    const QPixmap shot = screen->grabWindow(0, area.x(), area.y(), area.width(), area.height());
    shot.save(QDir(m_folder).filePath(name + ".png"));
}

bool ScreenshotTour::ShowMenu(const QString& title, const QString& highlight) {
    if (!m_frame) return false;
    HideAllMenus();
    QMenu* menu = TopMenu(m_frame, title);
    if (!menu) return false;
    m_frame->menuBar()->setActiveAction(menu->menuAction());
    Advance();
    if (highlight.isEmpty()) return true;
    for (QAction* action : menu->actions()) {
        if (action->text() == highlight) {
            // Once the menu is on screen; a submenu opens, an item shows
            // its prompt in the status bar.
            QTimer::singleShot(150, menu, [menu, action] { menu->setActiveAction(action); });
        }
    }
    return true;
}

void ScreenshotTour::HideAllMenus() {
    for (QAction* action : m_frame->menuBar()->actions())
        if (action->menu()) action->menu()->hide();
}

bool ScreenshotTour::HideMenus() {
    if (!m_frame) return false;
    HideAllMenus();
    Advance();
    return true;
}

bool ScreenshotTour::Trigger(int id) {
    if (!m_frame) return false;
    // The next step is armed first: trigger() returns only once that step
    // has closed the dialog the command opens.
    Advance();
    m_frame->Action(id)->trigger();
    return true;
}

QWidget* ScreenshotTour::SettledDialog() {
    QWidget* dialog = QApplication::activeModalWidget();
    // A dialog is shot on the second look, once it has been laid out and painted.
    const bool settled = dialog && dialog == m_lastSeen;
    m_lastSeen = dialog;
    return settled ? dialog : nullptr;
}

bool ScreenshotTour::SaveDialog(const QString& name) {
    QWidget* dialog = SettledDialog();
    return dialog && Save(name, dialog);
}

bool ScreenshotTour::SaveDialogAndClose(const QString& name) {
    auto* dialog = qobject_cast<QDialog*>(SettledDialog());
    if (!dialog) return false;
    Save(name, dialog);
    dialog->reject();
    return true;
}
