#pragma once

#include <QComboBox>
#include <QTest>

#include "grid/CSpreadSheet.h"

// Picks an item of a list cell as a user does: the cursor onto the cell, F2
// opens its list, the item is chosen. False when no list opened.
inline bool ChooseListItem(CSpreadSheet* grid, int col, int row, int item) {
    grid->setFocus();
    grid->setCurrentCell(row - 1, col - 1);
    QTest::keyClick(grid, Qt::Key_F2);
    QComboBox* box = grid->OpenListEditor();
    if (!box) return false;
    box->setCurrentIndex(item);
    emit box->activated(item);
    QCoreApplication::processEvents();
    return true;
}
