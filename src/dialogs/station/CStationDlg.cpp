#include "dialogs/station/CStationDlg.h"

#include <QFont>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <ctime>

#include "model/PartNumbers.h"
#include "platform/IniFile.h"
#include "platform/LocalTime.h"
#include "platform/ProcessIdentity.h"
#include "platform/UiServices.h"
#include "serial/PortDevicePath.h"

namespace {

constexpr int kRecentUnits = 20;
enum RecentColumn { kTime, kResult, kPartNumber, kDateCode, kController, kReason, kColumns };

QString Qs(const std::string& text) { return QString::fromStdString(text); }

std::string LocalTimeText(int64_t utcMs, const char* format) {
    std::tm local{};
    ToLocalTime(static_cast<std::time_t>(utcMs / 1000), local);
    char text[32];
    std::strftime(text, sizeof text, format, &local);
    return text;
}

// The start of today, local time, as the log keeps times.
std::optional<int64_t> StartOfToday() { return ParseSince(LocalTimeText(NowUtcMs(), "%Y-%m-%d")); }

}  // namespace

// Hands what the worker learns to the dialog's thread, by value.
class CStationDlg::Observer : public StationObserver {
  public:
    explicit Observer(CStationDlg* dialog) : m_dialog(dialog) {}

    void WaitingForUnit() override {
        Post([](CStationDlg* d) {
            d->ShowPanel(QStringLiteral("WAITING"), QStringLiteral("Connect the next unit."), QString());
        });
    }
    void Step(UnitStep step) override {
        const QString text = QStringLiteral("Programming: %1...").arg(QString::fromUtf8(UnitStepName(step)));
        Post([text](CStationDlg* d) { d->ShowPanel(QStringLiteral("BUSY"), text, QString()); });
    }
    void UnitDone(const UnitOutcome& outcome, const RecordOutcome& logged) override {
        Post([outcome, logged](CStationDlg* d) { d->ShowUnit(outcome, logged); });
    }
    void Flushed(const FlushOutcome& flushed) override {
        const QString text = flushed.pending > 0
                                 ? QStringLiteral("Spooling: %1 records wait for the log (%2).")
                                       .arg(flushed.pending)
                                       .arg(Qs(flushed.error))
                                 : QStringLiteral("The spooled records were sent to the log.");
        Post([text](CStationDlg* d) { d->ShowLogState(text); });
    }
    void Ended() override {
        Post([](CStationDlg* d) {
            d->m_worker.Join();
            d->UpdateButtons();
            if (d->PanelWord() == QLatin1String("WAITING") || d->PanelWord() == QLatin1String("BUSY"))
                d->ShowPanel(QStringLiteral("STOPPED"), QString(), QString());
            emit d->stopped();
        });
    }

  private:
    template <typename F>
    void Post(F f) {
        CStationDlg* dialog = m_dialog;
        QMetaObject::invokeMethod(dialog, [dialog, f] { f(dialog); }, Qt::QueuedConnection);
    }
    CStationDlg* m_dialog;
};

