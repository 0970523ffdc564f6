#include "CliSession.h"
#include "CommandLine.h"
#include "ExitCodes.h"
#include "command/PortDoctor.h"
#include "serial/PortDevicePath.h"
#include "serial/PortInventory.h"

namespace {

int Doctor(CommandEnv& env) {
    DoctorRequest request;
    if (env.global.device) {
        request.path = *env.global.device;
        request.com = ComNumberOpening(request.path);
    } else {
        const int index = env.global.comNumber ? *env.global.comNumber - 1 : SavedPortIndex();
        request.path = ComPortDevicePath(index);
        request.com = index + 1;
    }
    const bool allOk = ExamineSerialDevice(request, [&env](const DoctorCheck& check) {
        env.out << (check.ok ? "OK       " : "PROBLEM  ") << check.text;
        if (!check.ok && !check.fix.empty()) env.out << ". Fix: " << check.fix;
        env.out << "\n";
        env.out.flush();
    });
    return allOk ? kExitOk : kExitController;
}

}  // namespace

void AddDoctorCommand(CLI::App& app, CommandEnv& env) {
    CLI::App* doctor = AddCommand(app, "doctor", "what keeps you from the controller, and how to mend it");
    doctor->footer(
        "Checks the device of --port N or --device PATH (default: the port the\n"
        "desktop program saved last, else COM2), one line each, OK or PROBLEM\n"
        "with the command that mends it: the device exists (else the devices\n"
        "present), you may open it (its group, dialout or uucp, and whether you\n"
        "must log in again), no other program holds it, ModemManager does not\n"
        "probe it, brltty does not take it (CH340, CP210x), and last a controller\n"
        "answers at 9600, 19200 or 38400 baud, with its identity. Exit status 0\n"
        "when every check is OK, else 1.");
    RunWhenChosen(doctor, env, [&env] { return Doctor(env); });
}
