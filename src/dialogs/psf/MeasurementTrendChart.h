#pragma once

#include <QList>
#include <QPointF>
#include <QString>
#include <QtCharts/QChartView>
#include <cstdint>

#include "model/MeasurementStatistics.h"

class CMeasurementValues;
class QLineSeries;
class QScatterSeries;
class QValueAxis;

// The trend of each measurement that is on over the last minute, with its
// low and high as dashed lines: fed with the scans the monitor takes.
//
// The line breaks where no scan was taken: each Run, and each Step, begins a
// piece of its own (a lone Step shows as a dot), and a failed scan is marked
// on the time axis. The colours follow the window's palette, dark included.
//
// Points are appended and the ones older than the window dropped; a run of
// equal values keeps only its two ends. The time axis stays put (seconds
// before now) and only the lines move. Redraws follow changes at most every
// kMinRedrawIntervalMs and move an unchanging picture along once a second:
// the monitor's loop paints between two scans, so every redraw would
// lengthen the scan period.
class MeasurementTrendChart : public QChartView {
    Q_OBJECT

  public:
    static constexpr uint32_t kWindowMs = 60000;
    static constexpr uint32_t kScrollIntervalMs = 1000;
    static constexpr uint32_t kMinRedrawIntervalMs = 500;

    explicit MeasurementTrendChart(QWidget* parent = nullptr);

    // Which measurements are on (the monitor's selector) and their mode texts.
    void SetMeasurements(int selector, const QString& meas1Text, const QString& meas2Text);
    // The scans that follow were not taken straight after the ones before.
    void BeginRun() { m_breakNext = true; }
    void AddScan(uint32_t timeMs, const CMeasurementValues& scan,
                 const MeasurementStatistics stats[2]);
    void AddFailedScan(uint32_t timeMs);
    // Draws what arrived since the last redraw (the loop has ended).
    void Flush();

    // For tests and the benchmark: the points of the latest piece of a
    // trace, the pieces in the window, the failed scans marked.
    int RedrawCount() const { return m_redraws; }
    QList<QPointF> Points(int which) const;
    int PieceCount(int which) const { return int(m_traces[which].pieces.size()); }
    int FailedScanCount() const { return int(m_failures.size()); }

  protected:
    void changeEvent(QEvent* event) override;

  private:
    struct Piece {
        QLineSeries* series = nullptr;
        QList<QPointF> points;
    };
    struct Trace {
        bool on = false;
        QString name;
        QList<Piece> pieces;
        QLineSeries* low = nullptr;
        QLineSeries* high = nullptr;
        uint32_t shownLow = MeasurementStatistics::kNoValue;
        uint16_t shownHigh = 0;
    };

    bool Append(Trace& trace, double seconds, uint16_t value);
    void StartPiece(int which);
    void DropOld(Trace& trace, double windowStart);
    void Redraw();
    void ApplyPalette();
    QColor TraceQColor(int which) const;

    Trace m_traces[2];
    QScatterSeries* m_failedSeries = nullptr;
    QList<double> m_failures;  // seconds since the first scan
    bool m_breakNext = true;
    QValueAxis* m_timeAxis;
    QValueAxis* m_valueAxis;
    bool m_started = false;
    uint32_t m_startMs = 0;
    uint32_t m_nowMs = 0;
    uint32_t m_lastRedrawMs = 0;
    bool m_pending = false;
    int m_redraws = 0;
};
