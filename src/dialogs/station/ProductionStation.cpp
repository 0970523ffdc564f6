#include "dialogs/station/ProductionStation.h"

#include "dialogs/station/CStationDlg.h"

bool ProductionStationAvailable() { return true; }

void RunProductionStation(QWidget* parent, int portIndex) {
    CStationDlg dialog(parent, portIndex + 1);
    dialog.exec();
}
