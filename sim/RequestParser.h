#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace sim {

// One request cut out of the byte stream from the host.
struct Request {
    enum class Kind {
        Probe,   // the lone byte 0xF8
        Scan,    // 0xF8, id, 'S'
        Framed,  // ESC, id, letter ... (length by letter; unknown letters end at CR)
        Noise,   // bytes that start no request
    };
    Kind kind = Kind::Noise;
    std::vector<uint8_t> bytes;
};

// Cuts requests out of the byte stream. The protocol has no length field, so
// framed requests are measured by their letter. The probe is a single 0xF8
// and the scan request starts with the same byte: an 0xF8 followed by two
// bytes of which the second is 'S' is a scan request, an 0xF8 followed by
// anything else, or by nothing when the burst ends, is a probe.
class RequestParser {
  public:
    void Feed(const uint8_t* bytes, size_t count, std::vector<Request>& out);
    // No more bytes follow for now: a waiting 0xF8 is a probe, and collected
    // noise is handed out. A partial framed request stays.
    void EndOfBurst(std::vector<Request>& out);
    // Drops whatever is pending (a frame cut off by silence or a change of
    // line speed), handing it out as noise.
    void Reset(std::vector<Request>& out);
    bool WaitingOnProbe() const { return m_state == State::AfterF8 || m_state == State::AfterF8Id; }
    bool HasPartialFrame() const { return m_state == State::Frame; }

    // The length of a framed request for its letter; 0 for an unknown letter.
    static size_t FramedLength(uint8_t letter);
    static constexpr size_t kLongestFrame = 158;

  private:
    enum class State { Idle, AfterF8, AfterF8Id, Frame };

    void Step(uint8_t byte, std::vector<Request>& out);
    void Emit(Request::Kind kind, std::vector<Request>& out);
    void FlushNoise(std::vector<Request>& out);

    State m_state = State::Idle;
    std::vector<uint8_t> m_pending;
    std::vector<uint8_t> m_noise;
};

}  // namespace sim
