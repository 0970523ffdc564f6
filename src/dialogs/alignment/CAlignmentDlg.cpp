#include "dialogs/alignment/CAlignmentDlg.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>
#include <algorithm>

#include "dialogs/alignment/CBeamStrip.h"
#include "grid/CSpreadSheet.h"
#include "model/BeamText.h"
#include "platform/EventPump.h"
#include "platform/UiServices.h"

CAlignmentDlg::CAlignmentDlg(int channelCount, QWidget* parent)
    : QDialog(parent), m_channelCount(channelCount), m_currentScan(channelCount) {
    setWindowTitle(tr("Alignment"));
    setModal(true);
    BuildLayout();
}

CAlignmentDlg::~CAlignmentDlg() {
    if (WaitingDialog() == this) SetWaitingDialog(nullptr);
}

void CAlignmentDlg::SetChannelCount(int channelCount) {
    if (channelCount == m_channelCount) return;
    m_channelCount = channelCount;
    m_currentScan = CBeamBitScan(channelCount);
    FitGridToRows();
}

void CAlignmentDlg::FitGridToRows() {
    // Every row in sight up to twelve (192 channels); beyond, the grid scrolls.
    constexpr int kRowsInSight = 12;
    const int rows = std::clamp(ChannelRowCount(m_channelCount), 3, kRowsInSight);
    m_grid->setMinimumHeight(m_grid->horizontalHeader()->sizeHint().height() +
                             rows * m_grid->verticalHeader()->defaultSectionSize() +
                             2 * m_grid->frameWidth());
}

QPushButton* CAlignmentDlg::AddButton(const QString& caption, const char* name,
                                      void (CAlignmentDlg::*handler)()) {
    auto* button = new QPushButton(caption, this);
    button->setObjectName(name);
    connect(button, &QPushButton::clicked, this, handler);
    return button;
}

