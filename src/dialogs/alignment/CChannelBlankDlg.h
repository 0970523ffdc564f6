#pragma once

#include <QDialog>

#include "model/CBlankingMap.h"

class CControllerCommand;
class CControllerLink;
class CSpreadSheet;
class QLabel;
class QPushButton;

// "Edit Channel Blank State": one check box per channel, 16 to a row (a
// shorter last row when the channel count is not a multiple of 16); checked
// means blanked. OK sends the edited map to the controller when it differs
// from the one the editor opened with, and stays open with the edits kept
// when that fails. Cancel sends nothing.
class CChannelBlankDlg : public QDialog {
    Q_OBJECT

  public:
    explicit CChannelBlankDlg(QWidget* parent);

    // Set by the opener before the dialog runs.
    void SetMap(const CBlankingMap& map) { m_map = map; }
    void SetChannelCount(int channelCount) { m_channelCount = channelCount; }
    void SetLink(CControllerLink* link) { m_link = link; }
    // With a command context, OK's write is recorded and read back.
    void SetCommand(CControllerCommand* command) { m_command = command; }
    // After OK: the edited map.
    const CBlankingMap& Map() const { return m_map; }

  public slots:
    void OnSelectAll();
    void OnBlankSelected() { SetSelected("1"); }
    void OnClearSelected() { SetSelected("0"); }
    void accept() override;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void InitDialog();
    void FitGridToRows();
    void SetSelected(const QString& text);
    // Cells of the last row beyond the last channel stay locked and empty.
    void EmptyCellsWithoutChannel();
    CBlankingMap CollectMap();

    CBlankingMap m_map;
    CBlankingMap m_openingMap;
    CControllerLink* m_link = nullptr;
    CControllerCommand* m_command = nullptr;
    int m_channelCount = 0;
    int m_rowCount = 0;
    bool m_initialised = false;

    CSpreadSheet* m_grid = nullptr;
    QLabel* m_currentChannel = nullptr;
};
