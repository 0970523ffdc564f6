#include "dialogs/alignment/CBeamStrip.h"

#include <QHelpEvent>
#include <QPainter>
#include <QToolTip>
#include <algorithm>

namespace {

constexpr int kCellHeight = 16;
constexpr int kMarkGap = 2;
constexpr int kMarkHeight = 4;
constexpr int kRowGap = 5;
constexpr int kRowHeight = kCellHeight + kMarkGap + kMarkHeight + kRowGap;
constexpr int kLegendGap = 4;

Rgb ToRgb(const QColor& colour) {
    return {static_cast<uint8_t>(colour.red()), static_cast<uint8_t>(colour.green()),
            static_cast<uint8_t>(colour.blue())};
}

QColor ToQColor(Rgb colour) { return QColor(colour.r, colour.g, colour.b); }

// A cell as the strip draws it; the legend draws its samples the same way.
void PaintCell(QPainter& painter, const QRect& rect, const std::optional<BeamLook>& look,
               const BeamColours& colours) {
    if (!look) {
        painter.fillRect(rect, ToQColor(colours.unknown));
        return;
    }
    switch (*look) {
        case BeamLook::Made:
            painter.fillRect(rect, ToQColor(colours.made));
            break;
        case BeamLook::Blocked: {
            painter.fillRect(rect, ToQColor(colours.blocked));
            // The cross says "blocked" without the colour.
            painter.save();
            painter.setRenderHint(QPainter::Antialiasing, true);
            painter.setPen(QPen(ToQColor(colours.cross), rect.width() >= 9 ? 1.6 : 1.1));
            const QRectF inner = QRectF(rect).adjusted(1, 2, -1, -2);
            painter.drawLine(inner.topLeft(), inner.bottomRight());
            painter.drawLine(inner.bottomLeft(), inner.topRight());
            painter.restore();
            break;
        }
        case BeamLook::Blanked:
            painter.fillRect(rect, ToQColor(colours.blanked));
            painter.fillRect(rect, QBrush(ToQColor(colours.hatch), Qt::BDiagPattern));
            break;
    }
}

}  // namespace

struct CBeamStrip::Geometry {
    int gutter = 0;   // room for the channel number of each row
    int perRow = 0;
    int rows = 0;
    int left = 0;
    int span = 0;     // width the cells of one row share
};

CBeamStrip::CBeamStrip(QWidget* parent) : QWidget(parent) {
    QSizePolicy policy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
}

void CBeamStrip::SetChannelCount(int channelCount) {
    m_channelCount = std::max(channelCount, 0);
    m_looks.assign(static_cast<std::size_t>(m_channelCount), std::nullopt);
    m_history.Clear(m_channelCount);
    updateGeometry();
    update();
}

void CBeamStrip::ShowScan(const CBeamBitScan& scan, const CBlankingMap& map, bool marks) {
    const int scanned = std::min(ScannedChannels(scan), m_channelCount);
    for (int c = 0; c < scanned; ++c) m_looks[static_cast<std::size_t>(c)] = LookOf(scan, map, c, marks);
    m_history.Add(scan);
    ++m_scansShown;
    m_stale = false;
    update();
}

void CBeamStrip::SetStale(bool stale) {
    if (stale == m_stale) return;
    m_stale = stale;
    update();
}

void CBeamStrip::ClearMarks() {
    m_history.Clear(m_channelCount);
    update();
}

void CBeamStrip::ClearScan() {
    m_looks.assign(m_looks.size(), std::nullopt);
    update();
}

std::optional<BeamLook> CBeamStrip::LookAt(int channel) const {
    if (channel < 0 || channel >= m_channelCount) return std::nullopt;
    return m_looks[static_cast<std::size_t>(channel)];
}

CBeamStrip::Geometry CBeamStrip::LayoutFor(int width) const {
    Geometry g;
    if (m_channelCount <= 0) return g;
    if (width >= m_channelCount * kWideCell || m_channelCount <= kRowOfBeams) {
        g.perRow = m_channelCount;
    } else {
        g.perRow = kRowOfBeams;
        g.gutter = fontMetrics().horizontalAdvance(QString::number(m_channelCount)) + 6;
    }
    g.rows = (m_channelCount + g.perRow - 1) / g.perRow;
    g.left = g.gutter;
    g.span = std::max(width - g.gutter, g.perRow * kMinCell);
    return g;
}

QRect CBeamStrip::CellRect(const Geometry& g, int channel) const {
    const int row = channel / g.perRow;
    const int col = channel % g.perRow;
    const int left = g.left + col * g.span / g.perRow;
    const int right = g.left + (col + 1) * g.span / g.perRow;
    // A one-pixel gap between cells when they are wide enough to spare it.
    const int drawn = right - left >= 4 ? right - left - 1 : right - left;
    return QRect(left, row * kRowHeight, std::max(drawn, 1), kCellHeight);
}

