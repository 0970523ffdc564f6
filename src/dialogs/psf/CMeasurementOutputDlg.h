#pragma once

#include <QDialog>
#include <QString>
#include <memory>

#include "model/MeasurementStatistics.h"

class CControllerLink;
class CMeasurementScan;
class CSpreadSheet;
class MeasurementTrendChart;
class QPushButton;

// "Measurement Output": the live results of the parameter set being tried
// out, one request at a time. For each measurement that is on it shows the
// analysis mode and the lowest, highest and present value; below, a trend of
// the last minute.
//
// Idle: Run, Step and Exit enabled. Running: only Stop. Run loops inside its
// click handler and registers the dialog as the waiting dialog, so that the
// serial layer's event pump delivers the click on Stop between two reads;
// Stop only clears the flag the loop tests after each exchange. Escape and
// closing are ignored while Running.
class StaleScanMarker;

class CMeasurementOutputDlg : public QDialog {
    Q_OBJECT

  public:
    CMeasurementOutputDlg(CControllerLink* link, QWidget* parent);
    ~CMeasurementOutputDlg() override;

    // Set by the creator before the dialog runs.
    void SetMeasTexts(const QString& meas1, const QString& meas2);
    // 0 only measurement 1 is on, 1 only measurement 2, 2 both.
    void SetSelector(int selector) { m_selector = selector; }

    int Selector() const { return m_selector; }
    bool IsRunning() const { return m_running; }
    const MeasurementStatistics& Statistics(int which) const { return m_stats[which]; }
    MeasurementTrendChart* Chart() const { return m_chart; }

    void OnRun();
    void OnStop();
    void OnStep();
    void reject() override;

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    enum class State { Idle, Running };

    void ApplyState(State state);
    void ClearValueCells();
    void ShowScan(const CMeasurementScan& scan);

    CControllerLink* m_link;
    QString m_meas1Text;
    QString m_meas2Text;
    int m_selector = 2;
    MeasurementStatistics m_stats[2];
    bool m_running = false;
    bool m_opened = false;

    CSpreadSheet* m_grid;
    MeasurementTrendChart* m_chart;
    // Greys the grid and the chart when the line failed after their scan.
    std::unique_ptr<StaleScanMarker> m_stale;
    QPushButton* m_run;
    QPushButton* m_stop;
    QPushButton* m_step;
    QPushButton* m_exit;
};
