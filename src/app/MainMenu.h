#pragma once

#include <string>
#include <vector>

// Command ids of the main menu. The controller commands and the port items
// keep the numbers the rest of the system knows them by.
enum MainCommand : int {
    kCmdDiagnostics = 32771,
    kCmdAlignment = 32772,
    kCmdEditPsf = 32773,
    kCmdSetPartNumber = 32774,
    kCmdSaveSettings = 32775,
    kCmdFirstPort = 32776,  // COM1; COM24 is kCmdFirstPort + 23
    kCmdLastPort = 32799,
    kCmdPortDevices = 32800,  // Linux only: maps COM numbers to devices
    kCmdRecordTrace = 32810,    // traces every exchange to a file
    kCmdServiceReport = 32811,  // writes a report for remote support
    kCmdFindController = 32812, // probes every serial device for a controller
    kCmdChangeHistory = 32813,  // what each write replaced, to restore or save
    kCmdProductionStation = 32814,  // programs and records one unit after another
    kCmdAbout = 57664,
    kCmdExit = 57665,
    kCmdHelpIndex = 57666,
};

inline constexpr int kPortItemCount = 24;

// One item of the main menu as the frame builds it. The prompt is what the
// status bar shows while the item is highlighted; a "\n" separates it from
// the item's tool tip.
struct MenuItemSpec {
    std::string popup;    // "&VELTRIX", "&Options", "&Help"
    std::string submenu;  // "Serial Port" for the port items, else empty
    std::string text;     // caption, "\t" before the shortcut text
    int id = 0;
    std::string prompt;
    bool checkable = false;
};

// The whole menu in display order.
const std::vector<MenuItemSpec>& MainMenuItems();

// Label and prompt of Serial Port item n (1 to 24), quirks included: the
// original resource spells item 21 with a zero and puts a blank before 24.
std::string PortItemLabel(int n);
std::string PortItemPrompt(int n);
// What the shortcut column of item n shows: the device COM n opens, as the
// node a stable link leads to now ("/dev/ttyUSB0"), else the path itself.
std::string PortItemDevice(int n);