int CBeamStrip::BeamsPerRow() const { return LayoutFor(width()).perRow; }

int CBeamStrip::CellWidth() const {
    const Geometry g = LayoutFor(width());
    return g.perRow > 0 ? g.span / g.perRow : 0;
}

BeamColours CBeamStrip::Colours() const {
    return ChooseBeamColours(ToRgb(palette().color(QPalette::Window)),
                             ToRgb(palette().color(QPalette::WindowText)));
}

int CBeamStrip::ChannelAt(QPoint point) const {
    const Geometry g = LayoutFor(width());
    if (g.perRow <= 0 || point.x() < g.left || point.y() < 0) return -1;
    const int row = point.y() / kRowHeight;
    if (row >= g.rows) return -1;
    const int col = static_cast<int>(static_cast<long long>(point.x() - g.left) * g.perRow / g.span);
    const int channel = row * g.perRow + std::min(col, g.perRow - 1);
    return channel < m_channelCount ? channel : -1;
}

QString CBeamStrip::ToolTipAt(int channel) const {
    if (channel < 0 || channel >= m_channelCount) return QString();
    QString text = tr("Channel %1").arg(channel + 1);
    if (const std::optional<BeamLook> look = LookAt(channel)) {
        text += *look == BeamLook::Made      ? tr(": made")
                : *look == BeamLook::Blocked ? tr(": blocked")
                                             : tr(": blanked");
    }
    if (MarkedAt(channel)) text += tr("\nwas blocked since Start");
    return text;
}

int CBeamStrip::heightForWidth(int width) const {
    const Geometry g = LayoutFor(width);
    return std::max(g.rows, 1) * kRowHeight + kLegendGap + fontMetrics().height();
}

QSize CBeamStrip::sizeHint() const { return {480, heightForWidth(480)}; }

QSize CBeamStrip::minimumSizeHint() const {
    const int perRow = std::min(std::max(m_channelCount, 1), kRowOfBeams);
    const int gutter = m_channelCount > kRowOfBeams
                           ? fontMetrics().horizontalAdvance(QString::number(m_channelCount)) + 6
                           : 0;
    const int width = gutter + perRow * kMinCell;
    return {width, heightForWidth(width)};
}

bool CBeamStrip::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const QString text = ToolTipAt(ChannelAt(help->pos()));
        if (text.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), text, this);
        return true;
    }
    if (event->type() == QEvent::PaletteChange) update();
    return QWidget::event(event);
}

void CBeamStrip::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const BeamColours colours = Colours();
    const Geometry g = LayoutFor(width());
    const QColor muted = palette().color(QPalette::PlaceholderText);
    for (int c = 0; c < m_channelCount; ++c) {
        const QRect cell = CellRect(g, c);
        if (g.gutter > 0 && c % g.perRow == 0) {
            painter.setPen(muted);
            painter.drawText(QRect(0, cell.top(), g.gutter - 4, cell.height()),
                             Qt::AlignRight | Qt::AlignVCenter, QString::number(c + 1));
        }
        PaintCell(painter, cell, m_looks[static_cast<std::size_t>(c)], colours);
        if (m_history.WasBlocked(c))
            painter.fillRect(cell.left(), cell.bottom() + 1 + kMarkGap, cell.width(), kMarkHeight,
                             ToQColor(colours.mark));
    }
    if (m_stale) {
        QColor veil = ToQColor(colours.stale);
        veil.setAlpha(150);
        painter.fillRect(QRect(0, 0, width(), std::max(g.rows, 1) * kRowHeight), veil);
    }
    PaintLegend(painter, colours, std::max(g.rows, 1) * kRowHeight + kLegendGap - kRowGap);
}

void CBeamStrip::PaintLegend(QPainter& painter, const BeamColours& colours, int top) const {
    const QFontMetrics metrics = fontMetrics();
    const int sample = metrics.height() - 4;
    int x = 0;
    const auto entry = [&](const std::optional<BeamLook>& look, bool mark, const QString& text) {
        const QRect swatch(x, top + 2, sample, sample);
        if (mark) {
            painter.fillRect(swatch.left(), swatch.bottom() - kMarkHeight + 1, swatch.width(), kMarkHeight,
                             ToQColor(colours.mark));
        } else {
            PaintCell(painter, swatch, look, colours);
        }
        x = swatch.right() + 5;
        painter.setPen(palette().color(QPalette::WindowText));
        painter.drawText(QPoint(x, top + metrics.ascent()), text);
        x += metrics.horizontalAdvance(text) + 14;
    };
    entry(BeamLook::Made, false, tr("Made"));
    entry(BeamLook::Blocked, false, tr("Blocked"));
    entry(BeamLook::Blanked, false, tr("Blanked"));
    entry(std::nullopt, true, tr("Was blocked since Start"));
}
