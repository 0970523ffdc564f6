#pragma once

#include <QWidget>
#include <optional>
#include <vector>

#include "model/BeamText.h"
#include "model/BlockedHistory.h"

// One cell per channel for the whole curtain, from the scan the alignment
// grid shows: made green, blocked red, blanked grey. Under each cell a mark
// stays once the beam was blocked in any scan since the marks were cleared,
// so a beam that flickers while the bars are lined up is seen even when the
// latest scan has it made. The owner feeds it only when the grid changes.
class CBeamStrip : public QWidget {
    Q_OBJECT

  public:
    explicit CBeamStrip(QWidget* parent = nullptr);

    void SetChannelCount(int channelCount);
    int ChannelCount() const { return m_channelCount; }
    // Blanked channels show grey only with marks, as in the grid.
    void ShowScan(const CBeamBitScan& scan, const CBlankingMap& map, bool marks);
    void ClearMarks();
    // Empties the cells, as the grid's beam column after a scan that failed;
    // the marks stay.
    void ClearScan();

    // What the cell of a channel shows; nothing before the first scan.
    std::optional<BeamLook> LookAt(int channel) const;
    bool MarkedAt(int channel) const { return m_history.WasBlocked(channel); }
    int ScansShown() const { return m_scansShown; }
    // The channel under x, or -1.
    int ChannelAt(int x) const;
    QString ToolTipAt(int channel) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    int CellLeft(int channel) const;

    int m_channelCount = 0;
    std::vector<std::optional<BeamLook>> m_looks;
    BlockedHistory m_history;
    int m_scansShown = 0;
};
