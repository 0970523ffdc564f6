#include "dialogs/station/ProductionStation.h"

bool ProductionStationAvailable() { return false; }
void RunProductionStation(QWidget*, int) {}
