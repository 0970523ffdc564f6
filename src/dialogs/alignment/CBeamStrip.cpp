#include "dialogs/alignment/CBeamStrip.h"

#include <QHelpEvent>
#include <QPainter>
#include <QToolTip>
#include <algorithm>

namespace {

constexpr int kCellHeight = 14;
constexpr int kMarkGap = 2;
constexpr int kMarkHeight = 4;

QColor ColourOf(const std::optional<BeamLook>& look) {
    if (!look) return QColor(0xE4, 0xE4, 0xE4);
    switch (*look) {
        case BeamLook::Made:
            return QColor(0x2E, 0xA0, 0x44);
        case BeamLook::Blocked:
            return QColor(0xD8, 0x2C, 0x2C);
        case BeamLook::Blanked:
            break;
    }
    return QColor(0xA0, 0xA0, 0xA0);
}

}  // namespace

CBeamStrip::CBeamStrip(QWidget* parent) : QWidget(parent) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void CBeamStrip::SetChannelCount(int channelCount) {
    m_channelCount = std::max(channelCount, 0);
    m_looks.assign(static_cast<std::size_t>(m_channelCount), std::nullopt);
    m_history.Clear(m_channelCount);
    update();
}

void CBeamStrip::ShowScan(const CBeamBitScan& scan, const CBlankingMap& map, bool marks) {
    const int scanned = std::min(ScannedChannels(scan), m_channelCount);
    for (int c = 0; c < scanned; ++c) m_looks[static_cast<std::size_t>(c)] = LookOf(scan, map, c, marks);
    m_history.Add(scan);
    ++m_scansShown;
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

int CBeamStrip::CellLeft(int channel) const {
    return m_channelCount > 0 ? channel * width() / m_channelCount : 0;
}

int CBeamStrip::ChannelAt(int x) const {
    if (m_channelCount <= 0 || x < 0 || x >= width()) return -1;
    // The cell whose span [CellLeft(c), CellLeft(c + 1)) holds x.
    int channel = static_cast<int>(static_cast<long long>(x) * m_channelCount / width());
    while (channel > 0 && CellLeft(channel) > x) --channel;
    while (channel + 1 < m_channelCount && CellLeft(channel + 1) <= x) ++channel;
    return channel;
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

QSize CBeamStrip::sizeHint() const { return {400, kCellHeight + kMarkGap + kMarkHeight}; }

QSize CBeamStrip::minimumSizeHint() const { return {64, kCellHeight + kMarkGap + kMarkHeight}; }

bool CBeamStrip::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const QString text = ToolTipAt(ChannelAt(help->pos().x()));
        if (text.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), text, this);
        return true;
    }
    return QWidget::event(event);
}

void CBeamStrip::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QColor markColour(0x80, 0x10, 0x10);
    for (int c = 0; c < m_channelCount; ++c) {
        const int left = CellLeft(c);
        const int cellWidth = std::max(CellLeft(c + 1) - left, 1);
        // A one-pixel gap between cells when they are wide enough to spare it.
        const int drawn = cellWidth >= 4 ? cellWidth - 1 : cellWidth;
        painter.fillRect(left, 0, drawn, kCellHeight, ColourOf(m_looks[static_cast<std::size_t>(c)]));
        if (m_history.WasBlocked(c))
            painter.fillRect(left, kCellHeight + kMarkGap, drawn, kMarkHeight, markColour);
    }
}
