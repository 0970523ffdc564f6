#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <functional>

#include "ModalDriver.h"
#include "app/CAboutDlg.h"
#include "platform/ProgramVersion.h"
#include "app/CMainFrame.h"
#include "app/CSplashDlg.h"
#include "app/CVeltrixApp.h"
#include "platform/KeyLockState.h"
#include "app/MainMenu.h"
#include "app/QtUiServices.h"
#include "platform/EventPump.h"
#include "platform/SettingsStore.h"

namespace {

// Runs check on the modal dialog once it is up (QMessageBox, QFileDialog...).
// Runs check on the next modal widget. A failed check closes the dialog, so
// the test ends with its failure instead of waiting on the dialog forever.
void WhenModal(std::function<void(QWidget*)> check) {
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, check] {
        if (QWidget* modal = CurrentModalWidget()) {
            timer->stop();
            timer->deleteLater();
            check(modal);
            if (QTest::currentTestFailed())
                if (auto* dialog = qobject_cast<QDialog*>(modal)) dialog->reject();
        }
    });
    timer->start(20);
}

void WriteFile(const QString& path, const QByteArray& text) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(text);
}

}  // namespace

class AppShellTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

  private slots:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_dir.filePath("config"));
        qputenv("VELTRIX_PROFILE", m_dir.filePath("profile.ini").toLocal8Bit());
        qputenv("XDG_STATE_HOME", m_dir.filePath("state").toLocal8Bit());
    }

    void splashIsCentredAtThePictureSizeAndClosesAfterTwoSeconds() {
        CSplashDlg splash;
        QVERIFY(splash.HasPicture());
        QElapsedTimer elapsed;
        elapsed.start();
        QRect shown;
        QTimer::singleShot(300, [&] { shown = splash.geometry(); });
        QCOMPARE(splash.exec(), int(QDialog::Accepted));
        const qint64 ms = elapsed.elapsed();
        QVERIFY2(ms >= 1900 && ms < 4000, QByteArray::number(ms));

        const QRect desktop = splash.screen()->geometry();
        const QPixmap picture(":/splash.png");
        QCOMPARE(shown.size(), picture.size());
        QCOMPARE(shown.left(), desktop.left() + (desktop.width() - picture.width()) / 2);
        QCOMPARE(shown.top(), desktop.top() + (desktop.height() - picture.height()) / 2);
    }

    void splashEndsEarlyOnEnterOrEsc_data() {
        QTest::addColumn<int>("key");
        QTest::newRow("enter") << int(Qt::Key_Return);
        QTest::newRow("esc") << int(Qt::Key_Escape);
    }

    void splashEndsEarlyOnEnterOrEsc() {
        QFETCH(int, key);
        CSplashDlg splash;
        QElapsedTimer elapsed;
        elapsed.start();
        QTimer::singleShot(100, [&] { QTest::keyClick(&splash, Qt::Key(key)); });
        splash.exec();
        QVERIFY(elapsed.elapsed() < 1500);
    }

    void splashWithoutPictureKeepsItsSizeAndStillCloses() {
        CSplashDlg splash(nullptr, m_dir.filePath("missing.png"));
        QVERIFY(!splash.HasPicture());
        const QSize before = splash.size();
        QSize shown;
        QTimer::singleShot(300, [&] { shown = splash.size(); });
        QCOMPARE(splash.exec(), int(QDialog::Accepted));
        QCOMPARE(shown, before);
    }

    void aboutBoxShowsItsFourLinesAndClosesWithOk() {
        CAboutDlg about;
        QCOMPARE(about.windowTitle(), QString("About Veltrix"));
        const QStringList lines = about.Text().split('\n');
        QCOMPARE(lines.size(), 4);
        QCOMPARE(lines[0], QString("Multiple Output VELTRIX Application"));
        QCOMPARE(lines[1], QString("Version 2.0"));
        QVERIFY(lines[2].startsWith("Copyright"));
        QCOMPARE(lines[3], QString("All Rights Reserved"));
        QVERIFY(about.VersionText().startsWith(QString("veltrix ") + ProgramVersion()));
        QTimer::singleShot(50, [&] {
            auto* ok = about.findChild<QPushButton*>();
            QVERIFY(ok);
            QCOMPARE(ok->text(), QString("OK"));
            ok->click();
        });
        QCOMPARE(about.exec(), int(QDialog::Accepted));
    }

    void startUpInstallsThePlatformAndFindsTheHelpFile() {
        const QString previous = QDir::currentPath();
        QDir().mkpath(m_dir.filePath("withhelp"));
        QDir().mkpath(m_dir.filePath("withouthelp"));
        WriteFile(m_dir.filePath("withhelp/quorvel.hlp"), "help");

        QDir::setCurrent(m_dir.filePath("withouthelp"));
        {
            CVeltrixApp app;
            QVERIFY(app.InitInstance(false));
            QCOMPARE(app.HelpFileFlag(), 0);
            QVERIFY(!app.MainFrame()->Action(kCmdHelpIndex)->isEnabled());
            QCOMPARE(app.MainFrame()->windowTitle(), QString("Multiple Output VELTRIX 2.0"));
            QVERIFY(app.MainFrame()->isVisible());
            QVERIFY(Settings() != nullptr);
            QVERIFY(dynamic_cast<QtUiServices*>(&Ui()) != nullptr);

            // The pump hook runs pending events.
            bool ran = false;
            QMetaObject::invokeMethod(
                qApp, [&] { ran = true; }, Qt::QueuedConnection);
            RunEventPumpHook();
            QVERIFY(ran);
        }
        // Everything the application installed goes with it.
        QVERIFY(Settings() == nullptr);
        QVERIFY(dynamic_cast<QtUiServices*>(&Ui()) == nullptr);

        QDir::setCurrent(m_dir.filePath("withhelp"));
        {
            CVeltrixApp app;
            QVERIFY(app.InitInstance(false));
            QCOMPARE(app.HelpFileFlag(), 1);
            QVERIFY(app.MainFrame()->Action(kCmdHelpIndex)->isEnabled());
            // Found once: removing the file later changes nothing.
            QFile::remove(m_dir.filePath("withhelp/quorvel.hlp"));
            QCOMPARE(app.HelpFileFlag(), 1);
        }
        QDir::setCurrent(previous);
    }

    void keyLockStateReadsTheKeyboardLeds() {
        const QString leds = m_dir.filePath("leds");
        WriteFile(leds + "/input3::capslock/brightness", "1\n");
        WriteFile(leds + "/input3::numlock/brightness", "0\n");
        WriteFile(leds + "/input7::numlock/brightness", "1\n");
        WriteFile(leds + "/input3::scrolllock/brightness", "0\n");
        WriteFile(leds + "/phy0-led/brightness", "1\n");
        const KeyLockState state = ReadKeyLockState(leds.toStdString());
        QVERIFY(state.caps);
        QVERIFY(state.num);  // any keyboard with its lock lit
        QVERIFY(!state.scroll);

        const KeyLockState none = ReadKeyLockState(m_dir.filePath("no-leds").toStdString());
        QVERIFY(!none.caps && !none.num && !none.scroll);
    }

    void filterNotationBecomesQtNameFilters() {
        QCOMPARE(QtUiServices::TranslateFilter("PSF Files (*.PSF) |*.PSF||"),
                 QStringList{"PSF Files (*.PSF)"});
        QCOMPARE(QtUiServices::TranslateFilter("BFS Files|*.BFS|All Files (*.*)|*.*||"),
                 (QStringList{"BFS Files (*.BFS)", "All Files (*.*)"}));
        QCOMPARE(QtUiServices::TranslateFilter("Tables|*.txt;*.csv||"),
                 QStringList{"Tables (*.txt *.csv)"});
        QVERIFY(QtUiServices::TranslateFilter("").isEmpty());
    }

    void messageBoxIsTitledWithTheAppNameAndAnswersWithTheButton_data() {
        QTest::addColumn<int>("buttons");
        QTest::addColumn<int>("icon");
        QTest::addColumn<int>("expectedIcon");
        QTest::addColumn<int>("press");
        QTest::addColumn<int>("expected");
        QTest::newRow("yes/no stop, no")
            << int(MsgButtons::YesNo) << int(MsgIcon::Stop) << int(QMessageBox::Critical)
            << int(QMessageBox::No) << int(MsgResult::No);
        QTest::newRow("yes/no/cancel, yes")
            << int(MsgButtons::YesNoCancel) << int(MsgIcon::Question) << int(QMessageBox::Question)
            << int(QMessageBox::Yes) << int(MsgResult::Yes);
    }

    void messageBoxIsTitledWithTheAppNameAndAnswersWithTheButton() {
        QFETCH(int, buttons);
        QFETCH(int, icon);
        QFETCH(int, expectedIcon);
        QFETCH(int, press);
        QFETCH(int, expected);
        QtUiServices ui;
        WhenModal([&](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            QVERIFY(box);
            QCOMPARE(box->windowTitle(), QString("Multiple Output VELTRIX 2.0"));
            QCOMPARE(box->text(), QString("Unable to open 31\nPort not found\n"));
            QCOMPARE(int(box->icon()), expectedIcon);
            box->button(QMessageBox::StandardButton(press))->click();
        });
        const MsgResult result = ui.MessageBox("Unable to open 31\nPort not found\n",
                                               MsgButtons(buttons), MsgIcon(icon));
        QCOMPARE(int(result), expected);
    }

    void savePromptAddsTheDefaultExtension() {
        QtUiServices ui;
        FilePrompt prompt{"PSF Files (*.PSF) |*.PSF||", "PSF", true, false, {}};
        const QString folder = m_dir.filePath("save");
        QDir().mkpath(folder);
        WhenModal([&](QWidget* modal) {
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            QVERIFY(dialog);
            QCOMPARE(dialog->nameFilters(), QStringList{"PSF Files (*.PSF)"});
            QCOMPARE(dialog->acceptMode(), QFileDialog::AcceptSave);
            QVERIFY(!dialog->testOption(QFileDialog::DontConfirmOverwrite));
            // Typed as a user would: selectFile() does not always reach the
            // name field when the folder is the one the dialog showed last.
            dialog->setDirectory(folder);
            auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
            QVERIFY(name);
            name->setText("original");
            QMetaObject::invokeMethod(dialog, "accept");
        });
        const std::optional<std::string> path = ui.PromptSaveFile(prompt);
        QVERIFY(path.has_value());
        QCOMPARE(QString::fromStdString(*path), folder + "/original.PSF");
    }

    // The capture holds the program's own clicks back without a pointer
    // grab, which would hold back every other application's too.
    void mouseCaptureHoldsClicksWithinTheProgramOnly() {
        QtUiServices ui;
        QWidget window;
        auto* button = new QPushButton("Go", &window);
        window.resize(200, 100);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        ui.SetMainWindow(&window);
        int clicks = 0;
        connect(button, &QPushButton::clicked, [&] { ++clicks; });

        ui.CaptureMouse();
        QCOMPARE(QWidget::mouseGrabber(), nullptr);
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(clicks, 0);

        ui.ReleaseMouse();
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(clicks, 1);
    }

    void waitCursorFollowsTheCount() {
        QtUiServices ui;
        QVERIFY(!QApplication::overrideCursor());
        ui.BeginWaitCursor();
        ui.BeginWaitCursor();
        QVERIFY(QApplication::overrideCursor());
        QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
        ui.EndWaitCursor();
        QVERIFY(QApplication::overrideCursor());
        QApplication::changeOverrideCursor(Qt::ArrowCursor);  // something else changed it
        ui.RestoreWaitCursor();
        QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
        ui.EndWaitCursor();
        ui.EndWaitCursor();  // never below zero
        QVERIFY(!QApplication::overrideCursor());
        QCOMPARE(ui.WaitCursorCount(), 0);
    }
};

QTEST_MAIN(AppShellTest)
#include "tst_appshell.moc"
