#include "dialogs/diagnostics/CDiagnosticsDlg.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "dialogs/diagnostics/CDiagnosticsCommand.h"
#include "dialogs/diagnostics/DiagnosticsView.h"
#include "grid/CSpreadSheet.h"
#include "platform/UiServices.h"

namespace {

QString ToQt(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

CDiagnosticsDlg::CDiagnosticsDlg(CDiagnosticsCommand* command, QWidget* parent)
    : QDialog(parent), m_command(command) {
    setWindowTitle(tr("Diagnostics"));
    setModal(true);

    auto* fields = new QGridLayout;
    fields->setColumnStretch(1, 1);
    m_systemState = AddField(fields, 0, tr("System State:"), tr("No Response from Emit and Rcv"),
                             "systemState");
    m_emitterBoards =
        AddField(fields, 1, tr("Number Of Emitter Boards:"), tr("Emit Value"), "emitterBoards");
    m_receiverBoards =
        AddField(fields, 2, tr("Number Of Receiver Boards:"), tr("Rcv Value"), "receiverBoards");
    m_partNumber = AddField(fields, 3, tr("Part Number:"), tr("Static"), "partNumber");
    m_dateCode = AddField(fields, 4, tr("Date Code:"), tr("Static"), "dateCode");
    m_firmwareVersion =
        AddField(fields, 5, tr("Firmware Version:"), tr("Static"), "firmwareVersion");

    m_exit = new QPushButton(tr("&Exit"));
    m_exit->setObjectName("exitButton");
    m_exit->setDefault(true);
    m_refresh = new QPushButton(tr("&Refresh"));
    m_refresh->setObjectName("refreshButton");
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(m_exit);
    buttons->addWidget(m_refresh);
    buttons->addStretch();

    auto* top = new QHBoxLayout;
    top->addLayout(fields, 1);
    top->addSpacing(12);
    top->addLayout(buttons);

    // The table's own set-up: four read-only columns, board numbers in the
    // first column rather than in row headings.
    m_grid = new CSpreadSheet;
    m_grid->setObjectName("boardGrid");
    m_grid->SetColumnHeadings({tr("Board"), tr("Channels"), tr("Bar"), tr("Error")});
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->verticalHeader()->hide();
    m_grid->horizontalHeader()->setStretchLastSection(true);
    m_grid->setColumnWidth(0, 60);
    m_grid->setColumnWidth(1, 80);
    m_grid->setColumnWidth(2, 50);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_grid, 1);
    resize(520, 360);

    connect(m_exit, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_refresh, &QPushButton::clicked, this, &CDiagnosticsDlg::OnRefresh);
    // Tab on the last cell and Shift+Tab on the first leave the table.
    connect(m_grid, &CSpreadSheet::advance, m_grid, &CSpreadSheet::FocusNeighbour);

    Fill();
}

QLabel* CDiagnosticsDlg::AddField(QGridLayout* layout, int row, const QString& label,
                                  const QString& initialText, const char* name) {
    auto* value = new QLabel(initialText);
    value->setObjectName(name);
    value->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(new QLabel(label), row, 0);
    layout->addWidget(value, row, 1);
    return value;
}

void CDiagnosticsDlg::Fill() {
    const DiagnosticsView view = MakeDiagnosticsView(m_command->Record());
    m_systemState->setText(ToQt(view.systemState));
    m_emitterBoards->setText(ToQt(view.emitterBoards));
    m_receiverBoards->setText(ToQt(view.receiverBoards));
    m_partNumber->setText(ToQt(view.partNumber));
    m_dateCode->setText(ToQt(view.dateCode));
    m_firmwareVersion->setText(ToQt(view.firmwareVersion));

    m_grid->SetRedraw(false);
    m_grid->SetRowCount(int(view.boards.size()));
    int row = 1;
    for (const DiagnosticsBoardRow& board : view.boards) {
        m_grid->SetRow(row++);
        const std::string* columns[] = {&board.board, &board.channels, &board.bar, &board.error};
        for (int col = 1; col <= 4; ++col) {
            m_grid->SetCol(col);
            m_grid->SetText(ToQt(*columns[col - 1]));
        }
    }
    m_grid->SetRedraw(true);
}

void CDiagnosticsDlg::OnRefresh() {
    Ui().BeginWaitCursor();
    m_command->ReadDiagnostics();  // reports its own failure
    // Refilled either way: a failed read leaves the record as it was.
    Fill();
    Ui().EndWaitCursor();
}
