#include "dialogs/history/CChangeHistoryDlg.h"

#include <QDateTime>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "dialogs/history/CHistoryRestoreCommand.h"
#include "model/BfsFile.h"
#include "model/PsfFile.h"
#include "platform/UiServices.h"

namespace {


QString Q(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

QString CChangeHistoryDlg::TimeText(std::time_t time) {
    return QDateTime::fromSecsSinceEpoch(time).toString("yyyy-MM-dd HH:mm:ss");
}

QString CChangeHistoryDlg::ControllerText(const ControllerIdentity& controller) {
    QString text = Q(ControllerIdText(controller.id));
    if (controller.hardware)
        text += QStringLiteral(" (%1, firmware %2)")
                    .arg(Q(controller.hardware->partNumber), Q(controller.hardware->firmware));
    return text;
}

CChangeHistoryDlg::CChangeHistoryDlg(QWidget* parent, int portIndex, CommandRunner run,
                                     ChangeHistory history)
    : QDialog(parent), m_portIndex(portIndex), m_run(std::move(run)), m_history(std::move(history)) {
    setWindowTitle(tr("Change History"));
    setModal(true);

    m_list = new QTreeWidget;
    m_list->setObjectName("historyList");
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setHeaderLabels({tr("Time"), tr("Command"), tr("Settings"), tr("Fingerprints"),
                             tr("Controller"), tr("Device")});
    m_list->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_list->header()->setStretchLastSection(true);

    auto* folder = new QLabel(tr("Kept in %1").arg(Q(m_history.Folder())));
    folder->setObjectName("folderLabel");
    folder->setTextInteractionFlags(Qt::TextSelectableByMouse);

    m_restore = new QPushButton(tr("&Restore"));
    m_restore->setObjectName("restoreButton");
    m_saveAs = new QPushButton(tr("Save &As..."));
    m_saveAs->setObjectName("saveAsButton");
    m_close = new QPushButton(tr("Close"));
    m_close->setObjectName("closeButton");
    m_close->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_restore);
    buttons->addWidget(m_saveAs);
    buttons->addStretch();
    buttons->addWidget(m_close);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_list);
    layout->addWidget(folder);
    layout->addLayout(buttons);
    resize(940, 380);

    connect(m_list, &QTreeWidget::currentItemChanged, this, &CChangeHistoryDlg::ShowSelected);
    connect(m_list, &QTreeWidget::itemDoubleClicked, this, &CChangeHistoryDlg::OnRestore);
    connect(m_restore, &QPushButton::clicked, this, &CChangeHistoryDlg::OnRestore);
    connect(m_saveAs, &QPushButton::clicked, this, &CChangeHistoryDlg::OnSaveAs);
    connect(m_close, &QPushButton::clicked, this, &QDialog::accept);
    Reload();
}

void CChangeHistoryDlg::Reload() {
    m_items = m_history.List();
    m_list->clear();
    for (const ChangeHistory::Item& item : m_items) {
        QStringList cells;
        if (item.record) {
            const WriteRecord& r = *item.record;
            cells = {TimeText(r.time),
                     Q(r.command),
                     Q(WriteKindText(r.kind)),
                     Q(r.fingerprintBefore + " -> " + r.fingerprintAfter),
                     ControllerText(r.controller),
                     Q(r.device)};
        } else {
            // A damaged entry is shown, never hidden: its file is named.
            cells = {QString(), Q(item.problem), tr("cannot be used"), QString(), QString(),
                     Q(item.path)};
        }
        m_list->addTopLevelItem(new QTreeWidgetItem(cells));
    }
    if (!m_items.empty()) m_list->setCurrentItem(m_list->topLevelItem(0));
    ShowSelected();
}

const WriteRecord* CChangeHistoryDlg::Selected(int* number) const {
    const int row = m_list->indexOfTopLevelItem(m_list->currentItem());
    if (row < 0 || row >= static_cast<int>(m_items.size()) || !m_items[row].record) return nullptr;
    if (number) *number = row + 1;
    return &*m_items[row].record;
}

void CChangeHistoryDlg::ShowSelected() {
    const WriteRecord* entry = Selected();
    m_restore->setEnabled(entry != nullptr);
    m_saveAs->setEnabled(entry && entry->kind != WriteKind::PartNumber);
}

void CChangeHistoryDlg::OnRestore() {
    int number = 0;
    const WriteRecord* entry = Selected(&number);
    if (!entry) return;
    const std::string question = "Send the " + std::string(WriteKindText(entry->kind)) + " that \"" +
                                 entry->command + "\" replaced on " +
                                 TimeText(entry->time).toStdString() + " (" +
                                 entry->fingerprintBefore +
                                 ") back to the controller on COM" +
                                 std::to_string(m_portIndex + 1) + "?";
    if (Ui().MessageBox(question, MsgButtons::YesNo, MsgIcon::Question, MsgResult::No) !=
        MsgResult::Yes)
        return;
    // Like every controller command, the restore starts at 9600 baud.
    CHistoryRestoreCommand command(this, m_portIndex, 9600, *entry, number);
    m_run(command);
    // The restore is an entry of its own now.
    Reload();
}

void CChangeHistoryDlg::OnSaveAs() {
    const WriteRecord* entry = Selected();
    if (!entry) return;
    if (const std::optional<CPsfRecord> psf = entry->ReplacedPsf()) {
        const std::optional<std::string> path = Ui().PromptSaveFile(PsfSavePrompt());
        if (!path) return;
        if (const int status = WritePsfFile(*psf, *path); status != kPsfOk) ShowPsfFileError(status);
    } else if (const std::optional<CBlankingMap> map = entry->ReplacedBlanking()) {
        SaveBlankingFile(*map);
    } else {
        Ui().MessageBox("This history entry holds no complete " + std::string(WriteKindText(entry->kind)) +
                            ". Nothing was saved.",
                        MsgButtons::Ok, MsgIcon::Exclamation);
    }
}
