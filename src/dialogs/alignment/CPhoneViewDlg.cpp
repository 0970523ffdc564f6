#include "dialogs/alignment/CPhoneViewDlg.h"

#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>

#include "dialogs/alignment/QrCodeView.h"
#include "live/ServeAddress.h"
#include "platform/UiServices.h"

CPhoneViewDlg::CPhoneViewDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(tr("Show on Phone"));
    setModal(false);
    setAttribute(Qt::WA_DeleteOnClose);

    auto* intro = new QLabel(
        tr("Scan the code with a phone on the same network, or open the address in its browser. "
           "The page follows every scan; it can sound a tone while all beams are made."),
        this);
    intro->setWordWrap(true);

    m_code = new QrCodeView(this);
    m_code->setObjectName("qrCode");
    m_url = new QLabel(this);
    m_url->setObjectName("urlLabel");
    m_url->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QFont big = m_url->font();
    big.setPointSizeF(big.pointSizeF() * 1.15);
    big.setBold(true);
    m_url->setFont(big);
    m_viewers = new QLabel(this);
    m_viewers->setObjectName("viewersLabel");

    m_address = new QComboBox(this);
    m_address->setObjectName("addressBox");
    m_address->setEditable(true);
    for (const std::string& address : LocalIpv4Addresses()) m_address->addItem(QString::fromStdString(address));
    m_address->setCurrentText(QString::fromStdString(DefaultServeAddress()));
    m_port = new QSpinBox(this);
    m_port->setObjectName("portBox");
    m_port->setRange(0, 65535);
    m_port->setSpecialValueText(tr("any free"));
    auto* listen = new QPushButton(tr("&Listen"), this);
    listen->setObjectName("listenButton");
    connect(listen, &QPushButton::clicked, this, &CPhoneViewDlg::Listen);

    auto* where = new QFormLayout;
    auto* addressRow = new QHBoxLayout;
    addressRow->addWidget(m_address, 1);
    auto* portLabel = new QLabel(tr("&Port:"), this);
    portLabel->setBuddy(m_port);
    addressRow->addWidget(portLabel);
    addressRow->addWidget(m_port);
    addressRow->addWidget(listen);
    auto* addressLabel = new QLabel(tr("&Address:"), this);
    addressLabel->setBuddy(m_address);
    where->addRow(addressLabel, addressRow);

    // To send the address to a phone by other means (a message, a mail).
    m_copy = new QPushButton(tr("&Copy Address"), this);
    m_copy->setObjectName("copyButton");
    connect(m_copy, &QPushButton::clicked, this, [this] { QGuiApplication::clipboard()->setText(Url()); });
    auto* close = new QPushButton(tr("Close"), this);
    close->setObjectName("closeButton");
    connect(close, &QPushButton::clicked, this, &QDialog::close);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_viewers, 1);
    buttons->addWidget(m_copy);
    buttons->addWidget(close);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addWidget(m_code, 0, Qt::AlignHCenter);
    layout->addWidget(m_url, 0, Qt::AlignHCenter);
    layout->addLayout(where);
    layout->addLayout(buttons);

    m_viewerTimer = new QTimer(this);
    m_viewerTimer->setInterval(1000);
    connect(m_viewerTimer, &QTimer::timeout, this, &CPhoneViewDlg::ShowViewers);
    setMinimumWidth(460);
    ShowServing();
}

CPhoneViewDlg::~CPhoneViewDlg() = default;

bool CPhoneViewDlg::Listen() {
    std::string error;
    const bool started =
        m_server.Start(m_address->currentText().trimmed().toStdString(), m_port->value(), error);
    ShowServing();
    if (!started) Ui().MessageBox(error, MsgButtons::Ok, MsgIcon::Exclamation);
    if (started && m_last) m_server.Publish(*m_last);
    return started;
}

void CPhoneViewDlg::Publish(const LiveScan& scan) {
    m_last = scan;
    m_server.Publish(scan);
}

QString CPhoneViewDlg::Url() const { return QString::fromStdString(m_server.Url()); }

void CPhoneViewDlg::ShowServing() {
    const bool running = m_server.Running();
    m_code->SetText(running ? Url() : QString());
    m_code->setVisible(running);
    m_copy->setEnabled(running);
    m_url->setText(running ? Url() : tr("Not serving: choose an address of this computer and Listen."));
    if (running)
        m_viewerTimer->start();
    else
        m_viewerTimer->stop();
    ShowViewers();
    adjustSize();
}

void CPhoneViewDlg::ShowViewers() {
    const int viewers = m_server.Viewers();
    m_viewers->setText(!m_server.Running() ? QString()
                       : viewers == 0     ? tr("No phone is watching yet.")
                       : viewers == 1     ? tr("1 phone is watching.")
                                          : tr("%1 phones are watching.").arg(viewers));
}

void CPhoneViewDlg::done(int result) {
    // Nothing listens once the window that says so is gone.
    m_server.Stop();
    m_viewerTimer->stop();
    QDialog::done(result);
}
