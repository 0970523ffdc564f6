#pragma once

#include <QDialog>

class CDiagnosticsCommand;
class CSpreadSheet;
class QGridLayout;
class QLabel;
class QPushButton;

// The "Diagnostics" dialog: the record of its command, shown field by field
// and as a table of boards; "&Refresh" reads the block again through the
// command and shows whatever the record then holds.
class CDiagnosticsDlg : public QDialog {
    Q_OBJECT

  public:
    CDiagnosticsDlg(CDiagnosticsCommand* command, QWidget* parent);

    // Fills every field and the board table from the command's record.
    void Fill();
    void OnRefresh();

  private:
    QLabel* AddField(QGridLayout* layout, int row, const QString& label, const QString& initialText,
                     const char* name);

    CDiagnosticsCommand* m_command;
    QLabel* m_systemState;
    QLabel* m_emitterBoards;
    QLabel* m_receiverBoards;
    QLabel* m_partNumber;
    QLabel* m_dateCode;
    QLabel* m_firmwareVersion;
    CSpreadSheet* m_grid;
    QPushButton* m_exit;
    QPushButton* m_refresh;
};
