#include "dialogs/alignment/CChannelBlankDlg.h"

#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>
#include <algorithm>
#include <string>
#include <vector>

#include "command/CControllerCommand.h"
#include "grid/CSpreadSheet.h"
#include "model/BeamText.h"
#include "model/BlankingEdits.h"
#include "platform/UiServices.h"
#include "protocol/CControllerLink.h"

CChannelBlankDlg::CChannelBlankDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(tr("Edit Channel Blank State"));
    setModal(true);

    m_grid = new CSpreadSheet(this);
    m_grid->setObjectName("channelGrid");
    QStringList headings;
    for (int col = 1; col <= kChannelsPerRow; ++col) headings << QString::number(col);
    m_grid->SetColumnHeadings(headings);
    m_grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_grid->horizontalHeader()->setDefaultSectionSize(28);
    m_grid->setMinimumWidth(kChannelsPerRow * 28 + 80);

    auto* channels = new QLabel(tr("&Channels"), this);
    channels->setBuddy(m_grid);
    auto* hint = new QLabel(tr("Channels in the checked state are blanked."), this);
    hint->setObjectName("checkedHint");

    auto* current = new QHBoxLayout;
    current->addWidget(new QLabel(tr("Current Channel:"), this));
    m_currentChannel = new QLabel(this);
    m_currentChannel->setObjectName("currentChannel");
    current->addWidget(m_currentChannel, 1);

    auto* left = new QVBoxLayout;
    left->addWidget(hint);
    left->addWidget(channels);
    left->addWidget(m_grid, 1);
    left->addLayout(current);

    const auto addButton = [&](const QString& caption, const char* name, auto handler) {
        auto* button = new QPushButton(caption, this);
        button->setObjectName(name);
        connect(button, &QPushButton::clicked, this, handler);
        return button;
    };
    auto* right = new QVBoxLayout;
    right->addWidget(addButton(tr("Select &All"), "selectAllButton", &CChannelBlankDlg::OnSelectAll));
    right->addWidget(
        addButton(tr("&Blank Selected"), "blankSelectedButton", &CChannelBlankDlg::OnBlankSelected));
    right->addWidget(
        addButton(tr("&Clear Selected"), "clearSelectedButton", &CChannelBlankDlg::OnClearSelected));
    right->addStretch();
    QPushButton* ok = addButton(tr("OK"), "okButton", &CChannelBlankDlg::accept);
    ok->setDefault(true);
    right->addWidget(ok);
    right->addWidget(addButton(tr("Cancel"), "cancelButton", &CChannelBlankDlg::reject));

    auto* top = new QHBoxLayout(this);
    top->addLayout(left, 1);
    top->addLayout(right);
    resize(660, 300);
}

void CChannelBlankDlg::showEvent(QShowEvent* event) {
    const bool first = !m_initialised;
    if (first) InitDialog();
    QDialog::showEvent(event);
    if (first) FitGridToRows();
}

void CChannelBlankDlg::FitGridToRows() {
    // Every row in sight when the screen has room for them all; beyond
    // that the grid scrolls, and the dialog still fits on the screen.
    const int rowHeight = m_rowCount > 0 ? m_grid->rowHeight(0) : m_grid->verticalHeader()->defaultSectionSize();
    const int rows = m_grid->horizontalHeader()->sizeHint().height() + 2 * m_grid->frameWidth() +
                     m_rowCount * rowHeight;
    const int others = sizeHint().height() - std::max(m_grid->sizeHint().height(), m_grid->minimumHeight());
    const QScreen* shown = screen();
    // The window's frame and title bar are not in the dialog's own height.
    const int room = shown ? shown->availableGeometry().height() - others - 64 : rows;
    m_grid->setMinimumHeight(std::clamp(rows, 80, std::max(room, 80)));
    resize(width(), std::max(height(), sizeHint().height()));
}

