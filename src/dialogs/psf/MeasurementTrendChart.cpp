#include "dialogs/psf/MeasurementTrendChart.h"

#include <QLegendMarker>
#include <QPen>
#include <QtCharts/QChart>
#include <QtCharts/QLegend>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>
#include <algorithm>
#include <cmath>

#include "model/PsfExecuteRules.h"
#include "model/ScanReply.h"

namespace {

constexpr double kWindowSeconds = MeasurementTrendChart::kWindowMs / 1000.0;
const QColor kColours[2] = {QColor(0, 90, 200), QColor(200, 80, 0)};

QLineSeries* AddSeries(QChart* chart, const QString& name, const QColor& colour, bool dashed) {
    auto* series = new QLineSeries;
    series->setName(name);
    QPen pen(colour);
    pen.setWidthF(dashed ? 1.0 : 1.5);
    if (dashed) pen.setStyle(Qt::DashLine);
    series->setPen(pen);
    chart->addSeries(series);
    return series;
}

// A round upper bound for the value axis: 10, 20, 50, 100, 200, ...
double NiceCeiling(double value) {
    double step = 10;
    while (true) {
        for (double factor : {1.0, 2.0, 5.0})
            if (value <= step * factor) return step * factor;
        step *= 10;
    }
}

}  // namespace

MeasurementTrendChart::MeasurementTrendChart(QWidget* parent) : QChartView(parent) {
    auto* chart = new QChart;
    chart->setMargins(QMargins(4, 4, 4, 4));
    chart->legend()->setAlignment(Qt::AlignBottom);
    m_timeAxis = new QValueAxis;
    m_timeAxis->setTitleText(tr("Time (s)"));
    m_timeAxis->setLabelFormat("%d");
    m_timeAxis->setRange(-kWindowSeconds, 0);
    m_timeAxis->setTickCount(7);
    m_valueAxis = new QValueAxis;
    m_valueAxis->setLabelFormat("%d");
    m_valueAxis->setRange(0, 10);
    m_valueAxis->setTickType(QValueAxis::TicksDynamic);
    m_valueAxis->setTickAnchor(0);
    m_valueAxis->setTickInterval(2);
    chart->addAxis(m_timeAxis, Qt::AlignBottom);
    chart->addAxis(m_valueAxis, Qt::AlignLeft);
    setChart(chart);
    setRenderHint(QPainter::Antialiasing, false);
    setMinimumHeight(180);
}

void MeasurementTrendChart::SetMeasurements(int selector, const QString& meas1Text,
                                            const QString& meas2Text) {
    QChart* chart = this->chart();
    const bool on[2] = {SelectorShowsMeas1(selector), SelectorShowsMeas2(selector)};
    const QString texts[2] = {meas1Text, meas2Text};
    for (int which = 0; which < 2; ++which) {
        Trace& trace = m_traces[which];
        trace.on = on[which];
        if (!trace.on || trace.value) continue;
        const QString name = tr("Meas %1 %2").arg(which + 1).arg(texts[which]);
        trace.value = AddSeries(chart, name, kColours[which], false);
        trace.low = AddSeries(chart, name + tr(" low"), kColours[which].lighter(130), true);
        trace.high = AddSeries(chart, name + tr(" high"), kColours[which].lighter(130), true);
        for (QLineSeries* series : {trace.value, trace.low, trace.high}) {
            series->attachAxis(m_timeAxis);
            series->attachAxis(m_valueAxis);
        }
        // The legend names the measurements; the dashed lines explain themselves.
        for (QLineSeries* series : {trace.low, trace.high})
            for (QLegendMarker* marker : chart->legend()->markers(series)) marker->setVisible(false);
    }
}

bool MeasurementTrendChart::Append(Trace& trace, double seconds, uint16_t value) {
    QList<QPointF>& points = trace.points;
    const int n = int(points.size());
    // The middle of a run of equal values adds nothing to the line.
    if (n >= 2 && points[n - 1].y() == value && points[n - 2].y() == value) {
        points[n - 1].setX(seconds);
        return false;
    }
    const bool changed = n == 0 || points[n - 1].y() != value;
    points.append(QPointF(seconds, value));
    return changed;
}

void MeasurementTrendChart::DropOld(Trace& trace, double windowStart) {
    // One point before the window stays, so the line enters from its edge.
    QList<QPointF>& points = trace.points;
    int drop = 0;
    while (drop + 1 < points.size() && points[drop + 1].x() <= windowStart) ++drop;
    if (drop > 0) points.remove(0, drop);
}

void MeasurementTrendChart::AddScan(uint32_t timeMs, const CMeasurementValues& scan,
                                    const MeasurementStatistics stats[2]) {
    if (!m_started) {
        m_started = true;
        m_startMs = timeMs;
    }
    m_nowMs = timeMs;
    const double seconds = (timeMs - m_startMs) / 1000.0;
    const uint16_t values[2] = {scan.Value1(), scan.Value2()};
    for (int which = 0; which < 2; ++which) {
        Trace& trace = m_traces[which];
        if (!trace.on) continue;
        m_pending = Append(trace, seconds, values[which]) || m_pending;
        if (stats[which].low != trace.shownLow || stats[which].high != trace.shownHigh) {
            trace.shownLow = stats[which].low;
            trace.shownHigh = stats[which].high;
            m_pending = true;
        }
    }
    const uint32_t since = timeMs - m_lastRedrawMs;
    if (m_redraws == 0 || (m_pending && since >= kMinRedrawIntervalMs) ||
        since >= kScrollIntervalMs)
        Redraw();
}

void MeasurementTrendChart::Flush() {
    if (m_pending) Redraw();
}

void MeasurementTrendChart::Redraw() {
    ++m_redraws;
    m_pending = false;
    m_lastRedrawMs = m_nowMs;
    // The time axis stays put (seconds before now); only the lines move.
    const double now = (m_nowMs - m_startMs) / 1000.0;
    double top = 0;
    for (Trace& trace : m_traces) {
        if (!trace.on) continue;
        DropOld(trace, now - kWindowSeconds);
        QList<QPointF> shifted;
        shifted.reserve(trace.points.size());
        for (const QPointF& point : trace.points) {
            shifted.append(QPointF(point.x() - now, point.y()));
            top = std::max(top, point.y());
        }
        trace.value->replace(shifted);
        const double high = trace.shownHigh;
        trace.high->replace(QList<QPointF>{QPointF(-kWindowSeconds, high), QPointF(0, high)});
        top = std::max(top, high);
        if (trace.shownLow == MeasurementStatistics::kNoValue) {
            trace.low->clear();
        } else {
            const double low = trace.shownLow;
            trace.low->replace(QList<QPointF>{QPointF(-kWindowSeconds, low), QPointF(0, low)});
        }
    }
    const double ceiling = NiceCeiling(top * 1.1);
    if (ceiling != m_valueAxis->max()) {
        m_valueAxis->setRange(0, ceiling);
        m_valueAxis->setTickInterval(ceiling / 5);
    }
}
