#pragma once

#include <QWidget>
#include <optional>
#include <vector>

#include "model/BeamText.h"
#include "model/BlockedHistory.h"
#include "model/DrawingColours.h"

// One cell per channel for the whole curtain, from the scan the alignment
// grid shows: made blue, blocked amber with a cross, blanked grey with
// stripes. Under each cell a mark stays once the beam was blocked in any
// scan since the marks were cleared, so a beam that flickers while the bars
// are lined up is seen even when the latest scan has it made. A small
// legend says so beneath. The owner feeds it only when the grid changes.
//
// The colours follow the window's palette (see DrawingColours.h). The cells
// fill one row while they are at least kWideCell pixels wide; beyond that
// they wrap into rows of kRowOfBeams, and a cell is never narrower than
// kMinCell: the strip asks for that width.
class CBeamStrip : public QWidget {
    Q_OBJECT

  public:
    static constexpr int kRowOfBeams = 48;
    static constexpr int kWideCell = 10;
    static constexpr int kMinCell = 6;

    explicit CBeamStrip(QWidget* parent = nullptr);

    void SetChannelCount(int channelCount);
    int ChannelCount() const { return m_channelCount; }
    // Blanked channels show grey only with marks, as in the grid.
    void ShowScan(const CBeamBitScan& scan, const CBlankingMap& map, bool marks);
    void ClearMarks();
    // Empties the cells, as the grid's beam column after a scan that failed;
    // the marks stay.
    void ClearScan();
    // The cells show the last scan that came, no longer live (the scan
    // after it failed): veiled with the window's colour until the next scan.
    void SetStale(bool stale);
    bool Stale() const { return m_stale; }

    // What the cell of a channel shows; nothing before the first scan.
    std::optional<BeamLook> LookAt(int channel) const;
    bool MarkedAt(int channel) const { return m_history.WasBlocked(channel); }
    const BlockedHistory& History() const { return m_history; }
    int ScansShown() const { return m_scansShown; }
    // The channel under a point, or -1.
    int ChannelAt(QPoint point) const;
    QString ToolTipAt(int channel) const;
    // Beams in one row at the present width, and the narrowest cell.
    int BeamsPerRow() const;
    int CellWidth() const;
    BeamColours Colours() const;

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    struct Geometry;
    Geometry LayoutFor(int width) const;
    QRect CellRect(const Geometry& geometry, int channel) const;
    void PaintLegend(QPainter& painter, const BeamColours& colours, int top) const;

    int m_channelCount = 0;
    std::vector<std::optional<BeamLook>> m_looks;
    BlockedHistory m_history;
    int m_scansShown = 0;
    bool m_stale = false;
};
