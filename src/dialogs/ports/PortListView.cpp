#include "dialogs/ports/PortListView.h"

#include <QComboBox>
#include <QHeaderView>
#include <QTreeWidget>

QComboBox* MakeComNumberBox(QWidget* parent, int comNumber, int menuPorts) {
    auto* box = new QComboBox(parent);
    box->setObjectName(QStringLiteral("comNumber"));
    for (int n = 1; n <= menuPorts; ++n) box->addItem(QStringLiteral("COM%1").arg(n), n);
    if (comNumber > menuPorts) box->addItem(QStringLiteral("COM%1").arg(comNumber), comNumber);
    const int current = box->findData(comNumber);
    box->setCurrentIndex(current < 0 ? 0 : current);
    return box;
}

QTreeWidget* MakePortList(QWidget* parent, const QStringList& extraColumns) {
    auto* list = new QTreeWidget(parent);
    list->setObjectName(QStringLiteral("devices"));
    list->setHeaderLabels(QStringList{QStringLiteral("Device"), QStringLiteral("Description"),
                                      QStringLiteral("Stable path"), QStringLiteral("COM"), QStringLiteral("Access")} +
                          extraColumns);
    list->setRootIsDecorated(false);
    list->setAllColumnsShowFocus(true);
    list->header()->setStretchLastSection(false);
    for (int column = 0; column < list->columnCount(); ++column)
        list->header()->setSectionResizeMode(column, QHeaderView::ResizeToContents);
    list->header()->setSectionResizeMode(1, QHeaderView::Stretch);
    list->setMinimumSize(720, 180);
    return list;
}

void FillPortList(QTreeWidget* list, const std::vector<InventoryPort>& ports, const QStringList& extraColumns) {
    list->clear();
    for (const InventoryPort& port : ports) {
        auto* item = new QTreeWidgetItem(list);
        item->setText(0, QString::fromStdString(port.path));
        item->setText(1, QString::fromStdString(port.details.description));
        item->setToolTip(1, item->text(1));
        item->setText(2, QString::fromStdString(port.details.stablePath));
        item->setToolTip(2, item->text(2));
        item->setText(3, port.com ? QStringLiteral("COM%1").arg(*port.com) : QString());
        QString access = QStringLiteral("yes");
        if (!port.details.present)
            access = QStringLiteral("not present");
        else if (!port.access)
            access = QStringLiteral("no (group %1)").arg(QString::fromStdString(port.group));
        item->setText(4, access);
        item->setToolTip(4, QString::fromStdString(port.accessProblem));
        for (int extra = 0; extra < extraColumns.size(); ++extra) item->setText(kPortListColumns + extra, {});
    }
}

std::optional<size_t> RowOpenedBy(const std::vector<InventoryPort>& ports, const std::string& path) {
    for (size_t row = 0; row < ports.size(); ++row)
        if (SameDevice(ports[row].path, path)) return row;
    return std::nullopt;
}
