#include "command/ControllerSearch.h"

#include <chrono>

#include "model/CDiagnosticsRecord.h"
#include "protocol/CControllerLink.h"
#include "serial/CWindowsSerialPort.h"
#include "serial/DeviceForPath.h"

namespace {

// The port of one worker: it pumps no events (a worker thread must not) and
// ends a wait early once the search is cancelled, since a negative Idle
// ends a timed read at once. It tells its worker the rate it is set to.
class ProbePort : public CWindowsSerialPort {
  public:
    ProbePort(std::unique_ptr<CommDevice> device, const std::atomic<bool>& cancelled,
              std::function<void(long)> rateSet)
        // The controller's line, as a command opens it.
        : CWindowsSerialPort(std::move(device), 0, 9600, 'E', 8, 1, 0, 0, 0, 0, 0),
          m_cancelled(cancelled),
          m_rateSet(std::move(rateSet)) {}

    int Idle() override { return m_cancelled ? kSerialGeneralError : 0; }

    int SetLineParameters(long baud, int parity, int wordLength, int stopBits) override {
        if (baud > 0) m_rateSet(baud);
        return CWindowsSerialPort::SetLineParameters(baud, parity, wordLength, stopBits);
    }

  private:
    const std::atomic<bool>& m_cancelled;
    std::function<void(long)> m_rateSet;
};

}  // namespace

ControllerSearch::ControllerSearch(std::vector<std::string> paths, DeviceMaker makeDevice) {
    if (!makeDevice) makeDevice = MakeDeviceForPath;
    for (std::string& path : paths) {
        DeviceProbe probe;
        probe.path = std::move(path);
        m_probes.push_back(std::move(probe));
    }
    m_running = m_probes.size();
    m_workers.reserve(m_probes.size());
    for (size_t slot = 0; slot < m_probes.size(); ++slot)
        m_workers.emplace_back([this, slot, makeDevice] { Probe(slot, makeDevice); });
}

ControllerSearch::~ControllerSearch() {
    Cancel();
    for (std::thread& worker : m_workers) worker.join();
}

void ControllerSearch::Cancel() { m_cancelled = true; }

bool ControllerSearch::Finished() const { return m_running == 0; }

bool ControllerSearch::Wait(int timeoutMs) const {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!Finished()) {
        if (timeoutMs >= 0 && std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

std::vector<DeviceProbe> ControllerSearch::Snapshot() const {
    const std::lock_guard<std::mutex> hold(m_lock);
    return m_probes;
}

void ControllerSearch::Update(size_t slot, const std::function<void(DeviceProbe&)>& change) {
    const std::lock_guard<std::mutex> hold(m_lock);
    change(m_probes[slot]);
}

void ControllerSearch::Probe(size_t slot, const DeviceMaker& makeDevice) {
    std::string path;
    Update(slot, [&](DeviceProbe& probe) {
        path = probe.path;
        probe.state = DeviceProbe::State::Probing;
        probe.baud = 9600;
    });
    auto port = std::make_unique<ProbePort>(makeDevice(path), m_cancelled, [this, slot](long baud) {
        Update(slot, [baud](DeviceProbe& probe) { probe.baud = baud; });
    });
    DeviceProbe result;
    if (const int status = port->Status(); status != 0) {
        result.state = DeviceProbe::State::OpenFailed;
        result.error = port->ErrorName(status);
    } else {
        CControllerLink link(std::move(port));
        ProbeInfo info;
        if (!link.Connect(info)) {
            result.state = m_cancelled ? DeviceProbe::State::Cancelled : DeviceProbe::State::NoAnswer;
        } else {
            FoundController found;
            found.id = info.id;
            found.baud = kLinkBaudRates[link.BaudIndex()];
            CDiagnosticsRecord record;
            if (link.RequestDiagnostics(record)) {
                found.diagnosticsRead = true;
                found.partNumber = record.partNumber;
                found.dateCode = record.dateCode;
                found.firmware = record.firmwareVersion;
                found.systemState = record.systemState;
            }
            result.state = DeviceProbe::State::Found;
            result.controller = found;
        }
    }
    Update(slot, [&](DeviceProbe& probe) {
        probe.state = result.state;
        probe.error = result.error;
        probe.controller = result.controller;
        if (result.controller) probe.baud = result.controller->baud;
    });
    --m_running;
}

std::string DescribeFoundController(const FoundController& controller) {
    std::string text = std::string(1, static_cast<char>(controller.id)) + " at " + std::to_string(controller.baud) +
                       " baud";
    if (!controller.diagnosticsRead) return text + ", diagnostics not read";
    return text + ", part number " + controller.partNumber + ", date code " + controller.dateCode + ", firmware " +
           controller.firmware + ", " + SystemStateName(controller.systemState);
}
