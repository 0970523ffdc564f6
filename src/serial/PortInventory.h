#pragma once

#include <optional>
#include <string>
#include <vector>

#include "serial/PortDetails.h"

// The port inventory: every serial device a user might mean, with what is
// known about each without opening it. Qt-free and the same on every OS;
// what the OS tells comes through PortDetails.h and PortDeviceList.h.
//
// Listed, each once (paths that lead to the same device count as one):
// the serial devices present, every device a COM number is mapped to (by
// VELTRIX_COM<n>, the Port Devices choice or the settings, whether it is
// there or not), and the paths asked about.

struct InventoryPort {
    std::string path;          // as listed, mapped or asked about
    PortDetails details;       // present, stable path, description, ...
    bool access = false;       // this user may open it
    std::string accessProblem; // why not, naming the owning group; empty when access
    std::string group;         // the group that owns the device
    std::vector<PortHolder> heldBy;
    std::optional<int> com;    // the COM number that opens it

    // The path to store for the device: its stable path where it has one.
    const std::string& PathToStore() const { return details.stablePath.empty() ? path : details.stablePath; }
};

std::vector<InventoryPort> TakePortInventory(const std::vector<std::string>& namedPaths = {},
                                             const InventoryRoot& root = {});
// One path as the inventory describes it.
InventoryPort DescribeInventoryPort(const std::string& path, const InventoryRoot& root = {});

// True when both paths lead to one device (a by-id link and its node).
bool SameDevice(const std::string& a, const std::string& b);

// The COM numbers the menu and the tools know (1 to 255).
inline constexpr int kMaxComNumber = 255;

// The COM number that opens path: the lowest one mapped to it, else the
// one whose default device it is; nothing when none does.
std::optional<int> ComNumberOpening(const std::string& path);
