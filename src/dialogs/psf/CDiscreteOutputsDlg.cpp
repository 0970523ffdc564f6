#include "dialogs/psf/CDiscreteOutputsDlg.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSpacerItem>
#include <QVBoxLayout>
#include <QResizeEvent>
#include <algorithm>
#include <iterator>

#include "grid/CSpreadSheet.h"
#include "model/DiscreteOutputRules.h"
#include "platform/UiServices.h"

namespace {

constexpr int kColumns = 5;
constexpr int kMaxScanCount = 9;
// The columns' widths at the dialog's smallest; wider, they share the room
// in the same proportions.
constexpr int kColumnWidths[kColumns] = {150, 64, 64, 64, 64};
const QColor kLockedColour(192, 192, 192);

}  // namespace

CDiscreteOutputsDlg::CDiscreteOutputsDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(tr("Edit Discrete Outputs"));
    setModal(true);

    m_grid = new CSpreadSheet;
    m_grid->setObjectName("outputGrid");
    m_grid->SetRowCount(kDiscreteOutputCount);
    m_grid->SetColCount(kColumns);
    m_grid->SetColumnHeadings({tr("Measurement"), tr("Low"), tr("High"), tr("Low"), tr("High")});
    for (int row = 1; row <= kDiscreteOutputCount; ++row)
        m_grid->SetCellText(0, row, tr("Output #%1").arg(row));
    for (int col = 0; col < kColumns; ++col) m_grid->setColumnWidth(col, kColumnWidths[col]);
    m_grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);

    m_setPointCaption = new QLabel(tr("Set Point"));
    m_hysteresisCaption = new QLabel(tr("Hysteresis"));
    m_setPointCaption->setObjectName("setPointCaption");
    m_hysteresisCaption->setObjectName("hysteresisCaption");
    for (QLabel* caption : {m_setPointCaption, m_hysteresisCaption})
        caption->setAlignment(Qt::AlignCenter);
    auto* captions = new QHBoxLayout;
    captions->setSpacing(0);
    m_captionIndent = new QSpacerItem(0, 0, QSizePolicy::Fixed);
    captions->addSpacerItem(m_captionIndent);
    captions->addWidget(m_setPointCaption);
    captions->addWidget(m_hysteresisCaption);
    captions->addStretch(1);

    m_scanList = new QComboBox;
    m_scanList->setObjectName("scanCountList");
    for (int n = 1; n <= kMaxScanCount; ++n) m_scanList->addItem(QString::number(n));
    auto* scanLabel = new QLabel(tr("Scan #"));
    scanLabel->setBuddy(m_scanList);

    m_ok = new QPushButton(tr("OK"));
    m_ok->setObjectName("okButton");
    m_cancel = new QPushButton(tr("Cancel"));
    m_cancel->setObjectName("cancelButton");
    // Neither is the default: Enter never ends the dialog.
    for (QPushButton* button : {m_ok, m_cancel}) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(scanLabel);
    bottom->addWidget(m_scanList);
    bottom->addStretch();
    bottom->addWidget(m_ok);
    bottom->addWidget(m_cancel);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(captions);
    layout->setSpacing(2);
    layout->addWidget(m_grid, 1);
    layout->addSpacing(6);
    layout->addLayout(bottom);

    connect(m_grid, &CSpreadSheet::leaveCell, this, &CDiscreteOutputsDlg::OnLeaveCell);
    connect(m_grid, &CSpreadSheet::listCellChanged, this, &CDiscreteOutputsDlg::OnListCellChanged);
    connect(m_grid, &CSpreadSheet::advance, this, &CDiscreteOutputsDlg::OnAdvance);
    connect(m_ok, &QPushButton::clicked, this, &CDiscreteOutputsDlg::OnOk);
    connect(m_cancel, &QPushButton::clicked, this, &CDiscreteOutputsDlg::OnCancel);
}

void CDiscreteOutputsDlg::SetOutputs(const DiscreteOutput outputs[kDiscreteOutputCount]) {
    std::copy(outputs, outputs + kDiscreteOutputCount, m_outputs);
}

void CDiscreteOutputsDlg::GetOutputs(DiscreteOutput outputs[kDiscreteOutputCount]) const {
    std::copy(m_outputs, m_outputs + kDiscreteOutputCount, outputs);
}

void CDiscreteOutputsDlg::showEvent(QShowEvent* event) {
    if (!m_initialised) Initialise();
    QDialog::showEvent(event);
    FitGridToRows();
    SpreadColumns();
}

void CDiscreteOutputsDlg::Initialise() {
    m_initialised = true;
    m_grid->SetRedraw(false);
    m_grid->SetBlock(1, 1, kDiscreteOutputCount - 1, 1);
    m_grid->SetBlockMode(true);
    m_grid->SetCellType(CSpreadSheet::kCellTypeList);
    m_grid->SetListItems(QString::fromLatin1(kOutputSourceList15));
    m_grid->SetBlockMode(false);
    m_grid->SetRow(kDiscreteOutputCount);
    m_grid->SetCol(1);
    m_grid->SetCellType(CSpreadSheet::kCellTypeList);
    m_grid->SetListItems(QString::fromLatin1(kOutputSourceList16));
    m_grid->SetLockedCellColour(kLockedColour);
    m_grid->SetRedraw(true);

    m_grid->SetRedraw(false);
    for (int row = 1; row <= kDiscreteOutputCount; ++row) WriteRow(row, m_outputs[row - 1]);
    m_grid->SetRedraw(true);

    // A count outside 1 to 9 shows no selection.
    m_scanList->setCurrentIndex(m_scanCount >= 1 && m_scanCount <= kMaxScanCount ? m_scanCount - 1
                                                                                 : -1);
}