CStationDlg::CStationDlg(QWidget* parent, int comNumber, UnitFactory factory)
    : QDialog(parent),
      m_comNumber(comNumber),
      m_device(ComPortDevicePath(comNumber - 1)),
      m_factory(std::move(factory)),
      m_observer(std::make_unique<Observer>(this)) {
    setObjectName(QStringLiteral("station"));
    setWindowTitle(QStringLiteral("Production Station"));

    m_recipePath = new QLineEdit(this);
    m_recipePath->setObjectName(QStringLiteral("recipePath"));
    m_recipePath->setReadOnly(true);
    m_recipePath->setPlaceholderText(QStringLiteral("Choose the recipe of the product being built"));
    m_browse = new QPushButton(QStringLiteral("&Recipe..."), this);
    m_browse->setObjectName(QStringLiteral("recipeButton"));
    m_deviceLabel = new QLabel(QStringLiteral("COM%1 (%2)").arg(comNumber).arg(Qs(m_device)), this);
    m_deviceLabel->setObjectName(QStringLiteral("device"));
    m_operator = new QLineEdit(this);
    m_operator->setObjectName(QStringLiteral("operator"));
    m_logLabel = new QLabel(this);
    m_logLabel->setObjectName(QStringLiteral("log"));
    m_logLabel->setWordWrap(true);

    auto* form = new QGridLayout;
    form->addWidget(new QLabel(QStringLiteral("Recipe:"), this), 0, 0);
    form->addWidget(m_recipePath, 0, 1);
    form->addWidget(m_browse, 0, 2);
    form->addWidget(new QLabel(QStringLiteral("Device:"), this), 1, 0);
    form->addWidget(m_deviceLabel, 1, 1, 1, 2);
    auto* operatorLabel = new QLabel(QStringLiteral("&Operator:"), this);
    operatorLabel->setBuddy(m_operator);
    form->addWidget(operatorLabel, 2, 0);
    form->addWidget(m_operator, 2, 1, 1, 2);
    form->addWidget(new QLabel(QStringLiteral("Log:"), this), 3, 0);
    form->addWidget(m_logLabel, 3, 1, 1, 2);

    // Big enough to read from two metres: the word in 72 pt bold.
    m_panel = new QFrame(this);
    m_panel->setObjectName(QStringLiteral("panel"));
    m_panel->setFrameShape(QFrame::StyledPanel);
    m_panel->setAutoFillBackground(true);
    m_panel->setMinimumHeight(220);
    m_word = new QLabel(m_panel);
    m_word->setObjectName(QStringLiteral("panelWord"));
    m_word->setAlignment(Qt::AlignCenter);
    QFont big = m_word->font();
    big.setPointSize(72);
    big.setBold(true);
    m_word->setFont(big);
    m_reason = new QLabel(m_panel);
    m_reason->setObjectName(QStringLiteral("panelReason"));
    m_reason->setAlignment(Qt::AlignCenter);
    m_reason->setWordWrap(true);
    QFont medium = m_reason->font();
    medium.setPointSize(18);
    medium.setBold(true);
    m_reason->setFont(medium);
    auto* panelLayout = new QVBoxLayout(m_panel);
    panelLayout->addWidget(m_word, 1);
    panelLayout->addWidget(m_reason);

    m_counts = new QLabel(this);
    m_counts->setObjectName(QStringLiteral("counts"));
    QFont countsFont = m_counts->font();
    countsFont.setPointSize(14);
    countsFont.setBold(true);
    m_counts->setFont(countsFont);

    m_recent = new QTableWidget(0, kColumns, this);
    m_recent->setObjectName(QStringLiteral("recentUnits"));
    m_recent->setHorizontalHeaderLabels({QStringLiteral("Time"), QStringLiteral("Result"),
                                         QStringLiteral("Part Number"), QStringLiteral("Date Code"),
                                         QStringLiteral("Controller"), QStringLiteral("Reason")});
    m_recent->verticalHeader()->hide();
    m_recent->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_recent->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_recent->horizontalHeader()->setStretchLastSection(true);
    m_recent->setMinimumHeight(160);

    m_start = new QPushButton(QStringLiteral("&Start"), this);
    m_start->setObjectName(QStringLiteral("startButton"));
    m_start->setDefault(true);
    m_stop = new QPushButton(QStringLiteral("S&top"), this);
    m_stop->setObjectName(QStringLiteral("stopButton"));
    m_close = new QPushButton(QStringLiteral("&Close"), this);
    m_close->setObjectName(QStringLiteral("closeButton"));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_counts, 1);
    buttons->addWidget(m_start);
    buttons->addWidget(m_stop);
    buttons->addWidget(m_close);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_panel, 2);
    layout->addLayout(buttons);
    layout->addWidget(new QLabel(QStringLiteral("Last %1 units of this station:").arg(kRecentUnits), this));
    layout->addWidget(m_recent, 1);
    resize(760, 680);

    connect(m_browse, &QPushButton::clicked, this, &CStationDlg::ChooseRecipe);
    connect(m_start, &QPushButton::clicked, this, &CStationDlg::StartStation);
    connect(m_stop, &QPushButton::clicked, this, &CStationDlg::StopStation);
    connect(m_close, &QPushButton::clicked, this, &CStationDlg::reject);

    ShowPanel(QStringLiteral("READY"), QStringLiteral("Choose a recipe, then Start."), QString());
    ShowCounts();
    UpdateButtons();
}

