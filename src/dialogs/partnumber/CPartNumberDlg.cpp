#include "dialogs/partnumber/CPartNumberDlg.h"

#include <QFontMetrics>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <ctime>

#include "dialogs/partnumber/PartNumberRules.h"
#include "model/PartNumbers.h"
#include "platform/LocalTime.h"
#include "platform/IniFile.h"
#include "platform/UiServices.h"

namespace {

// Icon, minimise, maximise and close buttons and the margins of a title bar.
constexpr int kTitleBarExtras = 160;

std::tm LocalToday() {
    std::tm local{};
    ToLocalTime(std::time(nullptr), local);
    return local;
}

}  // namespace

CPartNumberDlg::CPartNumberDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(tr("Set Part Number and Date Code"));
    setModal(true);

    m_list = new QListWidget;
    m_list->setObjectName("partNumberList");
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setSortingEnabled(false);
    m_list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    auto* listGroup = new QGroupBox(tr("&Select Part Number"));
    auto* listLayout = new QVBoxLayout(listGroup);
    listLayout->addWidget(m_list);

    m_dateCode = new QLineEdit;
    m_dateCode->setObjectName("dateCodeEdit");
    m_dateCode->setReadOnly(true);
    // Looks as read-only as it is: the dialog's own background, not a field's.
    QPalette look = m_dateCode->palette();
    look.setColor(QPalette::Base, look.color(QPalette::Window));
    m_dateCode->setPalette(look);
    auto* dateGroup = new QGroupBox(tr("&Date Code"));
    auto* dateLayout = new QVBoxLayout(dateGroup);
    dateLayout->addWidget(m_dateCode);

    m_ok = new QPushButton(tr("OK"));
    m_ok->setObjectName("okButton");
    m_ok->setDefault(true);
    m_cancel = new QPushButton(tr("Cancel"));
    m_cancel->setObjectName("cancelButton");
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(m_ok);
    buttons->addWidget(m_cancel);
    buttons->addStretch();

    auto* groups = new QVBoxLayout;
    groups->addWidget(listGroup, 1);
    groups->addWidget(dateGroup);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(groups, 1);
    layout->addLayout(buttons);
    // Wide enough for the title bar to show the whole title next to the
    // window's icon and buttons, whatever the font.
    QFont titleFont = font();
    titleFont.setBold(true);
    resize(std::max(300, QFontMetrics(titleFont).horizontalAdvance(windowTitle()) + kTitleBarExtras), 240);

    connect(m_ok, &QPushButton::clicked, this, &CPartNumberDlg::accept);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);

    // The list first (its warnings come before the dialog shows), then the
    // date code.
    for (const std::string& value : FillPartNumbers(*OpenAppProfile()))
        m_list->addItem(QString::fromStdString(value));
    if (m_list->count() > 0) {
        m_list->setCurrentRow(0);
        m_partNumberText = m_list->item(0)->text().toStdString();
    }
    m_dateCodeText = MakeDateCode(LocalToday());
    m_dateCode->setText(QString::fromStdString(m_dateCodeText));
    m_list->setFocus();
}

std::string CPartNumberDlg::SelectedText() const {
    const QList<QListWidgetItem*> selected = m_list->selectedItems();
    return selected.isEmpty() ? std::string() : selected.first()->text().toStdString();
}

void CPartNumberDlg::accept() {
    const std::string chosen = SelectedText();
    if (const std::optional<std::string> refusal = PartNumberRefusal(chosen)) {
        Ui().MessageBox(*refusal, MsgButtons::Ok, MsgIcon::Exclamation);
        return;
    }
    m_partNumberText = chosen;
    QDialog::accept();
}
