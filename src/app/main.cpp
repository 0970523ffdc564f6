#include <QApplication>

#include "app/CVeltrixApp.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    CVeltrixApp veltrix;
    if (!veltrix.InitInstance()) return 1;
    return QApplication::exec();
}
