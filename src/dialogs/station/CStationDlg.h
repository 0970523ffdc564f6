#pragma once

#include <QDialog>
#include <memory>
#include <optional>
#include <string>

#include "station/Recipe.h"
#include "station/StationWorker.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;
class QFrame;

// "Production Station": programs one unit after another on the port the
// main window uses, with the recipe the operator chose, and shows the last
// result big enough to read from across the bench: PASS on green or FAIL on
// red, the word itself carrying the meaning for those who cannot tell the
// colours apart, and the reason below it. Today's counts and the last 20
// units of this station come from the production log.
//
// The cycle runs on a worker thread of its own (the window stays live while
// the station waits for units); Stop ends it at the next step, and a unit
// stopped half-way says so in the panel and in its record.
class CStationDlg : public QDialog {
    Q_OBJECT
  public:
    // How the station reaches the unit on a device; tests give a simulated one.
    using UnitFactory = std::function<std::unique_ptr<UnitAccess>(const std::string& device, int comNumber)>;

    CStationDlg(QWidget* parent, int comNumber, UnitFactory factory = OpenUnitAccess);
    ~CStationDlg() override;

    bool Running() const;
    // What the panel shows: "PASS", "FAIL", "WAITING", ...; and the line below.
    QString PanelWord() const;
    QString PanelReason() const;
    int PassedToday() const { return m_passed; }
    int FailedToday() const { return m_failed; }

    void reject() override;

  signals:
    // A unit was recorded (or only spooled) and is on screen.
    void unitShown();
    // The worker ended after Stop.
    void stopped();

  private:
    class Observer;

    void ChooseRecipe();
    bool LoadRecipeFile(const std::string& path);
    void StartStation();
    void StopStation();
    void ShowPanel(const QString& word, const QString& reason, const QString& tone);
    void ShowUnit(const UnitOutcome& outcome, const RecordOutcome& logged);
    void ShowLogState(const QString& text);
    void ReadLog();
    void AddRecentRow(const UnitRecord& unit, int row);
    void UpdateButtons();
    void ShowCounts();

    int m_comNumber;
    std::string m_device;
    UnitFactory m_factory;
    std::optional<StationRecipe> m_recipe;
    std::optional<LogTarget> m_log;
    std::unique_ptr<Observer> m_observer;
    StationWorker m_worker;
    int m_passed = 0;
    int m_failed = 0;

    QLineEdit* m_recipePath;
    QPushButton* m_browse;
    QLabel* m_deviceLabel;
    QLineEdit* m_operator;
    QLabel* m_logLabel;
    QFrame* m_panel;
    QLabel* m_word;
    QLabel* m_reason;
    QLabel* m_counts;
    QTableWidget* m_recent;
    QPushButton* m_start;
    QPushButton* m_stop;
    QPushButton* m_close;
};
