#include "dialogs/psf/CMeasurementOutputDlg.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QVBoxLayout>

#include "dialogs/psf/MeasurementTrendChart.h"
#include "grid/CSpreadSheet.h"
#include "model/PsfExecuteRules.h"
#include "model/ScanReply.h"
#include "platform/Clock.h"
#include "platform/EventPump.h"
#include "platform/UiServices.h"
#include "protocol/CControllerLink.h"

namespace {

// Which buttons each state enables: Run, Stop, Step, Exit.
struct ButtonStates {
    bool run, stop, step, exit;
};
constexpr ButtonStates kIdleButtons{true, false, true, true};
constexpr ButtonStates kRunningButtons{false, true, false, false};

constexpr int kValueColumns = 3;  // Low, High, Present

QPushButton* MakeButton(const QString& text, const char* name) {
    auto* button = new QPushButton(text);
    button->setObjectName(name);
    return button;
}

}  // namespace

CMeasurementOutputDlg::CMeasurementOutputDlg(CControllerLink* link, QWidget* parent)
    : QDialog(parent), m_link(link) {
    setWindowTitle(tr("Measurement Output"));
    setModal(true);
    // No close box: the dialog ends through Exit (or Escape while Idle).
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);

    m_grid = new CSpreadSheet;
    m_grid->setObjectName("measurementGrid");
    m_grid->SetRowCount(2);
    m_grid->SetColumnHeadings({tr("Measurement"), tr("Low"), tr("High"), tr("Present")});
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->verticalHeader()->hide();
    m_grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    m_grid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_grid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_grid->setFixedHeight(m_grid->horizontalHeader()->sizeHint().height() +
                           2 * m_grid->verticalHeader()->defaultSectionSize() +
                           2 * m_grid->frameWidth());

    m_chart = new MeasurementTrendChart;
    m_chart->setObjectName("trendChart");

    m_run = MakeButton(tr("&Run"), "runButton");
    m_stop = MakeButton(tr("&Stop"), "stopButton");
    m_step = MakeButton(tr("S&tep"), "stepButton");
    m_exit = MakeButton(tr("E&xit"), "exitButton");
    m_exit->setDefault(true);
    m_stop->setEnabled(false);
    auto* buttons = new QVBoxLayout;
    for (QPushButton* button : {m_run, m_stop, m_step, m_exit}) buttons->addWidget(button);
    buttons->addStretch();

    auto* left = new QVBoxLayout;
    left->addWidget(m_grid);
    left->addWidget(m_chart, 1);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left, 1);
    layout->addLayout(buttons);
    resize(560, 380);

    connect(m_run, &QPushButton::clicked, this, &CMeasurementOutputDlg::OnRun);
    connect(m_stop, &QPushButton::clicked, this, &CMeasurementOutputDlg::OnStop);
    connect(m_step, &QPushButton::clicked, this, &CMeasurementOutputDlg::OnStep);
    connect(m_exit, &QPushButton::clicked, this, &QDialog::accept);
}

void CMeasurementOutputDlg::SetMeasTexts(const QString& meas1, const QString& meas2) {
    m_meas1Text = meas1;
    m_meas2Text = meas2;
}

void CMeasurementOutputDlg::showEvent(QShowEvent* event) {
    if (!m_opened) {
        m_opened = true;
        m_grid->SetCellText(1, 1, m_meas1Text);
        m_grid->SetCellText(1, 2, m_meas2Text);
        ClearValueCells();
        m_chart->SetMeasurements(m_selector, m_meas1Text, m_meas2Text);
    }
    QDialog::showEvent(event);
}

void CMeasurementOutputDlg::ApplyState(State state) {
    const ButtonStates& buttons = state == State::Running ? kRunningButtons : kIdleButtons;
    m_run->setEnabled(buttons.run);
    m_stop->setEnabled(buttons.stop);
    m_step->setEnabled(buttons.step);
    m_exit->setEnabled(buttons.exit);
}

void CMeasurementOutputDlg::ClearValueCells() {
    m_grid->SetBlock(1, 2, 2, 1 + kValueColumns);
    m_grid->SetBlockMode(true);
    m_grid->SetText(QString());
    m_grid->SetBlockMode(false);
}

void CMeasurementOutputDlg::ShowScan(const CMeasurementScan& scan) {
    UpdateStatistics(m_selector, scan, m_stats);
    m_grid->SetRedraw(false);
    for (int which = 0; which < 2; ++which) {
        const bool shown = which == 0 ? SelectorShowsMeas1(m_selector) : SelectorShowsMeas2(m_selector);
        if (!shown) continue;
        const MeasurementStatistics& stats = m_stats[which];
        const int row = which + 1;
        // "%d" of the 32-bit low, as the system has always shown it.
        m_grid->SetCellText(2, row, QString::number(static_cast<int32_t>(stats.low)));
        m_grid->SetCellText(3, row, QString::number(stats.high));
        m_grid->SetCellText(4, row, QString::number(stats.present));
    }
    m_grid->SetRedraw(true);
}

void CMeasurementOutputDlg::OnRun() {
    ApplyState(State::Running);
    m_stop->setFocus();
    SetWaitingDialog(this);
    m_running = true;
    ClearValueCells();
    m_stats[0].Reset();
    m_stats[1].Reset();

    CMeasurementScan previous(m_selector);
    CMeasurementScan current(m_selector);
    bool first = true;
    m_chart->BeginRun();
    while (m_running) {
        if (!m_link || !m_link->RequestScan(current)) {
            m_chart->AddFailedScan(GetClock().TickMs());
            m_chart->Flush();
            Ui().MessageBox("Could not input scan", MsgButtons::Ok, MsgIcon::Exclamation);
            m_running = false;
            break;
        }
        // An unchanged measurement leaves the grid alone.
        if (first || current != previous) ShowScan(current);
        m_chart->AddScan(GetClock().TickMs(), current, m_stats);
        previous = current;
        first = false;
    }

    m_chart->Flush();
    SetWaitingDialog(nullptr);
    ApplyState(State::Idle);
    m_run->setFocus();
}

void CMeasurementOutputDlg::OnStop() { m_running = false; }

void CMeasurementOutputDlg::OnStep() {
    CMeasurementScan scan(m_selector);
    // A Step stands apart from whatever was scanned before it.
    m_chart->BeginRun();
    if (!m_link || !m_link->RequestScan(scan)) {
        m_chart->AddFailedScan(GetClock().TickMs());
        m_chart->Flush();
        Ui().MessageBox("Could not input scan", MsgButtons::Ok, MsgIcon::Exclamation);
        return;
    }
    ShowScan(scan);
    m_chart->AddScan(GetClock().TickMs(), scan, m_stats);
    m_chart->Flush();
}

void CMeasurementOutputDlg::reject() {
    // The loop must end through Stop: closing now would leave it running.
    if (!m_running) QDialog::reject();
}

void CMeasurementOutputDlg::closeEvent(QCloseEvent* event) {
    if (m_running)
        event->ignore();
    else
        QDialog::closeEvent(event);
}
