#include "dialogs/ports/CPortDevicesDlg.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSocketNotifier>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "command/DeviceTest.h"
#include "dialogs/ports/PortListView.h"
#include "platform/ExchangeScope.h"
#include "serial/PortDeviceList.h"
#include "serial/PortDevicePath.h"
#include "serial/PortWatch.h"

namespace {

constexpr int kMenuPorts = 24;

QString MappingText(int comNumber, const ComMapping& mapping) {
    const QString path = QString::fromStdString(mapping.path);
    switch (mapping.source) {
        case ComMapping::Source::Environment:
            return QStringLiteral(
                       "COM%1 now opens %2, set by the environment variable VELTRIX_COM%1, "
                       "which takes precedence over the choice made here.")
                .arg(comNumber)
                .arg(path);
        case ComMapping::Source::Stored:
            return QStringLiteral("COM%1 now opens %2.").arg(comNumber).arg(path);
        case ComMapping::Source::Default:
            break;
    }
    return QStringLiteral("COM%1 now opens %2 (the default).").arg(comNumber).arg(path);
}

}  // namespace

CPortDevicesDlg::CPortDevicesDlg(QWidget* parent, int comNumber, InventoryRoot root)
    : QDialog(parent), m_root(std::move(root)), m_watch(std::make_unique<PortWatch>(m_root)) {
    setObjectName(QStringLiteral("portDevices"));
    setWindowTitle(QStringLiteral("Port Devices"));

    m_comNumber = MakeComNumberBox(this, comNumber, kMenuPorts);

    m_mapping = new QLabel(this);
    m_mapping->setObjectName(QStringLiteral("mapping"));
    m_mapping->setWordWrap(true);

    m_list = MakePortList(this, {});

    auto* listLabel = new QLabel(QStringLiteral("Serial &devices present:"), this);
    listLabel->setBuddy(m_list);

    m_hint = new QLabel(this);
    m_hint->setObjectName(QStringLiteral("hint"));
    m_hint->setWordWrap(true);
    m_hint->setTextInteractionFlags(Qt::TextSelectableByMouse);

    m_path = new QLineEdit(this);
    m_path->setObjectName(QStringLiteral("path"));
    m_path->setPlaceholderText(QStringLiteral("empty: the default device"));
    m_path->setToolTip(
        QStringLiteral("A device file, or a serial device server: rfc2217://HOST:PORT "
                       "(this tool sets the line) or tcp://HOST:PORT (the server sets it)"));
    m_test = new QPushButton(QStringLiteral("&Test"), this);
    m_test->setObjectName(QStringLiteral("test"));
    m_test->setAutoDefault(false);
    m_testResult = new QLabel(this);
    m_testResult->setObjectName(QStringLiteral("testResult"));
    m_testResult->setWordWrap(true);
    m_testResult->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* refresh = new QPushButton(QStringLiteral("&Refresh"), this);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->addButton(refresh, QDialogButtonBox::ActionRole);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("&COM number:"), m_comNumber);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_mapping);
    layout->addWidget(listLabel);
    layout->addWidget(m_list, 1);
    layout->addWidget(m_hint);
    auto* pathRow = new QHBoxLayout;
    pathRow->addWidget(m_path, 1);
    pathRow->addWidget(m_test);
    auto* pathLabel = new QLabel(QStringLiteral("De&vice path:"), this);
    pathLabel->setBuddy(m_path);
    auto* pathForm = new QFormLayout;
    pathForm->addRow(pathLabel, pathRow);
    layout->addLayout(pathForm);
    layout->addWidget(m_testResult);
    layout->addWidget(buttons);

    setTabOrder(m_comNumber, m_list);
    setTabOrder(m_list, m_path);
    setTabOrder(m_path, m_test);
    setTabOrder(m_test, buttons);

    // Plugging in sets off a burst of changes (the node, then udev's links
    // and permissions): one refresh once it has settled.
    m_refreshSoon = new QTimer(this);
    m_refreshSoon->setSingleShot(true);
    m_refreshSoon->setInterval(300);
    connect(m_refreshSoon, &QTimer::timeout, this, &CPortDevicesDlg::Refresh);
    if (m_watch->Active()) {
        m_notifier = new QSocketNotifier(m_watch->Descriptor(), QSocketNotifier::Read, this);
        connect(m_notifier, &QSocketNotifier::activated, this, &CPortDevicesDlg::DevicesChanged);
    }

    connect(m_comNumber, &QComboBox::currentIndexChanged, this, &CPortDevicesDlg::ShowMapping);
    connect(m_list, &QTreeWidget::currentItemChanged, this, &CPortDevicesDlg::ShowSelectedDevice);
    connect(refresh, &QPushButton::clicked, this, &CPortDevicesDlg::Refresh);
    connect(m_test, &QPushButton::clicked, this, &CPortDevicesDlg::TestDevice);
    connect(buttons, &QDialogButtonBox::accepted, this, &CPortDevicesDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    Refresh();
    ShowMapping();
}

