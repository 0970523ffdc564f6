#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "serial/CommDevice.h"

// A controller that answered, as its probe and diagnostics describe it.
struct FoundController {
    uint8_t id = 0;
    long baud = 0;
    // The diagnostics identity; false when only the probe was answered.
    bool diagnosticsRead = false;
    std::string partNumber;
    std::string dateCode;
    std::string firmware;
    int systemState = 4;  // SystemStateName
};

// One device of a search, as far as its probe has come.
struct DeviceProbe {
    enum class State { Waiting, Probing, Found, NoAnswer, OpenFailed, Cancelled };
    std::string path;
    State state = State::Waiting;
    long baud = 0;      // the rate being tried while Probing
    std::string error;  // why the port did not open
    std::optional<FoundController> controller;

    bool Done() const { return state != State::Waiting && state != State::Probing; }
};

// Probes serial devices for a controller, all at once: one thread per
// device, each with its own port and link, running the link's own Connect
// (9600, 19200, 38400) and, where a controller answers, its diagnostics.
// A worker writes only its own device's record, under the search's lock;
// nothing global (settings, the trace, port choices, the UI) is touched
// from a worker, and their ports pump no events.
//
// The destructor cancels what still runs and waits for every worker;
// Cancel ends each probe at its next wait (within about 100 ms).
class ControllerSearch {
  public:
    // Makes the device for a path (by default the serial device of this OS,
    // or a device server for rfc2217:// and tcp:// names); called on the
    // worker's thread.
    using DeviceMaker = std::function<std::unique_ptr<CommDevice>(const std::string& path)>;

    explicit ControllerSearch(std::vector<std::string> paths, DeviceMaker makeDevice = {});
    ~ControllerSearch();
    ControllerSearch(const ControllerSearch&) = delete;
    ControllerSearch& operator=(const ControllerSearch&) = delete;

    void Cancel();
    bool Finished() const;
    // Waits until every probe is done or timeoutMs passed (-1: no limit);
    // true when all are done.
    bool Wait(int timeoutMs = -1) const;
    // Every device's record as it stands; safe while the search runs.
    std::vector<DeviceProbe> Snapshot() const;

  private:
    void Probe(size_t slot, const DeviceMaker& makeDevice);
    void Update(size_t slot, const std::function<void(DeviceProbe&)>& change);

    mutable std::mutex m_lock;
    std::vector<DeviceProbe> m_probes;
    std::atomic<bool> m_cancelled{false};
    std::atomic<size_t> m_running{0};
    std::vector<std::thread> m_workers;
};

// "A at 9600 baud, part number 123456, date code 1102, firmware 2.3,
// Operational" (the identity, for tables and messages).
std::string DescribeFoundController(const FoundController& controller);
