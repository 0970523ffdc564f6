#pragma once

#include <QList>
#include <QPointF>
#include <QString>
#include <QtCharts/QChartView>
#include <cstdint>

#include "model/MeasurementStatistics.h"

class CMeasurementValues;
class QLineSeries;
class QValueAxis;

// The trend of each measurement that is on over the last minute, with its
// low and high as dashed lines: fed with the scans the monitor takes.
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
    void AddScan(uint32_t timeMs, const CMeasurementValues& scan,
                 const MeasurementStatistics stats[2]);
    // Draws what arrived since the last redraw (the loop has ended).
    void Flush();

    // For tests and the benchmark.
    int RedrawCount() const { return m_redraws; }
    const QList<QPointF>& Points(int which) const { return m_traces[which].points; }

  private:
    struct Trace {
        bool on = false;
        QLineSeries* value = nullptr;
        QLineSeries* low = nullptr;
        QLineSeries* high = nullptr;
        QList<QPointF> points;
        uint32_t shownLow = MeasurementStatistics::kNoValue;
        uint16_t shownHigh = 0;
    };

    bool Append(Trace& trace, double seconds, uint16_t value);
    void DropOld(Trace& trace, double windowStart);
    void Redraw();

    Trace m_traces[2];
    QValueAxis* m_timeAxis;
    QValueAxis* m_valueAxis;
    bool m_started = false;
    uint32_t m_startMs = 0;
    uint32_t m_nowMs = 0;
    uint32_t m_lastRedrawMs = 0;
    bool m_pending = false;
    int m_redraws = 0;
};
