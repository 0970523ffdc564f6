#pragma once

#include <memory>

#include "serial/RS232.h"
#include "serial/TraceLog.h"

// TracingPort: wraps any port (and owns it), forwards every operation and
// writes what moved on the line to a TraceLog. The wrapper mirrors the inner
// port's status, settings and byte counts, so callers see the same results as
// without it.
class TracingPort : public RS232 {
  public:
    TracingPort(std::unique_ptr<RS232> inner, std::shared_ptr<TraceLog> log);
    ~TracingPort() override;

    int ReadBlock(uint8_t* buffer, int count) override;
    int WriteBlock(const uint8_t* buffer, int count) override;
    int ReadByte() override;
    int WriteByte(int byte) override;
    int SetLineParameters(long baud, int parity, int wordLength, int stopBits) override;
    int ParityErrorSeen(int clear) override;
    int BreakSeen(int clear) override;
    int FramingErrorSeen(int clear) override;
    int OverrunSeen(int clear) override;
    int SendBreak(int ms) override;
    int InputOverflowSeen(int clear) override;
    int XonXoff(int setting) override;
    int Reserved1(int value) override;
    int Reserved2(int value) override;
    int Reserved3(int first, int second) override;
    int Reserved4() override;
    int Reserved5() override;
    int FlushInput() override;
    int FlushOutput() override;
    const char* ErrorName(int code) const override;
    int Idle() override;
    bool DeviceLost() const override { return m_inner->DeviceLost(); }
    int DeviceLossCount() const override { return m_inner->DeviceLossCount(); }

    RS232& Inner() { return *m_inner; }

  private:
    // Copies what the inner port changed into this one's fields.
    int Mirror(int result);

    std::unique_ptr<RS232> m_inner;
    std::shared_ptr<TraceLog> m_log;
    bool m_lost = false;
};

// Wraps port in a TracingPort when a trace is active (SetTraceFile or
// VELTRIX_TRACE); otherwise hands it back unchanged.
std::unique_ptr<RS232> TraceIfEnabled(std::unique_ptr<RS232> port);
