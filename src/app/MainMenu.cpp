#include "app/MainMenu.h"

#include <filesystem>

#include "serial/PortDevicePath.h"

std::string PortItemLabel(int n) {
    if (n >= 1 && n <= 9) return "COM&" + std::to_string(n);
    if (n == 21) return "C0M21";
    return "COM" + std::to_string(n);
}

std::string PortItemPrompt(int n) {
    if (n == 24) return "Device is connected to COM 24";
    return "Device is connected to COM" + std::to_string(n);
}

std::string PortItemDevice(int n) {
    const std::string path = ComPortDevicePath(n - 1);
    std::error_code error;
    const std::filesystem::path node = std::filesystem::canonical(path, error);
    // A simulator's link or a by-id name reads best as the device it is now.
    return error ? path : node.string();
}

namespace {

std::vector<MenuItemSpec> BuildMenu() {
    std::vector<MenuItemSpec> items = {
        {"&VELTRIX", "", "&Diagnostics...\tF2", kCmdDiagnostics, "Executes Diagnostic Test"},
        {"&VELTRIX", "", "&Alignment...\tF3", kCmdAlignment, "Executes the Channel Alignment"},
        {"&VELTRIX", "", "&Edit PSF...\tF4", kCmdEditPsf, "Edit and execute a PSF"},
        {"&VELTRIX", "", "Set &Part Number...", kCmdSetPartNumber,
         "Sets the part number and date code in the controller."},
        {"&VELTRIX", "", "Production &Station...", kCmdProductionStation,
         "Programs, checks and records one controller after another."},
        {"&VELTRIX", "", "E&xit", kCmdExit,
         "Quit the application; prompts to save documents\nExit"},
    };
    for (int n = 1; n <= kPortItemCount; ++n)
        items.push_back({"&Options", "Serial Port", PortItemLabel(n), kCmdFirstPort + n - 1,
                         PortItemPrompt(n), true});
    items.push_back({"&Options", "", "Port &Devices...", kCmdPortDevices,
                     "Chooses the serial device behind each COM number."});
    items.push_back({"&Options", "", "Find &Controller...", kCmdFindController,
                     "Searches every serial port for a controller."});
    items.push_back({"&Options", "", "Change &History...", kCmdChangeHistory,
                     "Lists what each write to a controller replaced, to send it back or save it."});
    items.push_back({"&Options", "", "&Save Settings on Exit", kCmdSaveSettings,
                     "Save Settings when application exits.", true});
    items.push_back({"&Options", "", "Record Protocol &Trace", kCmdRecordTrace,
                     "Records every exchange with the controller in a trace file.", true});
    items.push_back({"&Help", "", "&Index", kCmdHelpIndex, ""});
    items.push_back({"&Help", "", "&About", kCmdAbout,
                     "Display program information, version number and copyright"});
    items.push_back({"&Help", "", "Save Service &Report...", kCmdServiceReport,
                     "Reads the controller and saves a report for remote support."});
    return items;
}

}  // namespace

const std::vector<MenuItemSpec>& MainMenuItems() {
    static const std::vector<MenuItemSpec> items = BuildMenu();
    return items;
}
