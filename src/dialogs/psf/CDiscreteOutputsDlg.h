#pragma once

#include <QDialog>

#include "model/CPsfRecord.h"

class CSpreadSheet;
class QComboBox;
class QLabel;
class QPushButton;
class QSpacerItem;

// "Edit Discrete Outputs": the sixteen discrete outputs of a parameter set in
// a grid (source list, set point low and high, hysteresis low and high) and
// the scan count. Values are corrected as the user leaves a cell, with a
// beep; the rows of outputs that use fewer values are locked in grey.
//
// Enter and Escape leave the dialog open: only "OK" and "Cancel" end it.
class CDiscreteOutputsDlg : public QDialog {
    Q_OBJECT

  public:
    explicit CDiscreteOutputsDlg(QWidget* parent);

    // Set before the dialog runs, read after it ended with OK.
    void SetOutputs(const DiscreteOutput outputs[kDiscreteOutputCount]);
    void GetOutputs(DiscreteOutput outputs[kDiscreteOutputCount]) const;
    void SetScanCount(int count) { m_scanCount = count; }
    int ScanCount() const { return m_scanCount; }

    CSpreadSheet* Grid() const { return m_grid; }

    // The grid's notifications.
    void OnLeaveCell(int col, int row, int newCol, int newRow, bool& cancel);
    void OnListCellChanged(int col, int row, short selection, bool changed);
    void OnAdvance(bool next);

    void OnOk();
    void OnCancel();
    void accept() override;
    void reject() override;

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void Initialise();
    void WriteRow(int row, const DiscreteOutput& output);
    DiscreteOutput ReadRow(int row) const;
    int32_t SourceOfRow(int row) const;
    void ApplyLockRule(int row);
    void FitGridToRows();
    void PlaceGroupCaptions();
    void SpreadColumns();

    DiscreteOutput m_outputs[kDiscreteOutputCount];
    int m_scanCount = 1;
    bool m_initialised = false;
    CSpreadSheet* m_grid;
    QLabel* m_setPointCaption;
    QLabel* m_hysteresisCaption;
    QSpacerItem* m_captionIndent;  // the captions start above the set point columns
    QComboBox* m_scanList;
    QPushButton* m_ok;
    QPushButton* m_cancel;
};