void CChannelBlankDlg::InitDialog() {
    m_initialised = true;
    m_rowCount = ChannelRowCount(m_channelCount);
    m_openingMap = m_map;

    m_grid->SetRedraw(false);
    m_grid->SetRowCount(m_rowCount);
    m_grid->SetBlockMode(true);
    m_grid->SetBlock(1, 1, m_rowCount, kChannelsPerRow);
    m_grid->SetCellType(CSpreadSheet::kCellTypeCheckBox);
    m_grid->SetCheckBoxCentred(true);
    m_grid->SetBlockMode(false);
    m_grid->SetLockedCellColour(QColor(192, 192, 192));
    // The last row of a count that is not a multiple of 16: cells past the
    // last channel are no check boxes and take no edits.
    for (int col = 1; col <= kChannelsPerRow; ++col) {
        if (EditorCellChannel(m_rowCount, col, m_channelCount) >= 0) continue;
        m_grid->SetRow(m_rowCount);
        m_grid->SetCol(col);
        m_grid->SetCellType(CSpreadSheet::kCellTypeStaticText);
        m_grid->SetLock(true);
    }
    EmptyCellsWithoutChannel();
    for (int row = 1; row <= m_rowCount; ++row)
        m_grid->SetCellText(0, row, QString::fromStdString(ChannelRowHeader(row - 1, m_channelCount)));
    m_grid->SetRedraw(true);

    for (int channel = 0; channel < m_channelCount; ++channel)
        if (m_map.IsBlanked(channel))
            m_grid->SetCellText(channel % kChannelsPerRow + 1, channel / kChannelsPerRow + 1,
                                QStringLiteral("1"));
    m_currentChannel->clear();
}

void CChannelBlankDlg::EmptyCellsWithoutChannel() {
    for (int col = 1; col <= kChannelsPerRow; ++col)
        if (EditorCellChannel(m_rowCount, col, m_channelCount) < 0)
            m_grid->SetCellText(col, m_rowCount, QString());
}

void CChannelBlankDlg::OnSelectAll() {
    m_grid->SelectBlock(1, 1, m_rowCount, kChannelsPerRow);
    m_grid->SetAction(CSpreadSheet::kActionSelectBlock);
}

void CChannelBlankDlg::SetSelected(const QString& text) {
    m_grid->SetAction(CSpreadSheet::kActionSelectedBlocks);
    const int blocks = m_grid->SelectedBlockCount();
    if (blocks <= 0) {
        Ui().Beep(BeepKind::Exclamation);
        return;
    }
    m_grid->SetRedraw(false);
    for (int index = 0; index < blocks; ++index) {
        m_grid->SetSelectedBlockIndex(index);
        // A block that takes in the row headers must not overwrite them.
        if (m_grid->Col() == 0) m_grid->SetCol(1);
        m_grid->SetBlockMode(true);
        m_grid->SetText(text);
        m_grid->SetBlockMode(false);
    }
    EmptyCellsWithoutChannel();
    m_grid->SetRedraw(true);
}

CBlankingMap CChannelBlankDlg::CollectMap() {
    std::vector<std::string> texts;
    for (int channel = 0; channel < m_channelCount; ++channel) {
        m_grid->SetRow(channel / kChannelsPerRow + 1);
        m_grid->SetCol(channel % kChannelsPerRow + 1);
        texts.push_back(m_grid->Text().toStdString());
    }
    return CollectBlankingMap(m_openingMap, texts);
}

void CChannelBlankDlg::accept() {
    const CBlankingMap edited = CollectMap();
    if (edited != m_openingMap) {
        WriteOutcome sent;
        Ui().BeginWaitCursor();
        if (m_command)
            sent = m_command->WriteBlankingVerified(edited, "Alignment: Edit Channel Blank State");
        else if (m_link && m_link->WriteBlanking(edited))
            sent.status = WriteOutcome::Status::Unverified;
        Ui().EndWaitCursor();
        if (!sent.Succeeded()) {
            // A refused write was reported already.
            if (sent.status != WriteOutcome::Status::Refused)
                Ui().MessageBox("Unable to download blanking fields to controller." + sent.Addendum(),
                                MsgButtons::Ok, MsgIcon::Exclamation);
            return;
        }
    }
    m_map = edited;
    QDialog::accept();
}
