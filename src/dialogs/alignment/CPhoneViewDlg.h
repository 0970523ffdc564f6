#pragma once

#include <QDialog>
#include <optional>

#include "live/LiveServer.h"

class QComboBox;
class QLabel;
class QPushButton;
class QSpinBox;
class QTimer;
class QrCodeView;

// "Show on Phone": serves the alignment dialog's beams to phones while it is
// open, and shows the address with a QR code to open it by.
//
// Modeless, so that the alignment loop keeps running beside it. The server
// listens only on the address chosen here (at first this computer's first
// IPv4 address that is not loopback) and stops when the dialog closes, or
// with the alignment dialog, its parent; a closed one is deleted. Publish
// never waits for a phone.
class CPhoneViewDlg : public QDialog {
    Q_OBJECT

  public:
    explicit CPhoneViewDlg(QWidget* parent);
    ~CPhoneViewDlg() override;

    // Starts listening on what address and port say; false (after its
    // message) when it could not.
    bool Listen();
    void Publish(const LiveScan& scan);

    const LiveServer& Server() const { return m_server; }
    QString Url() const;
    QComboBox* AddressBox() const { return m_address; }
    QSpinBox* PortBox() const { return m_port; }
    const QrCodeView* Code() const { return m_code; }

  public slots:
    // Close, Escape and the window's close box all end here.
    void done(int result) override;

  private:
    void ShowServing();
    void ShowViewers();

    LiveServer m_server;
    std::optional<LiveScan> m_last;  // for the phones after a new Listen
    QComboBox* m_address = nullptr;
    QSpinBox* m_port = nullptr;
    QLabel* m_url = nullptr;
    QLabel* m_viewers = nullptr;
    QPushButton* m_copy = nullptr;
    QrCodeView* m_code = nullptr;
    QTimer* m_viewerTimer = nullptr;
};
