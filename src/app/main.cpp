#include <QApplication>
#include <iostream>

#include "app/CVeltrixApp.h"
#include "app/InfoOptions.h"

int main(int argc, char* argv[]) {
    if (const auto status = AnswerInfoOptions(argc, argv, std::cout)) return *status;
    QApplication application(argc, argv);
    CVeltrixApp veltrix;
    if (!veltrix.InitInstance()) return 1;
    return QApplication::exec();
}