void CAlignmentDlg::BuildLayout() {
    m_start = AddButton(tr("&Start"), "startButton", &CAlignmentDlg::OnStart);
    m_stop = AddButton(tr("S&top"), "stopButton", &CAlignmentDlg::OnStop);
    m_step = AddButton(tr("St&ep"), "stepButton", &CAlignmentDlg::OnStep);
    m_send = AddButton(tr("Send To &Controller"), "sendButton", &CAlignmentDlg::OnSendToController);
    m_clear = AddButton(tr("Clear &Blanking Fields"), "clearButton", &CAlignmentDlg::OnClearBlanking);
    m_restore = AddButton(tr("&Restore Controller Settings"), "restoreButton", &CAlignmentDlg::OnRestore);
    m_autoBlanking = AddButton(tr("&Auto Blanking"), "autoBlankingButton", &CAlignmentDlg::OnAutoBlanking);
    m_acceptAuto =
        AddButton(tr("A&ccept Auto Blanking"), "acceptAutoButton", &CAlignmentDlg::OnAcceptAutoBlanking);
    m_abort = AddButton(tr("Ab&ort Auto Blanking"), "abortAutoButton", &CAlignmentDlg::OnAbortAutoBlanking);
    m_save = AddButton(tr("Sa&ve To File..."), "saveButton", &CAlignmentDlg::OnSaveToFile);
    m_read = AddButton(tr("Read From &File..."), "readButton", &CAlignmentDlg::OnReadFromFile);
    m_edit = AddButton(tr("&Edit..."), "editButton", &CAlignmentDlg::OnEdit);
    m_ok = AddButton(tr("Ok"), "okButton", &CAlignmentDlg::accept);
    m_cancel = AddButton(tr("Cancel"), "cancelButton", &CAlignmentDlg::reject);
    m_phoneButton = AddButton(tr("Show on &Phone..."), "phoneButton", &CAlignmentDlg::OnShowOnPhone);
    m_ok->setDefault(true);
    // The two share one place and keep its room when hidden, so that
    // nothing moves when one takes the other's place.
    for (QPushButton* button : {m_autoBlanking, m_acceptAuto}) {
        QSizePolicy policy = button->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        button->setSizePolicy(policy);
    }
    m_send->hide();
    m_send->setEnabled(false);
    m_acceptAuto->hide();
    m_acceptAuto->setEnabled(false);

    // The counts inside the "&Beams" group.
    auto* beams = new QGroupBox(tr("&Beams"), this);
    auto* counts = new QGridLayout(beams);
    const auto addCount = [&](int row, const QString& caption, const char* name) {
        auto* value = new QLabel(beams);
        value->setObjectName(name);
        value->setMinimumWidth(40);
        counts->addWidget(new QLabel(caption, beams), row, 0);
        counts->addWidget(value, row, 1);
        return value;
    };
    m_total = addCount(0, tr("Total:"), "totalValue");
    m_blocked = addCount(1, tr("Blocked:"), "blockedValue");
    m_made = addCount(2, tr("Made:"), "madeValue");
    m_blanked = addCount(3, tr("Blanked:"), "blankedValue");
    counts->setColumnStretch(1, 1);

    auto* scanButtons = new QHBoxLayout;
    scanButtons->addWidget(m_start);
    scanButtons->addWidget(m_stop);
    scanButtons->addWidget(m_step);

    m_strip = new CBeamStrip(this);
    m_strip->setObjectName("beamStrip");
    m_strip->SetChannelCount(m_channelCount);

    m_grid = new CSpreadSheet(this);
    m_grid->setObjectName("beamGrid");
    m_grid->SetColumnHeadings({tr("Channels"), tr("State")});
    m_grid->verticalHeader()->hide();
    m_grid->horizontalHeader()->setStretchLastSection(true);
    m_grid->setColumnWidth(0, 110);
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Courier New where it exists, another fixed-width face where it does not.
    QFont fixed = m_grid->font();
    fixed.setStyleHint(QFont::TypeWriter);
    m_grid->setFont(fixed);
    m_grid->verticalHeader()->setDefaultSectionSize(m_grid->fontMetrics().height() + 8);

    auto* left = new QVBoxLayout;
    left->addLayout(scanButtons);
    left->addWidget(beams);
    left->addWidget(m_strip);
    auto* legend = new QLabel(tr("1 - Made    0 - Blocked     B-Blanked"), this);
    legend->setObjectName("legend");
    left->addWidget(legend);
    left->addWidget(m_grid, 1);

    // "A&ccept Auto Blanking" shares its cell with "&Auto Blanking".
    auto* blanking = new QGroupBox(this);
    auto* right = new QGridLayout(blanking);
    right->addWidget(m_clear, 0, 0);
    right->addWidget(m_restore, 1, 0);
    right->addWidget(m_autoBlanking, 2, 0);
    right->addWidget(m_acceptAuto, 2, 0);
    right->addWidget(m_abort, 3, 0);
    right->addWidget(m_save, 4, 0);
    right->addWidget(m_read, 5, 0);
    right->addWidget(m_send, 6, 0);
    right->addWidget(m_edit, 7, 0);
    auto* editHint = new QLabel(tr("Use the Edit button to manually set blanking fields."), this);
    editHint->setObjectName("editHint");
    editHint->setWordWrap(true);
    int widest = 0;
    for (QPushButton* button : {m_clear, m_restore, m_autoBlanking, m_acceptAuto, m_abort, m_save, m_read, m_edit})
        widest = std::max(widest, button->sizeHint().width());
    editHint->setFixedWidth(widest);
    right->addWidget(editHint, 8, 0);

    auto* closeButtons = new QHBoxLayout;
    closeButtons->addStretch();
    closeButtons->addWidget(m_ok);
    closeButtons->addWidget(m_cancel);

    // The column keeps the width of its widest button when the dialog grows.
    blanking->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    right->setVerticalSpacing(6);

    // Below everything specified, in the room the stretch had, so that no
    // specified control moves for it.
    auto* side = new QVBoxLayout;
    side->addWidget(blanking);
    side->addSpacing(12);
    side->addWidget(m_phoneButton);
    side->addStretch();
    side->addLayout(closeButtons);

    auto* top = new QHBoxLayout(this);
    top->addLayout(left, 1);
    top->addLayout(side);
    FitGridToRows();
    resize(640, 420);
}

