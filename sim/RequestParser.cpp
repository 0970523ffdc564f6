#include "sim/RequestParser.h"

#include "model/FrameBytes.h"

namespace sim {

size_t RequestParser::FramedLength(uint8_t letter) {
    switch (letter) {
        case 'C':
            return 158;
        case 'D':
        case 'H':
        case 'V':
            return 4;
        case 'W':
            return 54;
        case 'X':
            return 12;
        default:
            return 0;
    }
}

void RequestParser::Feed(const uint8_t* bytes, size_t count, std::vector<Request>& out) {
    for (size_t i = 0; i < count; ++i) Step(bytes[i], out);
}

void RequestParser::EndOfBurst(std::vector<Request>& out) {
    if (m_state == State::AfterF8) {
        Emit(Request::Kind::Probe, out);
    } else if (m_state == State::AfterF8Id) {
        // 0xF8 and one more byte: the probe, then whatever that byte starts.
        const uint8_t next = m_pending[1];
        m_pending.resize(1);
        Emit(Request::Kind::Probe, out);
        Step(next, out);
        if (m_state == State::AfterF8) Emit(Request::Kind::Probe, out);
    }
    FlushNoise(out);
}

void RequestParser::Reset(std::vector<Request>& out) {
    m_noise.insert(m_noise.end(), m_pending.begin(), m_pending.end());
    m_pending.clear();
    m_state = State::Idle;
    FlushNoise(out);
}

void RequestParser::Emit(Request::Kind kind, std::vector<Request>& out) {
    FlushNoise(out);
    out.push_back(Request{kind, m_pending});
    m_pending.clear();
    m_state = State::Idle;
}

void RequestParser::FlushNoise(std::vector<Request>& out) {
    if (m_noise.empty()) return;
    out.push_back(Request{Request::Kind::Noise, m_noise});
    m_noise.clear();
}

void RequestParser::Step(uint8_t byte, std::vector<Request>& out) {
    switch (m_state) {
        case State::Idle:
            if (byte == kProbeByte) {
                m_pending.assign(1, byte);
                m_state = State::AfterF8;
            } else if (byte == kEsc) {
                m_pending.assign(1, byte);
                m_state = State::Frame;
            } else {
                m_noise.push_back(byte);
            }
            return;

        case State::AfterF8:
            if (byte == kProbeByte || byte == kEsc) {
                // A probe directly followed by the start of another request.
                Emit(Request::Kind::Probe, out);
                Step(byte, out);
            } else {
                m_pending.push_back(byte);
                m_state = State::AfterF8Id;
            }
            return;

        case State::AfterF8Id:
            if (byte == 'S') {
                m_pending.push_back(byte);
                Emit(Request::Kind::Scan, out);
            } else {
                const uint8_t second = m_pending[1];
                m_pending.resize(1);
                Emit(Request::Kind::Probe, out);
                Step(second, out);
                Step(byte, out);
            }
            return;

        case State::Frame: {
            m_pending.push_back(byte);
            if (m_pending.size() < 3) return;
            const size_t length = FramedLength(m_pending[2]);
            if (length != 0
                    ? m_pending.size() == length
                    : (byte == kCr && m_pending.size() > 3) || m_pending.size() >= kLongestFrame)
                Emit(Request::Kind::Framed, out);
            return;
        }
    }
}

}  // namespace sim
