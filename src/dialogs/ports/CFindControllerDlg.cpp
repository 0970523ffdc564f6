#include "dialogs/ports/CFindControllerDlg.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "dialogs/ports/PortListView.h"
#include "serial/PortDevicePath.h"

namespace {

constexpr int kMenuPorts = 24;
constexpr int kStateColumn = kPortListColumns;

}  // namespace

CFindControllerDlg::CFindControllerDlg(QWidget* parent, int comNumber, InventoryRoot root)
    : QDialog(parent), m_root(std::move(root)) {
    setObjectName(QStringLiteral("findController"));
    setWindowTitle(QStringLiteral("Find Controller"));

    auto* intro = new QLabel(
        QStringLiteral("Every serial device is searched for a controller at 9600, 19200 and 38400 baud."), this);
    intro->setWordWrap(true);
    m_list = MakePortList(this, {QStringLiteral("Controller")});
    // The answers matter most here; the descriptions are in their tooltips.
    m_list->header()->setSectionResizeMode(1, QHeaderView::Interactive);
    m_list->header()->setSectionResizeMode(kStateColumn, QHeaderView::Stretch);
    m_list->setColumnWidth(1, 180);
    m_summary = new QLabel(this);
    m_summary->setObjectName(QStringLiteral("summary"));
    m_detail = new QLabel(this);
    m_detail->setObjectName(QStringLiteral("detail"));
    m_detail->setWordWrap(true);
    m_detail->setTextInteractionFlags(Qt::TextSelectableByMouse);

    m_comNumber = MakeComNumberBox(this, comNumber, kMenuPorts);
    m_use = new QPushButton(this);
    m_use->setObjectName(QStringLiteral("useButton"));
    m_use->setDefault(true);
    m_again = new QPushButton(QStringLiteral("&Search Again"), this);
    m_again->setObjectName(QStringLiteral("searchAgainButton"));
    m_cancel = new QPushButton(QStringLiteral("Cancel"), this);
    m_cancel->setObjectName(QStringLiteral("cancelButton"));

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(new QLabel(QStringLiteral("Use the chosen device as"), this));
    buttons->addWidget(m_comNumber);
    buttons->addWidget(m_use);
    buttons->addStretch(1);
    buttons->addWidget(m_again);
    buttons->addWidget(m_cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addWidget(m_list, 1);
    layout->addWidget(m_summary);
    layout->addWidget(m_detail);
    layout->addLayout(buttons);
    resize(960, 380);

    m_progress = new QTimer(this);
    m_progress->setInterval(100);
    connect(m_progress, &QTimer::timeout, this, &CFindControllerDlg::ShowProgress);
    connect(m_list, &QTreeWidget::currentItemChanged, this, &CFindControllerDlg::ShowSelected);
    connect(m_comNumber, &QComboBox::currentIndexChanged, this, &CFindControllerDlg::ShowSelected);
    connect(m_use, &QPushButton::clicked, this, &CFindControllerDlg::UseAsCom);
    connect(m_again, &QPushButton::clicked, this, &CFindControllerDlg::Search);
    connect(m_cancel, &QPushButton::clicked, this, &CFindControllerDlg::reject);

    Search();
}

// Stops the probes still running and waits for their ports to close.
CFindControllerDlg::~CFindControllerDlg() = default;

int CFindControllerDlg::ComNumber() const { return m_comNumber->currentData().toInt(); }

// Until the rows show how the search ended.
bool CFindControllerDlg::Searching() const { return m_progress->isActive(); }

QString CFindControllerDlg::StateText(const DeviceProbe& probe) {
    switch (probe.state) {
        case DeviceProbe::State::Waiting:
            return QStringLiteral("waiting");
        case DeviceProbe::State::Probing:
            return QStringLiteral("probing at %1 baud...").arg(probe.baud);
        case DeviceProbe::State::Found:
            return QString::fromStdString(DescribeFoundController(*probe.controller));
        case DeviceProbe::State::NoAnswer:
            return QStringLiteral("no answer");
        case DeviceProbe::State::OpenFailed:
            return QStringLiteral("does not open: %1").arg(QString::fromStdString(probe.error));
        case DeviceProbe::State::Cancelled:
            break;
    }
    return QStringLiteral("cancelled");
}

void CFindControllerDlg::Search() {
    m_search.reset();  // a search still running ends here
    m_ports = TakePortInventory({}, m_root);
    FillPortList(m_list, m_ports, {QStringLiteral("Controller")});
    std::vector<std::string> paths;
    for (const InventoryPort& port : m_ports) paths.push_back(port.path);
    m_search = std::make_unique<ControllerSearch>(paths);
    m_cancel->setText(QStringLiteral("Cancel"));
    m_again->setEnabled(false);
    m_offered = false;
    ShowProgress();
    m_progress->start();
}

void CFindControllerDlg::ShowProgress() {
    if (!m_search) return;
    const bool finished = m_search->Finished();
    m_probes = m_search->Snapshot();
    int found = 0;
    for (size_t row = 0; row < m_probes.size(); ++row) {
        QTreeWidgetItem* item = m_list->topLevelItem(static_cast<int>(row));
        const QString state = StateText(m_probes[row]);
        if (item->text(kStateColumn) != state) item->setText(kStateColumn, state);
        if (m_probes[row].state == DeviceProbe::State::Found) {
            // The first controller found is the one offered.
            if (found++ == 0 && !m_offered) {
                m_offered = true;
                m_list->setCurrentItem(item);
            }
        }
    }
    if (m_probes.empty())
        m_summary->setText(QStringLiteral("No serial device found. Plug the adapter in, then search again."));
    else if (!finished)
        m_summary->setText(QStringLiteral("Searching %1 devices...").arg(m_probes.size()));
    else if (found == 0)
        m_summary->setText(QStringLiteral("No controller answered. Check the cable and the controller's power."));
    else
        m_summary->setText(found == 1 ? QStringLiteral("1 controller found.")
                                      : QStringLiteral("%1 controllers found.").arg(found));
    if (finished) {
        m_progress->stop();
        m_again->setEnabled(true);
        m_cancel->setText(QStringLiteral("Close"));
    }
    ShowSelected();
}

const DeviceProbe* CFindControllerDlg::SelectedProbe() const {
    const int row = m_list->indexOfTopLevelItem(m_list->currentItem());
    if (row < 0 || static_cast<size_t>(row) >= m_probes.size()) return nullptr;
    return &m_probes[static_cast<size_t>(row)];
}

void CFindControllerDlg::ShowSelected() {
    m_use->setText(QStringLiteral("&Use as COM%1").arg(ComNumber()));
    const DeviceProbe* probe = SelectedProbe();
    m_use->setEnabled(probe && probe->state == DeviceProbe::State::Found);
    if (!probe) {
        m_detail->clear();
        return;
    }
    const InventoryPort& port = m_ports[static_cast<size_t>(m_list->indexOfTopLevelItem(m_list->currentItem()))];
    QString detail = QStringLiteral("%1: %2").arg(QString::fromStdString(port.path), StateText(*probe));
    if (probe->state == DeviceProbe::State::Found)
        detail += QStringLiteral("\nCOM%1 will open %2.").arg(ComNumber()).arg(QString::fromStdString(port.PathToStore()));
    m_detail->setText(detail);
}

void CFindControllerDlg::UseAsCom() {
    const DeviceProbe* probe = SelectedProbe();
    if (!probe || probe->state != DeviceProbe::State::Found) return;
    const InventoryPort& port = m_ports[static_cast<size_t>(m_list->indexOfTopLevelItem(m_list->currentItem()))];
    // By the name that survives re-plugging, in force at once; stored with
    // the other settings at exit.
    ChoosePortDevice(ComNumber(), port.PathToStore());
    accept();
}

void CFindControllerDlg::reject() {
    if (Searching()) {
        m_search->Cancel();
        m_search->Wait(2000);
        ShowProgress();
        return;
    }
    QDialog::reject();
}
