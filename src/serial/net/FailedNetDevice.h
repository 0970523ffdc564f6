#pragma once

#include <string>
#include <utility>

#include "serial/CommDevice.h"

// A device server that cannot be opened at all: a malformed name, or a build
// without network devices. Open fails with the given code and text; nothing
// else can happen to a device that never opened.
class FailedNetDevice : public CommDevice {
public:
    FailedNetDevice(int error, std::string text) : m_error(error), m_text(std::move(text)) {}

    bool Open() override { return false; }
    void Close() override {}
    bool IsOpen() const override { return false; }

    bool GetState(CommState&) override { return false; }
    bool SetState(const CommState&) override { return false; }
    bool SetQueueSizes(uint32_t, uint32_t) override { return false; }
    bool GetTimeouts(CommTimeouts&) override { return false; }
    bool SetTimeouts(const CommTimeouts&) override { return false; }

    bool Read(uint8_t*, int, int& got) override {
        got = 0;
        return false;
    }
    bool Write(const uint8_t*, int, int& sent) override {
        sent = 0;
        return false;
    }

    bool SetModemLine(ModemLine, bool) override { return false; }
    bool SetBreak(bool) override { return false; }
    bool PurgeInput() override { return false; }
    bool PurgeOutput() override { return false; }

    int LastError() const override { return m_error; }
    bool Gone() const override { return false; }
    uint32_t LineErrors() override { return 0; }
    std::string FailureText() const override { return m_text; }

private:
    int m_error;
    std::string m_text;
};
