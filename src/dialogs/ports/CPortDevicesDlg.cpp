#include "dialogs/ports/CPortDevicesDlg.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "command/DeviceTest.h"
#include "platform/ExchangeScope.h"
#include "serial/PortDevicePath.h"

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

CPortDevicesDlg::CPortDevicesDlg(QWidget* parent, int comNumber, std::string devRoot,
                                 std::string ttyClassRoot)
    : QDialog(parent), m_devRoot(std::move(devRoot)), m_ttyClassRoot(std::move(ttyClassRoot)) {
    setObjectName(QStringLiteral("portDevices"));
    setWindowTitle(QStringLiteral("Port Devices"));

    m_comNumber = new QComboBox(this);
    m_comNumber->setObjectName(QStringLiteral("comNumber"));
    for (int n = 1; n <= kMenuPorts; ++n) m_comNumber->addItem(QStringLiteral("COM%1").arg(n), n);
    // A stored index beyond the menu still names a COM number.
    if (comNumber > kMenuPorts)
        m_comNumber->addItem(QStringLiteral("COM%1").arg(comNumber), comNumber);
    const int current = m_comNumber->findData(comNumber);
    m_comNumber->setCurrentIndex(current < 0 ? 0 : current);

    m_mapping = new QLabel(this);
    m_mapping->setObjectName(QStringLiteral("mapping"));
    m_mapping->setWordWrap(true);

    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("devices"));
    m_list->setHeaderLabels(
        {QStringLiteral("Device"), QStringLiteral("Resolves to"), QStringLiteral("Access")});
    m_list->setRootIsDecorated(false);
    m_list->setAllColumnsShowFocus(true);
    m_list->header()->setStretchLastSection(false);
    m_list->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    m_list->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    m_list->header()->setSectionResizeMode(2, QHeaderView::ResizeToContents);
    m_list->setMinimumSize(560, 180);

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

    connect(m_comNumber, &QComboBox::currentIndexChanged, this, &CPortDevicesDlg::ShowMapping);
    connect(m_list, &QTreeWidget::currentItemChanged, this, &CPortDevicesDlg::ShowSelectedDevice);
    connect(refresh, &QPushButton::clicked, this, &CPortDevicesDlg::Refresh);
    connect(m_test, &QPushButton::clicked, this, &CPortDevicesDlg::TestDevice);
    connect(buttons, &QDialogButtonBox::accepted, this, &CPortDevicesDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    Refresh();
    ShowMapping();
}

int CPortDevicesDlg::ComNumber() const { return m_comNumber->currentData().toInt(); }

QString CPortDevicesDlg::DevicePath() const { return m_path->text().trimmed(); }

void CPortDevicesDlg::Refresh() {
    m_devices = ListPortDevices(m_devRoot, m_ttyClassRoot);
    m_list->clear();
    for (const PortDevice& device : m_devices) {
        auto* item = new QTreeWidgetItem(m_list);
        item->setText(0, QString::fromStdString(device.path));
        item->setText(
            1, device.target == device.path ? QString() : QString::fromStdString(device.target));
        item->setText(
            2, device.accessible
                   ? QStringLiteral("yes")
                   : QStringLiteral("no (group %1)").arg(QString::fromStdString(device.group)));
        item->setToolTip(2, QString::fromStdString(device.hint));
    }
    if (m_devices.empty())
        m_hint->setText(
            QStringLiteral("No serial devices found. A USB adapter shows up here "
                           "once it is plugged in: press Refresh."));
    else
        m_hint->clear();
}

void CPortDevicesDlg::ShowMapping() {
    const ComMapping mapping = CurrentComMapping(ComNumber());
    m_mapping->setText(MappingText(ComNumber(), mapping));
    m_path->setText(mapping.source == ComMapping::Source::Stored
                        ? QString::fromStdString(mapping.path)
                        : QString());
    // The listed device that COM n opens now, if any.
    for (int i = 0; i < m_list->topLevelItemCount(); ++i) {
        const PortDevice& device = m_devices[static_cast<size_t>(i)];
        if (device.path == mapping.path) {
            const QSignalBlocker blocker(m_list);
            m_list->setCurrentItem(m_list->topLevelItem(i));
            break;
        }
    }
}

void CPortDevicesDlg::ShowSelectedDevice() {
    const int row = m_list->indexOfTopLevelItem(m_list->currentItem());
    if (row < 0 || static_cast<size_t>(row) >= m_devices.size()) return;
    const PortDevice& device = m_devices[static_cast<size_t>(row)];
    m_path->setText(QString::fromStdString(device.path));
    m_hint->setText(
        device.accessible
            ? QStringLiteral("You may open %1.").arg(QString::fromStdString(device.path))
            : QString::fromStdString(device.hint));
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