void CDiscreteOutputsDlg::FitGridToRows() {
    // The sixteen outputs show at once, without scrolling; the columns grow
    // with the dialog.
    int width = 2 * m_grid->frameWidth() + m_grid->verticalHeader()->width();
    for (int col = 0; col < kColumns; ++col) width += kColumnWidths[col];
    int height = 2 * m_grid->frameWidth() + m_grid->horizontalHeader()->height();
    for (int row = 0; row < m_grid->rowCount(); ++row) height += m_grid->rowHeight(row);
    m_grid->setMinimumSize(width, height);
    m_grid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_grid->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    adjustSize();
}

void CDiscreteOutputsDlg::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    SpreadColumns();
}

void CDiscreteOutputsDlg::SpreadColumns() {
    int base = 0;
    for (const int width : kColumnWidths) base += width;
    const int room = std::max(m_grid->viewport()->width(), base);
    int given = 0;
    for (int col = 0; col < kColumns; ++col) {
        // The last column takes what rounding left over.
        const int width = col + 1 < kColumns ? kColumnWidths[col] * room / base : room - given;
        m_grid->setColumnWidth(col, width);
        given += width;
    }
    PlaceGroupCaptions();
}

void CDiscreteOutputsDlg::PlaceGroupCaptions() {
    // "Set Point" spans the two set point columns, "Hysteresis" the other two.
    const int left = m_grid->frameWidth() + m_grid->verticalHeader()->width() +
                     m_grid->columnWidth(0);
    m_setPointCaption->setFixedWidth(m_grid->columnWidth(1) + m_grid->columnWidth(2));
    m_hysteresisCaption->setFixedWidth(m_grid->columnWidth(3) + m_grid->columnWidth(4));
    m_captionIndent->changeSize(left, 0, QSizePolicy::Fixed);
    layout()->invalidate();
}

void CDiscreteOutputsDlg::WriteRow(int row, const DiscreteOutput& output) {
    m_grid->SetRow(row);
    m_grid->SetCol(kOutputSourceColumn);
    const int index = LookupOutputSource(static_cast<uint8_t>(output.source));
    m_grid->SetListSelection(index >= 0 ? index : 0);
    for (int col = kFirstValueColumn; col <= kLastValueColumn; ++col)
        m_grid->SetCellText(col, row, QString::number(OutputValue(output, col)));
    ApplyLockRule(row);
}

int32_t CDiscreteOutputsDlg::SourceOfRow(int row) const {
    m_grid->SetRow(row);
    m_grid->SetCol(kOutputSourceColumn);
    const int index = m_grid->ListSelection();
    if (index >= 0 && index < static_cast<int>(std::size(kOutputSources)))
        return kOutputSources[index].code;
    // A source the list cannot show (Alarm or Trigger handed to outputs 1 to
    // 15) stays what it was.
    return m_outputs[row - 1].source;
}

DiscreteOutput CDiscreteOutputsDlg::ReadRow(int row) const {
    DiscreteOutput output;
    output.source = SourceOfRow(row);
    for (int col = kFirstValueColumn; col <= kLastValueColumn; ++col)
        SetOutputValue(output, col, ParseOutputValue(m_grid->CellText(col, row).toStdString()));
    return output;
}

void CDiscreteOutputsDlg::ApplyLockRule(int row) {
    const int32_t source = SourceOfRow(row);
    m_grid->SetRedraw(false);
    m_grid->SetBlockMode(true);
    for (int col = kFirstValueColumn; col <= kLastValueColumn; ++col) {
        m_grid->SetBlock(row, col, row, col);
        m_grid->SetLock(IsValueColumnLocked(source, col));
    }
    m_grid->SetBlockMode(false);
    m_grid->SetRedraw(true);
}

void CDiscreteOutputsDlg::OnLeaveCell(int col, int row, int, int, bool&) {
    if (col < kFirstValueColumn || col > kLastValueColumn || row < 1 || row > kDiscreteOutputCount)
        return;
    // A grey cell holds a value the output does not use; the cursor passing
    // over it must not push the values the output does use (a trigger's set
    // point would fall to the unused set point high).
    if (IsValueColumnLocked(SourceOfRow(row), col)) return;
    DiscreteOutput output = ReadRow(row);
    if (!ApplyValueRule(col, output)) return;
    Ui().Beep(BeepKind::Simple);
    WriteRow(row, output);
}

void CDiscreteOutputsDlg::OnListCellChanged(int col, int row, short, bool changed) {
    if (changed && col == kOutputSourceColumn && row >= 1 && row <= kDiscreteOutputCount)
        ApplyLockRule(row);
}

void CDiscreteOutputsDlg::OnAdvance(bool next) { focusNextPrevChild(next); }

void CDiscreteOutputsDlg::OnOk() {
    for (int row = 1; row <= kDiscreteOutputCount; ++row) m_outputs[row - 1] = ReadRow(row);
    // No count chosen keeps the one handed in.
    if (m_scanList->currentIndex() >= 0) m_scanCount = m_scanList->currentIndex() + 1;
    done(QDialog::Accepted);
}

void CDiscreteOutputsDlg::OnCancel() { done(QDialog::Rejected); }

// Enter and Escape: the dialog ends through its two buttons only.
void CDiscreteOutputsDlg::accept() {}
void CDiscreteOutputsDlg::reject() {}

void CDiscreteOutputsDlg::closeEvent(QCloseEvent* event) { event->ignore(); }
