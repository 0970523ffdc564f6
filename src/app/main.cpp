#include <QApplication>
#include <iostream>

#include "app/CVeltrixApp.h"
#include "app/InfoOptions.h"
#include "history/WriteRecord.h"
#include "platform/ProgramVersion.h"
#include "platform/TimerResolution.h"

int main(int argc, char* argv[]) {
    if (const auto status = AnswerInfoOptions(argc, argv, std::cout)) return *status;
    QApplication application(argc, argv);
    // The change history and audit log name the program that wrote.
    SetRecordingProgram("veltrix", ProgramVersion());
    // The delays between exchanges sleep in 1 ms steps (Windows' default is 15.6 ms).
    UseFineTimerResolution(true);
    CVeltrixApp veltrix;
    const int status = veltrix.InitInstance() ? QApplication::exec() : 1;
    UseFineTimerResolution(false);
    return status;
}
