#pragma once

#include <QStringList>
#include <optional>
#include <vector>

#include "serial/PortInventory.h"

class QComboBox;
class QTreeWidget;
class QWidget;

// The pieces Port Devices and Find Controller share: the COM number chooser
// and the list of the port inventory, one row per device.

// "COM1" to "COM24" (and comNumber beyond them, as a stored index may name
// one), comNumber chosen.
QComboBox* MakeComNumberBox(QWidget* parent, int comNumber, int menuPorts);

// Columns "Device", "Description", "Stable path", "COM", "Access", then
// extraColumns.
QTreeWidget* MakePortList(QWidget* parent, const QStringList& extraColumns);
inline constexpr int kPortListColumns = 5;
// Rewrites the rows (the extra columns are left empty).
void FillPortList(QTreeWidget* list, const std::vector<InventoryPort>& ports, const QStringList& extraColumns);

// The row of the device path leads to.
std::optional<size_t> RowOpenedBy(const std::vector<InventoryPort>& ports, const std::string& path);
