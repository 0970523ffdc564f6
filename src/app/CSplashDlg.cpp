#include "app/CSplashDlg.h"

#include <QKeyEvent>
#include <QPainter>
#include <QScreen>

#include "app/AppResources.h"

namespace {
// 187 by 94 dialog units at the classic 8-point dialog font.
constexpr int kTemplateWidth = 281;
constexpr int kTemplateHeight = 153;
}  // namespace

CSplashDlg::CSplashDlg(QWidget* parent, const QString& picturePath)
    : QDialog(parent, Qt::SplashScreen | Qt::FramelessWindowHint) {
    EnsureAppResources();
    m_picture.load(picturePath);
    setObjectName(QStringLiteral("splash"));
    setModal(true);
    resize(kTemplateWidth, kTemplateHeight);
}

void CSplashDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!m_picture.isNull()) {
        const QSize size = m_picture.deviceIndependentSize().toSize();
        const QScreen* screen = this->screen();
        const QRect desktop = screen ? screen->geometry() : QRect(0, 0, 0, 0);
        setGeometry(desktop.x() + (desktop.width() - size.width()) / 2,
                    desktop.y() + (desktop.height() - size.height()) / 2, size.width(),
                    size.height());
        raise();
    }
    if (m_timerId == 0) m_timerId = startTimer(kDisplayMs);
}

void CSplashDlg::paintEvent(QPaintEvent*) {
    if (m_picture.isNull()) return;
    QPainter painter(this);
    // Copied as it is, never stretched.
    painter.drawPixmap(0, 0, m_picture);
}

void CSplashDlg::timerEvent(QTimerEvent*) {
    // Whatever timer fired, the splash is over.
    if (m_timerId) killTimer(m_timerId);
    m_timerId = 0;
    accept();
}

void CSplashDlg::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            accept();
            return;
        case Qt::Key_Escape:
            reject();
            return;
        default:
            QDialog::keyPressEvent(event);
    }
}
