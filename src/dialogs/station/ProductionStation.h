#pragma once

class QWidget;

// VELTRIX > Production Station...: the station dialog on the main window's
// port. A build without the station (no SQLite or toml11) has no such item.
bool ProductionStationAvailable();
void RunProductionStation(QWidget* parent, int portIndex);
