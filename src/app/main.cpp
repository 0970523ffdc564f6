#include <QApplication>
#include <iostream>
#include <memory>

#include "app/CVeltrixApp.h"
#include "app/InfoOptions.h"
#include "app/ScreenshotTour.h"

int main(int argc, char* argv[]) {
    if (const auto status = AnswerInfoOptions(argc, argv, std::cout)) return *status;
    QApplication application(argc, argv);
    CVeltrixApp veltrix;

    // Armed before start-up so that it catches the splash; its later steps
    // run once the main frame exists.
    std::unique_ptr<ScreenshotTour> tour;
    if (const QString folder = qEnvironmentVariable("VELTRIX_SCREENSHOTS"); !folder.isEmpty()) {
        tour = std::make_unique<ScreenshotTour>(folder);
        tour->Start();
    }
    if (!veltrix.InitInstance()) return 1;
    if (tour) tour->SetMainFrame(veltrix.MainFrame());
    return QApplication::exec();
}
