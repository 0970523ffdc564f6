#include "app/ProductionStation.h"

bool ProductionStationAvailable() { return false; }
void RunProductionStation(QWidget*, int) {}
