#pragma once

#include <QList>
#include <QPointer>
#include <QTime>

class QLabel;
class QWidget;

// Marks the views of a scanning dialog (its grid, a strip, a chart) as
// stale when a scan request fails after the scan they show: they turn grey
// and a note gives the time of that last scan, until a new scan arrives.
// The views themselves draw as always; the grey is an effect laid over them.
class StaleScanMarker {
  public:
    // note shows the time while stale and is hidden otherwise.
    StaleScanMarker(QLabel* note, const QList<QWidget*>& views);

    void ScanArrived();
    void ScanFailed();
    // The views hold no scan any more (a grid column cleared).
    void Clear();

    bool Stale() const { return m_stale; }
    QTime LastScan() const { return m_lastScan; }
    static QString NoteText(const QTime& lastScan);

  private:
    void Show(bool stale);

    QLabel* m_note;
    QList<QPointer<QWidget>> m_views;
    QTime m_lastScan;
    bool m_stale = false;
};