CStationDlg::~CStationDlg() {
    m_worker.Stop();
    m_worker.Join();
}

bool CStationDlg::Running() const { return m_worker.Running(); }
QString CStationDlg::PanelWord() const { return m_word->text(); }
QString CStationDlg::PanelReason() const { return m_reason->text(); }

void CStationDlg::reject() {
    // The unit being written is not left without a word: Stop first.
    if (m_worker.Running()) {
        StopStation();
        m_worker.Join();
    }
    QDialog::reject();
}

void CStationDlg::ChooseRecipe() {
    FilePrompt prompt;
    prompt.filter = "Recipes (*.toml) |*.toml|All Files (*.*) |*.*||";
    prompt.defaultExtension = "toml";
    prompt.mustExist = true;
    const std::optional<std::string> path = Ui().PromptOpenFile(prompt);
    if (path) LoadRecipeFile(*path);
}

bool CStationDlg::LoadRecipeFile(const std::string& path) {
    std::string error;
    const std::unique_ptr<ProfileFile> profile = OpenAppProfile();
    const ProfileFile* partNumbers = profile && HasPartNumbers(*profile) ? profile.get() : nullptr;
    std::optional<StationRecipe> recipe = LoadRecipe(path, partNumbers, error);
    if (!recipe) {
        Ui().MessageBox(error, MsgButtons::Ok, MsgIcon::Exclamation);
        return false;
    }
    std::optional<LogTarget> log = recipe->log;
    if (!log) log = DefaultLogTarget(error);
    if (!log) {
        Ui().MessageBox(error, MsgButtons::Ok, MsgIcon::Exclamation);
        return false;
    }
    m_recipe = std::move(recipe);
    m_log = std::move(log);
    m_recipePath->setText(Qs(path));
    m_logLabel->setText(Qs(m_log->shown));
    ReadLog();
    ShowPanel(QStringLiteral("READY"),
              QStringLiteral("Part number %1. Press Start.").arg(Qs(m_recipe->partNumber)), QString());
    UpdateButtons();
    return true;
}

void CStationDlg::ReadLog() {
    std::string error;
    const std::unique_ptr<StationLog> log = StationLog::Open(*m_log, error);
    LogQuery query;
    query.station = CurrentProcessIdentity().host;
    query.sinceUtcMs = StartOfToday();
    LogCounts counts;
    std::vector<UnitRecord> recent;
    LogQuery last;
    last.station = query.station;
    last.newest = kRecentUnits;
    if (!log || !log->Log().Count(query, counts, error) || !log->Log().Read(last, recent, error)) {
        ShowLogState(QStringLiteral("The log cannot be read now: %1").arg(Qs(error)));
        counts = {};
    }
    m_passed = static_cast<int>(counts.passed);
    m_failed = static_cast<int>(counts.failed);
    m_recent->setRowCount(0);
    for (int row = 0; row < static_cast<int>(recent.size()); ++row) {
        m_recent->insertRow(row);
        AddRecentRow(recent[row], row);
    }
    ShowCounts();
}

void CStationDlg::AddRecentRow(const UnitRecord& unit, int row) {
    const bool pass = unit.result == UnitRecord::Result::Pass;
    const QString cells[kColumns] = {Qs(LocalTimeText(unit.finishedAtMs, "%H:%M:%S")),
                                     pass ? QStringLiteral("PASS") : QStringLiteral("FAIL"),
                                     Qs(unit.partNumber),
                                     Qs(unit.dateCode),
                                     Qs(unit.controllerId),
                                     Qs(unit.reason)};
    for (int column = 0; column < kColumns; ++column) {
        auto* item = new QTableWidgetItem(cells[column]);
        if (column == kResult) {
            QFont font = item->font();
            font.setBold(true);
            item->setFont(font);
        }
        m_recent->setItem(row, column, item);
    }
}

