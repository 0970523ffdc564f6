#include <QLabel>
#include <QPushButton>
#include <QtTest>
#include <filesystem>

#include "ModalDriver.h"
#include "app/QtEventPump.h"
#include "dialogs/diagnostics/CDiagnosticsCommand.h"
#include "dialogs/diagnostics/CDiagnosticsDlg.h"
#include "integration/sim/SimProcess.h"
#include "platform/UiServices.h"
#include "support/ScopedEnv.h"
#include "support/ScopedStateHome.h"
#include "support/ScriptedUi.h"

namespace {

// Descriptors of this process open on a device.
int DescriptorsOn(const std::string& device) {
    int count = 0;
    std::error_code error;
    for (const auto& fd : std::filesystem::directory_iterator("/proc/self/fd", error)) {
        std::error_code linkError;
        const std::string target = std::filesystem::read_symlink(fd.path(), linkError).string();
        count += !linkError && target.rfind(device, 0) == 0;
    }
    return count;
}

}  // namespace

// The desktop program's commands on a real pseudo-terminal whose adapter is
// pulled out and plugged in again while a dialog is open.
class TestReplug : public QObject {
    Q_OBJECT

  private slots:
    void init() { InstallQtEventPump(); }
    void cleanup() { RemoveQtEventPump(); }

    // The fault: the dialog kept the dead descriptor, and every button
    // blamed the controller afterwards.
    void diagnosticsRefreshNamesTheLostDeviceAndWorksOnceItIsBack() {
        ScopedStateHome state;
        const std::string link = state.dir.File("tty");
        SimProcess sim({"--link", link});
        QVERIFY(sim.WaitReady());
        const std::string firstDevice = sim.Device();
        ScopedEnv com2("VELTRIX_COM2", link);
        ScriptedUi ui;
        ScopedUi scopedUi(ui);

        QStringList partNumbers;
        int heldWhileOut = -1;
        bool unplugged = false;
        bool replugged = false;
        ModalDriver<CDiagnosticsDlg> driver([&](CDiagnosticsDlg& dialog) {
            const auto partNumber = [&] { return dialog.findChild<QLabel*>("partNumber")->text(); };
            auto* refresh = dialog.findChild<QPushButton*>("refreshButton");
            partNumbers << partNumber();
            unplugged = sim.Unplug();
            refresh->click();
            heldWhileOut = DescriptorsOn(firstDevice);
            replugged = sim.Replug();
            refresh->click();
            partNumbers << partNumber();
            dialog.findChild<QPushButton*>("exitButton")->click();
        });
        CDiagnosticsCommand command(nullptr, 1, 9600);
        QCOMPARE(command.Run(), 1);

        QVERIFY(unplugged && replugged);
        QCOMPARE(driver.Shown(), 1);
        QCOMPARE(ui.Messages(), (std::vector<std::string>{"Error reading diagnostics\n\nThe serial device " + link +
                                                          " was disconnected."}));
        QCOMPARE(heldWhileOut, 0);
        QCOMPARE(partNumbers, (QStringList{"123456", "123456"}));
    }
};

QTEST_MAIN(TestReplug)
#include "tst_replug.moc"
