#include "grid/StaleScanMarker.h"

#include <QGraphicsColorizeEffect>
#include <QLabel>
#include <QWidget>

StaleScanMarker::StaleScanMarker(QLabel* note, const QList<QWidget*>& views) : m_note(note) {
    for (QWidget* view : views) m_views << view;
    m_note->setObjectName(QStringLiteral("staleNote"));
    m_note->hide();
}

QString StaleScanMarker::NoteText(const QTime& lastScan) {
    return QStringLiteral("Last scan at %1; none since.").arg(lastScan.toString(QStringLiteral("HH:mm:ss")));
}

void StaleScanMarker::ScanArrived() {
    m_lastScan = QTime::currentTime();
    if (m_stale) Show(false);
}

void StaleScanMarker::ScanFailed() {
    // Nothing on screen yet, nothing to call old.
    if (!m_lastScan.isValid() || m_stale) return;
    Show(true);
}

void StaleScanMarker::Clear() {
    m_lastScan = QTime();
    if (m_stale) Show(false);
}

void StaleScanMarker::Show(bool stale) {
    m_stale = stale;
    for (const QPointer<QWidget>& view : m_views) {
        if (!view) continue;
        if (stale) {
            auto* grey = new QGraphicsColorizeEffect(view);
            grey->setColor(QColor(0x90, 0x90, 0x90));
            grey->setStrength(0.85);
            view->setGraphicsEffect(grey);  // the view owns and deletes it
        } else {
            view->setGraphicsEffect(nullptr);
        }
    }
    m_note->setText(stale ? NoteText(m_lastScan) : QString());
    m_note->setVisible(stale);
}