void CStationDlg::StartStation() {
    if (!m_recipe || m_worker.Running()) return;
    std::string error;
    std::unique_ptr<StationLog> log = StationLog::Open(*m_log, error);
    if (!log) {
        Ui().MessageBox(error, MsgButtons::Ok, MsgIcon::Exclamation);
        return;
    }
    UnitContext context;
    context.station = CurrentProcessIdentity().host;
    context.device = m_device;
    context.operatorName = m_operator->text().toStdString();
    m_worker.Start(*m_recipe, context, m_factory(m_device, m_comNumber), std::move(log), *m_observer);
    ShowPanel(QStringLiteral("WAITING"), QStringLiteral("Connect the next unit."), QString());
    UpdateButtons();
}

void CStationDlg::StopStation() {
    m_worker.Stop();
    m_stop->setEnabled(false);
}

void CStationDlg::ShowPanel(const QString& word, const QString& reason, const QString& tone) {
    m_word->setText(word);
    m_reason->setText(reason);
    // Green or red behind white text; the word says it without colour.
    m_panel->setStyleSheet(tone.isEmpty() ? QString()
                                          : QStringLiteral("#panel { background: %1; } #panel QLabel { color: white; }")
                                                .arg(tone));
}

void CStationDlg::ShowUnit(const UnitOutcome& outcome, const RecordOutcome& logged) {
    const UnitRecord& unit = outcome.record;
    const bool pass = unit.result == UnitRecord::Result::Pass;
    if (pass) {
        ++m_passed;
        ShowPanel(QStringLiteral("PASS"),
                  QStringLiteral("Part number %1, date code %2").arg(Qs(unit.partNumber), Qs(unit.dateCode)),
                  QStringLiteral("#1b7a34"));
    } else {
        ++m_failed;
        QString reason = Qs(unit.reason);
        if (outcome.halfWritten) reason += QStringLiteral("\nProgram this unit again before it leaves the station.");
        ShowPanel(QStringLiteral("FAIL"), reason, QStringLiteral("#b0201a"));
    }
    m_recent->insertRow(0);
    AddRecentRow(unit, 0);
    while (m_recent->rowCount() > kRecentUnits) m_recent->removeRow(m_recent->rowCount() - 1);
    ShowCounts();
    if (logged.kind == RecordOutcome::Kind::Spooled)
        ShowLogState(QStringLiteral("Spooling: the log cannot take records now (%1); %2 waiting.")
                         .arg(Qs(logged.error))
                         .arg(logged.pending));
    else if (logged.kind == RecordOutcome::Kind::Lost)
        ShowLogState(QStringLiteral("The unit could not be recorded: %1").arg(Qs(logged.error)));
    else if (!outcome.recordsProblem.empty())
        ShowLogState(QStringLiteral("The unit was written, but the audit log does not show it: %1")
                         .arg(Qs(outcome.recordsProblem)));
    else
        ShowLogState(QString());
    emit unitShown();
}

void CStationDlg::ShowLogState(const QString& text) {
    m_logLabel->setText(m_log ? Qs(m_log->shown) + (text.isEmpty() ? QString() : QStringLiteral("\n") + text) : text);
}

void CStationDlg::ShowCounts() {
    m_counts->setText(QStringLiteral("Today: %1 passed, %2 failed").arg(m_passed).arg(m_failed));
}

void CStationDlg::UpdateButtons() {
    const bool running = m_worker.Running();
    m_browse->setEnabled(!running);
    m_operator->setEnabled(!running);
    m_start->setEnabled(!running && m_recipe.has_value());
    m_stop->setEnabled(running);
}