CPortDevicesDlg::~CPortDevicesDlg() = default;

int CPortDevicesDlg::ComNumber() const { return m_comNumber->currentData().toInt(); }

QString CPortDevicesDlg::DevicePath() const { return m_path->text().trimmed(); }

void CPortDevicesDlg::DevicesChanged() {
    if (m_watch->TakeChanges()) m_refreshSoon->start();
}

void CPortDevicesDlg::Refresh() {
    // The row chosen stays chosen while others come and go.
    const QTreeWidgetItem* current = m_list->currentItem();
    const QString chosen = current ? current->text(0) : QString();
    m_ports = TakePortInventory({}, m_root);
    {
        const QSignalBlocker blocker(m_list);
        FillPortList(m_list, m_ports, {});
        for (int i = 0; i < m_list->topLevelItemCount(); ++i)
            if (m_list->topLevelItem(i)->text(0) == chosen) m_list->setCurrentItem(m_list->topLevelItem(i));
    }
    if (m_ports.empty())
        m_hint->setText(
            QStringLiteral("No serial devices found. A USB adapter shows up here "
                           "as soon as it is plugged in."));
    else if (!m_list->currentItem())
        m_hint->clear();
}

void CPortDevicesDlg::ShowMapping() {
    const ComMapping mapping = CurrentComMapping(ComNumber());
    m_mapping->setText(MappingText(ComNumber(), mapping));
    m_path->setText(mapping.source == ComMapping::Source::Stored ? QString::fromStdString(mapping.path)
                                                                 : QString());
    // The listed device that COM n opens now, if any.
    const std::optional<size_t> row = RowOpenedBy(m_ports, mapping.path);
    const QSignalBlocker blocker(m_list);
    m_list->setCurrentItem(row ? m_list->topLevelItem(static_cast<int>(*row)) : nullptr);
}

void CPortDevicesDlg::ShowSelectedDevice() {
    const int row = m_list->indexOfTopLevelItem(m_list->currentItem());
    if (row < 0 || static_cast<size_t>(row) >= m_ports.size()) return;
    const InventoryPort& port = m_ports[static_cast<size_t>(row)];
    // The name that survives re-plugging the adapter.
    m_path->setText(QString::fromStdString(port.PathToStore()));
    m_hint->setText(port.access ? QStringLiteral("You may open %1.").arg(QString::fromStdString(port.path))
                                : QString::fromStdString(port.accessProblem));
}

void CPortDevicesDlg::TestDevice() {
    const QString typed = DevicePath();
    const std::string path = typed.isEmpty() ? CurrentComMapping(ComNumber()).path : typed.toStdString();
    m_testResult->setText(QStringLiteral("Testing %1...").arg(QString::fromStdString(path)));
    // The probe takes up to two seconds; meanwhile nothing else may start.
    setEnabled(false);
    DeviceTestResult result;
    {
        const ExchangeScope busy;
        result = ::TestDevice(path, ComNumber() - 1);
    }
    setEnabled(true);
    m_test->setFocus();
    m_testResult->setText(QString::fromStdString(result.text));
}

void CPortDevicesDlg::accept() {
    // In force at once; stored with the other settings when the program
    // exits with "Save Settings on Exit" checked. Empty means "no choice":
    // COM n goes back to its default device.
    ChoosePortDevice(ComNumber(), DevicePath().toStdString());
    QDialog::accept();
}
