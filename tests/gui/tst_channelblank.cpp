#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <memory>

#include "BlankingWrites.h"
#include "ModalDriver.h"
#include "SimulatedCommandWorld.h"
#include "dialogs/alignment/CChannelBlankDlg.h"
#include "grid/CSpreadSheet.h"
#include "protocol/CControllerLink.h"

namespace {

using Bytes = std::vector<uint8_t>;

CSpreadSheet* Grid(CChannelBlankDlg& d) { return d.findChild<CSpreadSheet*>("channelGrid"); }
void Click(CChannelBlankDlg& d, const char* name) { d.findChild<QPushButton*>(name)->click(); }

// Row by row, "x" for a checked cell, "." for an unchecked one and " " for a
// cell that stands for no channel (locked, empty).
QStringList Cells(CChannelBlankDlg& d) {
    CSpreadSheet* grid = Grid(d);
    QStringList rows;
    for (int row = 1; row <= grid->RowCount(); ++row) {
        QString text = grid->CellText(0, row) + ":";
        for (int col = 1; col <= 16; ++col) {
            if (grid->CellTypeAt(col, row) != CSpreadSheet::kCellTypeCheckBox)
                text += grid->IsLocked(col, row) && grid->CellText(col, row).isEmpty() ? ' ' : '?';
            else
                text += grid->CellText(col, row) == "1" ? 'x' : '.';
        }
        rows << text;
    }
    return rows;
}

}  // namespace

