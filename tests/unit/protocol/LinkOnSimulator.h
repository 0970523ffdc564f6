#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/Clock.h"
#include "protocol/CControllerLink.h"
#include "sim/SimulatedPort.h"

// A link over a SimulatedPort in virtual time: time-outs cost nothing real.
class LinkOnSimulator : public ::testing::Test {
  protected:
    void SetUp() override {
        auto port = std::make_unique<sim::SimulatedPort>(line, 0, 9600);
        link = std::make_unique<CControllerLink>(std::move(port));
    }

    sim::ControllerModel& Model() { return line->Model(); }
    sim::FaultSet& Faults() { return line->Faults(); }

    // The requests the controller heard (noise and probes left out).
    std::vector<sim::LogEntry> Requests() const {
        std::vector<sim::LogEntry> out;
        for (const sim::LogEntry& e : line->RequestLog())
            if (e.kind != "probe" && e.kind != "noise") out.push_back(e);
        return out;
    }

    // The port calls in order as letters, consecutive block reads folded
    // into one: W write, R read, I flush input, O flush output, L line speed.
    std::string CallPattern() const {
        std::string pattern;
        for (const sim::PortEvent& e : line->Events()) {
            char c = '?';
            switch (e.kind) {
                case sim::PortEvent::Kind::Write:
                    c = 'W';
                    break;
                case sim::PortEvent::Kind::Read:
                    c = 'R';
                    break;
                case sim::PortEvent::Kind::FlushInput:
                    c = 'I';
                    break;
                case sim::PortEvent::Kind::FlushOutput:
                    c = 'O';
                    break;
                case sim::PortEvent::Kind::SetLine:
                    c = 'L';
                    break;
                case sim::PortEvent::Kind::Break:
                    c = 'B';
                    break;
            }
            if (c == 'R' && !pattern.empty() && pattern.back() == 'R') continue;
            pattern.push_back(c);
        }
        return pattern;
    }

    VirtualClock clock{1000};
    ScopedClock clockScope{clock};
    std::shared_ptr<sim::SimulatedLine> line = std::make_shared<sim::SimulatedLine>();
    std::unique_ptr<CControllerLink> link;
};

inline std::vector<uint8_t> Bytes(std::initializer_list<int> values) {
    std::vector<uint8_t> out;
    for (int v : values) out.push_back(static_cast<uint8_t>(v));
    return out;
}