void CAlignmentDlg::InitDialog() {
    m_initialised = true;
    m_workingMap = m_initialMap;
    m_total->setText(QString::number(m_channelCount));
    m_blocked->clear();
    m_made->clear();
    ShowBlankedCount(m_workingMap.BlankedCount(0));
    m_ok->setText(tr("OK"));
    SetState(kIdle);

    m_rowCount = ChannelRowCount(m_channelCount);
    m_grid->SetRedraw(false);
    m_grid->SetRowCount(m_rowCount);
    m_grid->SetBlockMode(true);
    m_grid->SetBlock(1, 1, m_rowCount, 2);
    m_grid->SetCellType(CSpreadSheet::kCellTypeStaticText);
    m_grid->SetFontName(QStringLiteral("Courier New"));
    m_grid->SetBlockMode(false);
    for (int row = 1; row <= m_rowCount; ++row) {
        m_grid->SetCellText(1, row, QString::fromStdString(BeamRowLabel(row - 1, m_channelCount)));
        m_grid->SetCellText(2, row, QString());
    }
    m_grid->SetRedraw(true);
    m_strip->SetChannelCount(m_channelCount);
}

void CAlignmentDlg::showEvent(QShowEvent* event) {
    if (!m_initialised) InitDialog();
    QDialog::showEvent(event);
    // Scanning begins as soon as the dialog is up. A window shown again by
    // the window system (restored from an icon) does not start a second loop.
    if (!event->spontaneous())
        QMetaObject::invokeMethod(this, &CAlignmentDlg::OnStart, Qt::QueuedConnection);
}

void CAlignmentDlg::SetState(int state) {
    m_state = state;
    ApplyEnableTable();
}

void CAlignmentDlg::ApplyEnableTable() {
    struct Row {
        QPushButton* CAlignmentDlg::*button;
        bool enabled[3];  // scanning, idle, auto blanking
    };
    static constexpr Row kTable[] = {
        {&CAlignmentDlg::m_start, {false, true, false}},
        {&CAlignmentDlg::m_stop, {true, false, false}},
        {&CAlignmentDlg::m_step, {false, true, false}},
        {&CAlignmentDlg::m_send, {false, true, false}},
        {&CAlignmentDlg::m_clear, {false, true, false}},
        {&CAlignmentDlg::m_restore, {false, true, false}},
        {&CAlignmentDlg::m_save, {false, true, false}},
        {&CAlignmentDlg::m_read, {false, true, false}},
        {&CAlignmentDlg::m_autoBlanking, {false, true, false}},
        {&CAlignmentDlg::m_abort, {false, false, true}},
        {&CAlignmentDlg::m_edit, {false, true, false}},
        {&CAlignmentDlg::m_ok, {false, true, false}},
        {&CAlignmentDlg::m_cancel, {false, true, false}},
    };
    for (const Row& row : kTable) (this->*row.button)->setEnabled(row.enabled[m_state]);
}

void CAlignmentDlg::ShowAcceptInPlaceOfAutoBlanking(bool accept) {
    QPushButton* shown = accept ? m_acceptAuto : m_autoBlanking;
    QPushButton* hidden = accept ? m_autoBlanking : m_acceptAuto;
    hidden->setEnabled(false);
    hidden->hide();
    shown->setEnabled(true);
    shown->show();
    shown->setFocus();
}

void CAlignmentDlg::ShowBlankedCount(int count) { m_blanked->setText(QString::number(count)); }

void CAlignmentDlg::ShowScan(bool marks) {
    const BeamCounts counts = CountBeams(m_currentScan, m_workingMap, m_state == kAutoBlanking);
    m_blocked->setText(QString::number(counts.blocked));
    m_made->setText(QString::number(counts.made));
    DrawBeams(marks);
}

void CAlignmentDlg::DrawBeams(bool marks) {
    m_grid->SetRedraw(false);
    for (int row = 1; row <= m_rowCount; ++row)
        m_grid->SetCellText(
            2, row, QString::fromStdString(BeamString(m_currentScan, m_workingMap, row - 1, marks)));
    m_grid->SetRedraw(true);
    m_strip->ShowScan(m_currentScan, m_workingMap, marks);
}

void CAlignmentDlg::ClearBeamColumn() {
    m_grid->SetBlockMode(true);
    m_grid->SetBlock(1, 2, m_rowCount, 2);
    m_grid->SetText(QString());
    m_grid->SetBlockMode(false);
    m_strip->ClearScan();
}

void CAlignmentDlg::ShowMessage(const char* text) {
    Ui().MessageBox(text, MsgButtons::Ok, MsgIcon::Exclamation);
}

void CAlignmentDlg::accept() {
    if (m_state != kIdle || Busy()) return;
    QDialog::accept();
}
