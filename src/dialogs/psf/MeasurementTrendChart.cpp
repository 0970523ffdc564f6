#include "dialogs/psf/MeasurementTrendChart.h"

#include <QEvent>
#include <QLegendMarker>
#include <QPen>
#include <QtCharts/QChart>
#include <QtCharts/QLegend>
#include <QtCharts/QLineSeries>
#include <QtCharts/QScatterSeries>
#include <QtCharts/QValueAxis>
#include <algorithm>
#include <cmath>

#include "model/DrawingColours.h"
#include "model/PsfExecuteRules.h"
#include "model/ScanReply.h"

namespace {

constexpr double kWindowSeconds = MeasurementTrendChart::kWindowMs / 1000.0;

Rgb ToRgb(const QColor& colour) {
    return {static_cast<uint8_t>(colour.red()), static_cast<uint8_t>(colour.green()),
            static_cast<uint8_t>(colour.blue())};
}

QColor ToQColor(Rgb colour) { return QColor(colour.r, colour.g, colour.b); }

void SetLinePen(QLineSeries* series, const QColor& colour, bool dashed) {
    QPen pen(colour);
    pen.setWidthF(dashed ? 1.0 : 1.5);
    if (dashed) pen.setStyle(Qt::DashLine);
    series->setPen(pen);
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

void HideLegendMarkers(QChart* chart, QAbstractSeries* series) {
    for (QLegendMarker* marker : chart->legend()->markers(series)) marker->setVisible(false);
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

    m_failedSeries = new QScatterSeries;
    m_failedSeries->setName(tr("Failed scan"));
    m_failedSeries->setMarkerShape(QScatterSeries::MarkerShapeTriangle);
    m_failedSeries->setMarkerSize(11);
    chart->addSeries(m_failedSeries);
    m_failedSeries->attachAxis(m_timeAxis);
    m_failedSeries->attachAxis(m_valueAxis);
    HideLegendMarkers(chart, m_failedSeries);

    setRenderHint(QPainter::Antialiasing, false);
    setMinimumHeight(180);
    ApplyPalette();
}

QColor MeasurementTrendChart::TraceQColor(int which) const {
    return ToQColor(TraceColour(which, ToRgb(palette().color(QPalette::Window))));
}

void MeasurementTrendChart::ApplyPalette() {
    // The chart follows the window: a dark window gets a dark chart.
    QChart* chart = this->chart();
    const QColor window = palette().color(QPalette::Window);
    const QColor text = palette().color(QPalette::WindowText);
    const QColor grid = ToQColor(Mix(ToRgb(window), ToRgb(text), 0.18));
    const QColor axis = ToQColor(Mix(ToRgb(window), ToRgb(text), 0.5));
    chart->setBackgroundBrush(window);
    chart->setBackgroundPen(Qt::NoPen);
    chart->legend()->setLabelColor(text);
    for (QValueAxis* a : {m_timeAxis, m_valueAxis}) {
        a->setLabelsColor(text);
        a->setTitleBrush(text);
        a->setGridLineColor(grid);
        a->setLinePenColor(axis);
    }
    for (int which = 0; which < 2; ++which) {
        Trace& trace = m_traces[which];
        const QColor colour = TraceQColor(which);
        for (Piece& piece : trace.pieces) {
            SetLinePen(piece.series, colour, false);
            piece.series->setColor(colour);
        }
        if (trace.low) SetLinePen(trace.low, colour, true);
        if (trace.high) SetLinePen(trace.high, colour, true);
    }
    const Rgb mark = WithContrast(Rgb{0xD5, 0x5E, 0x00}, ToRgb(window), kMinContrast);
    m_failedSeries->setColor(ToQColor(mark));
    m_failedSeries->setBorderColor(ToQColor(mark));
    setBackgroundBrush(window);
}

void MeasurementTrendChart::changeEvent(QEvent* event) {
    if (event->type() == QEvent::PaletteChange) ApplyPalette();
    QChartView::changeEvent(event);
}

void MeasurementTrendChart::SetMeasurements(int selector, const QString& meas1Text,
                                            const QString& meas2Text) {
    QChart* chart = this->chart();
    const bool on[2] = {SelectorShowsMeas1(selector), SelectorShowsMeas2(selector)};
    const QString texts[2] = {meas1Text, meas2Text};
    for (int which = 0; which < 2; ++which) {
        Trace& trace = m_traces[which];
        trace.on = on[which];
        if (!trace.on || trace.low) continue;
        trace.name = tr("Meas %1 %2").arg(which + 1).arg(texts[which]);
        for (QLineSeries** series : {&trace.low, &trace.high}) {
            *series = new QLineSeries;
            (*series)->setName(trace.name + (series == &trace.low ? tr(" low") : tr(" high")));
            SetLinePen(*series, TraceQColor(which), true);
            chart->addSeries(*series);
            (*series)->attachAxis(m_timeAxis);
            (*series)->attachAxis(m_valueAxis);
            // The legend names the measurements; the dashed lines explain themselves.
            HideLegendMarkers(chart, *series);
        }
        StartPiece(which);
    }
}

void MeasurementTrendChart::StartPiece(int which) {
    Trace& trace = m_traces[which];
    Piece piece;
    piece.series = new QLineSeries;
    piece.series->setName(trace.name);
    SetLinePen(piece.series, TraceQColor(which), false);
    piece.series->setColor(TraceQColor(which));
    piece.series->setMarkerSize(6);
    chart()->addSeries(piece.series);
    piece.series->attachAxis(m_timeAxis);
    piece.series->attachAxis(m_valueAxis);
    // One legend entry per measurement, however many pieces its line has.
    if (!trace.pieces.isEmpty()) HideLegendMarkers(chart(), piece.series);
    trace.pieces.append(piece);
}

QList<QPointF> MeasurementTrendChart::Points(int which) const {
    const Trace& trace = m_traces[which];
    return trace.pieces.isEmpty() ? QList<QPointF>() : trace.pieces.last().points;
}

bool MeasurementTrendChart::Append(Trace& trace, double seconds, uint16_t value) {
    QList<QPointF>& points = trace.pieces.last().points;
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
    // A piece wholly before the window goes; of the others one point before
    // the window stays, so the line enters from its edge. The first piece
    // keeps its series, which carries the legend entry.
    while (trace.pieces.size() > 1 && !trace.pieces.first().points.isEmpty() &&
           trace.pieces.first().points.last().x() < windowStart) {
        chart()->removeSeries(trace.pieces.first().series);
        delete trace.pieces.first().series;
        trace.pieces.removeFirst();
        for (QLegendMarker* marker : chart()->legend()->markers(trace.pieces.first().series))
            marker->setVisible(true);
    }
    for (Piece& piece : trace.pieces) {
        QList<QPointF>& points = piece.points;
        int drop = 0;
        while (drop + 1 < points.size() && points[drop + 1].x() <= windowStart) ++drop;
        if (drop > 0) points.remove(0, drop);
        if (points.size() == 1 && points.first().x() < windowStart) points.clear();
    }
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
        if (m_breakNext && !trace.pieces.last().points.isEmpty()) StartPiece(which);
        m_pending = Append(trace, seconds, values[which]) || m_pending;
        if (stats[which].low != trace.shownLow || stats[which].high != trace.shownHigh) {
            trace.shownLow = stats[which].low;
            trace.shownHigh = stats[which].high;
            m_pending = true;
        }
    }
    m_breakNext = false;
    const uint32_t since = timeMs - m_lastRedrawMs;
    if (m_redraws == 0 || (m_pending && since >= kMinRedrawIntervalMs) ||
        since >= kScrollIntervalMs)
        Redraw();
}

void MeasurementTrendChart::AddFailedScan(uint32_t timeMs) {
    if (!m_started) {
        m_started = true;
        m_startMs = timeMs;
    }
    m_nowMs = timeMs;
    m_failures.append((timeMs - m_startMs) / 1000.0);
    // The line does not go on across the scan that did not come.
    m_breakNext = true;
    m_pending = true;
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
        for (Piece& piece : trace.pieces) {
            QList<QPointF> shifted;
            shifted.reserve(piece.points.size());
            for (const QPointF& point : piece.points) {
                shifted.append(QPointF(point.x() - now, point.y()));
                top = std::max(top, point.y());
            }
            // A piece of one scan (a Step) has no line to show: a dot does.
            piece.series->setPointsVisible(piece.points.size() == 1);
            piece.series->replace(shifted);
        }
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
    while (!m_failures.isEmpty() && m_failures.first() < now - kWindowSeconds) m_failures.removeFirst();
    QList<QPointF> failed;
    for (const double at : m_failures) failed.append(QPointF(at - now, 0));
    m_failedSeries->replace(failed);
    for (QLegendMarker* marker : chart()->legend()->markers(m_failedSeries)) marker->setVisible(!failed.isEmpty());
    const double ceiling = NiceCeiling(top * 1.1);
    if (ceiling != m_valueAxis->max()) {
        m_valueAxis->setRange(0, ceiling);
        m_valueAxis->setTickInterval(ceiling / 5);
    }
}
