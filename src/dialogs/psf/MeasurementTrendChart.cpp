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
    m_timeAxis->setRange(0, kWindowSeconds);
    // Ticks on whole multiples, however far the window has moved.
    m_timeAxis->setTickType(QValueAxis::TicksDynamic);
    m_timeAxis->setTickAnchor(0);
    m_timeAxis->setTickInterval(10);
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
        m_lastRedrawMs = timeMs;
    }
    const double seconds = (timeMs - m_startMs) / 1000.0;
    const uint16_t values[2] = {scan.Value1(), scan.Value2()};
    bool changed = m_redraws == 0;
    for (int which = 0; which < 2; ++which) {
        Trace& trace = m_traces[which];
        if (!trace.on) continue;
        changed = Append(trace, seconds, values[which]) || changed;
        if (stats[which].low != trace.shownLow || stats[which].high != trace.shownHigh) {
            trace.shownLow = stats[which].low;
            trace.shownHigh = stats[which].high;
            changed = true;
        }
    }
    if (changed || timeMs - m_lastRedrawMs >= kScrollIntervalMs) {
        m_lastRedrawMs = timeMs;
        Redraw(seconds);
    }
}

void MeasurementTrendChart::Redraw(double now) {
    ++m_redraws;
    const double end = std::max(now, kWindowSeconds);
    const double start = end - kWindowSeconds;
    double top = 0;
    for (Trace& trace : m_traces) {
        if (!trace.on) continue;
        DropOld(trace, start);
        trace.value->replace(trace.points);
        for (const QPointF& point : trace.points) top = std::max(top, point.y());
        const QList<QPointF> high = {QPointF(start, trace.shownHigh), QPointF(end, trace.shownHigh)};
        trace.high->replace(high);
        top = std::max(top, double(trace.shownHigh));
        if (trace.shownLow == MeasurementStatistics::kNoValue) {
            trace.low->clear();
        } else {
            const double low = trace.shownLow;
            trace.low->replace(QList<QPointF>{QPointF(start, low), QPointF(end, low)});
        }
    }
    m_timeAxis->setRange(start, end);
    const double ceiling = NiceCeiling(top * 1.1);
    if (ceiling != m_valueAxis->max()) {
        m_valueAxis->setRange(0, ceiling);
        m_valueAxis->setTickInterval(ceiling / 5);
    }
}