// The channel blank state editor over a simulated controller.
class TestChannelBlank : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<SimulatedCommandWorld> m_world;
    std::unique_ptr<CControllerLink> m_link;

    // Runs the editor on a map of N channels; returns the dialog's result
    // and, after OK, its map.
    int Edit(int channels, std::initializer_list<int> blanked, std::function<void(CChannelBlankDlg&)> act,
             CBlankingMap* edited = nullptr) {
        CBlankingMap map(channels);
        for (int c : blanked) map.Blank(c);
        ModalDriver<CChannelBlankDlg> driver(act);
        CChannelBlankDlg dialog(nullptr);
        dialog.SetMap(map);
        dialog.SetChannelCount(channels);
        dialog.SetLink(m_link.get());
        const int result = dialog.exec();
        if (edited) *edited = dialog.Map();
        return result;
    }
    std::vector<Bytes> Blocks() const { return BlankingWrites(*m_world->line); }

  private slots:
    void init() {
        m_world = std::make_unique<SimulatedCommandWorld>();
        m_link = std::make_unique<CControllerLink>(std::make_unique<sim::SimulatedPort>(m_world->line, 1, 9600));
    }
    void cleanup() {
        m_link.reset();
        m_world.reset();
    }

    // All twelve rows of 192 channels are in sight on opening, without a
    // scroll bar, on a screen with room for them.
    void opensWithEveryRowInSight() {
        bool allInSight = false, scrollBar = true;
        Edit(192, {}, [&](CChannelBlankDlg& d) {
            CSpreadSheet* grid = Grid(d);
            const int last = grid->rowViewportPosition(11) + grid->rowHeight(11);
            allInSight = grid->rowViewportPosition(0) == 0 && last <= grid->viewport()->height();
            scrollBar = grid->verticalScrollBar()->isVisible();
            Click(d, "cancelButton");
        });
        QVERIFY(allInSight);
        QVERIFY(!scrollBar);
    }

    void openingShowsTheMapAndOkUnchangedSendsNothing() {
        QStringList cells;
        QString title, current;
        CBlankingMap edited;
        const int result = Edit(32, {0, 17}, [&](CChannelBlankDlg& d) {
            cells = Cells(d);
            title = d.windowTitle();
            current = d.findChild<QLabel*>("currentChannel")->text();
            Click(d, "okButton");
        }, &edited);
        QCOMPARE(result, int(QDialog::Accepted));
        QCOMPARE(title, QString("Edit Channel Blank State"));
        QCOMPARE(cells, (QStringList{"1-16:x...............", "17-32:.x.............."}));
        QVERIFY(current.isEmpty());
        QVERIFY(Blocks().empty());
        QVERIFY(edited.IsBlanked(0) && edited.IsBlanked(17));
    }

    void editsSendTheirMap_data() {
        QTest::addColumn<int>("channels");
        QTest::addColumn<int>("how");
        QTest::addColumn<QStringList>("cells");
        QTest::addColumn<Bytes>("block");
        QTest::newRow("column 16 of row 1 is channel 15")
            << 32 << 0 << QStringList{"1-16:...............x", "17-32:................"} << BlockOf({0, 0x01});
        QTest::newRow("row chosen by its header")
            << 32 << 1 << QStringList{"1-16:xxxxxxxxxxxxxxxx", "17-32:................"} << BlockOf({0xFF, 0xFF});
        QTest::newRow("select all on a shorter last row")
            << 40 << 2
            << QStringList{"1-16:xxxxxxxxxxxxxxxx", "17-32:xxxxxxxxxxxxxxxx", "33-40:xxxxxxxx        "}
            << BlockOf({0xFF, 0xFF, 0xFF, 0xFF, 0xFF});
    }
    void editsSendTheirMap() {
        QFETCH(int, channels);
        QFETCH(int, how);
        QFETCH(QStringList, cells);
        QFETCH(Bytes, block);
        QStringList shown;
        const int result = Edit(channels, {}, [&](CChannelBlankDlg& d) {
            CSpreadSheet* grid = Grid(d);
            if (how == 0) {
                grid->SetCellText(16, 1, "1");
            } else if (how == 1) {
                QHeaderView* header = grid->verticalHeader();
                QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                                  QPoint(4, header->sectionViewportPosition(0) + 4));
                Click(d, "blankSelectedButton");
            } else {
                Click(d, "selectAllButton");
                Click(d, "blankSelectedButton");
            }
            shown = Cells(d);
            Click(d, "okButton");
        });
        QCOMPARE(result, int(QDialog::Accepted));
        QCOMPARE(shown, cells);
        QCOMPARE(Blocks(), std::vector<Bytes>{block});
    }

    void clearSelectedAndAnEmptySelection() {
        QStringList cleared;
        Edit(16, {1, 2, 3}, [&](CChannelBlankDlg& d) {
            Click(d, "blankSelectedButton");  // nothing selected: a beep, nothing else
            Click(d, "selectAllButton");
            Click(d, "clearSelectedButton");
            cleared = Cells(d);
            d.reject();
        });
        QCOMPARE(cleared, QStringList{"1-16:................"});
        const std::vector<ScriptedUi::Call> beeps = m_world->ui.CallsOf(ScriptedUi::Kind::Beep);
        QCOMPARE(beeps.size(), size_t(1));
        QCOMPARE(beeps.front().beep, BeepKind::Exclamation);
        QVERIFY(Blocks().empty());  // Cancel sends nothing
    }

    void failedSendStaysOpenWithTheEditsKept() {
        m_world->line->Controller().ScriptReply("W", {0x1C, 'A', 'X', 0x0A});
        QStringList afterFailure;
        bool openAfterFailure = false;
        const int result = Edit(16, {}, [&](CChannelBlankDlg& d) {
            Grid(d)->SetCellText(3, 1, "1");
            Click(d, "okButton");
            openAfterFailure = d.isVisible();
            afterFailure = Cells(d);
            Click(d, "okButton");
        });
        QCOMPARE(result, int(QDialog::Accepted));
        QVERIFY(openAfterFailure);
        QCOMPARE(afterFailure, QStringList{"1-16:..x............."});
        QCOMPARE(m_world->ui.Messages(),
                 std::vector<std::string>{"Unable to download blanking fields to controller."});
        QCOMPARE(Blocks().size(), size_t(2));
        QCOMPARE(m_world->line->Model().blanking[0], uint8_t(0x20));
    }
};

QTEST_MAIN(TestChannelBlank)
#include "tst_channelblank.moc"
