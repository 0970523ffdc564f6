#include "sim/Responder.h"

#include <algorithm>

#include "model/Checksum16.h"
#include "model/FrameBytes.h"
#include "sim/BeamAnalysis.h"

namespace sim {

namespace {

void PutChecksum(std::vector<uint8_t>& frame, size_t from, size_t count) {
    const uint16_t sum = Checksum16(frame.data() + from, static_cast<int>(count));
    frame.push_back(static_cast<uint8_t>(sum >> 8));
    frame.push_back(static_cast<uint8_t>(sum & 0xFF));
}

void PutU16(std::vector<uint8_t>& frame, uint16_t v) {
    frame.push_back(static_cast<uint8_t>(v >> 8));
    frame.push_back(static_cast<uint8_t>(v & 0xFF));
}

std::string KindOf(const Request& request) {
    switch (request.kind) {
        case Request::Kind::Probe:
            return "probe";
        case Request::Kind::Scan:
            return "scan";
        case Request::Kind::Noise:
            return "noise";
        case Request::Kind::Framed:
            if (request.bytes.size() >= 3 && RequestParser::FramedLength(request.bytes[2]) != 0)
                return std::string(1, static_cast<char>(request.bytes[2]));
            return "?";
    }
    return "?";
}

// Whether the two bytes after count bytes from `from` carry their Checksum16.
bool ChecksumHolds(const std::vector<uint8_t>& frame, size_t from, size_t count) {
    const uint16_t sum = Checksum16(frame.data() + from, static_cast<int>(count));
    return frame[from + count] == (sum >> 8) && frame[from + count + 1] == (sum & 0xFF);
}

uint32_t BigEndian32(const uint8_t* p) {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

}  // namespace

std::vector<uint8_t> ProbeReply(const ControllerModel& model) {
    // The third byte is not used by the host; the controller puts its baud code there.
    return {kFs, model.Id(), model.Psf().GetBaudCode(), kLf};
}

std::vector<uint8_t> Acknowledgement(uint8_t id) { return {kFs, id, 'J', kLf}; }

std::vector<uint8_t> PsfReply(const ControllerModel& model) {
    std::vector<uint8_t> frame{kFs, model.Id(), 'E'};
    const uint8_t* image = model.Psf().Data();
    frame.insert(frame.end(), image + 2, image + kPsfRecordSize);
    PutChecksum(frame, 3, kPsfRecordSize - 2);
    frame.push_back(kLf);
    return frame;
}

std::vector<uint8_t> DiagnosticsReply(const ControllerModel& model) {
    std::vector<uint8_t> frame{kFs, model.Id(), 'I'};
    for (int shift = 24; shift >= 0; shift -= 8)
        frame.push_back(static_cast<uint8_t>(model.partNumber >> shift));
    PutU16(frame, model.dateCode);
    frame.push_back(model.firmware);
    const std::vector<uint8_t> boards = model.BoardBytes();
    frame.insert(frame.end(), boards.begin(), boards.end());
    frame.push_back(kLf);
    return frame;
}

std::vector<uint8_t> BlankingReply(const ControllerModel& model) {
    std::vector<uint8_t> frame{kFs, model.Id(), 'Y'};
    frame.insert(frame.end(), model.blanking.begin(), model.blanking.end());
    PutChecksum(frame, 3, ControllerModel::kBlankingBytes);
    frame.push_back(kLf);
    return frame;
}

std::vector<uint8_t> ScanReplyBytes(const ControllerModel& model, uint32_t timeMs) {
    const CPsfRecord& psf = model.Psf();
    const SerialTransmissionMode mode = psf.GetTransmissionMode();
    if (mode == SerialTransmissionMode::None) return {};

    const std::vector<bool> states = model.BeamStates(timeMs);
    std::vector<uint8_t> frame{kFs, model.Id()};
    if (mode == SerialTransmissionMode::AllMode) {
        // Least significant bit first, 1 = blocked; a channel count that is not
        // a multiple of 8 sends only the whole bytes, as the host expects.
        const size_t bytes = states.size() / 8;
        for (size_t k = 0; k < bytes; ++k) {
            uint8_t b = 0;
            for (size_t bit = 0; bit < 8; ++bit)
                if (states[k * 8 + bit]) b = static_cast<uint8_t>(b | (1u << bit));
            frame.push_back(b);
        }
    } else {
        // Only the measurements that are switched on are sent, measurement 1
        // first: 5 bytes for one, 7 for both.
        const uint8_t mode1 = psf.GetMeasMode(0);
        const uint8_t mode2 = psf.GetMeasMode(1);
        if (mode1 == 'K' && mode2 == 'K') return {};
        const bool scripted = model.measurementScript.Active();
        const MeasurementScript::Pair script = model.measurementScript.Current();
        if (mode1 != 'K') PutU16(frame, scripted ? script[0] : Measure(mode1, states));
        if (mode2 != 'K') PutU16(frame, scripted ? script[1] : Measure(mode2, states));
    }
    frame.push_back(kLf);
    return frame;
}

std::vector<LogEntry> Responder::TakeLog() {
    std::vector<LogEntry> log;
    log.swap(m_log);
    return log;
}

ResponderResult Responder::Receive(const uint8_t* bytes, size_t count, uint32_t nowMs,
                                   long lineSpeed, bool endOfBurst) {
    ResponderResult result;
    if (m_hungUp) return result;

    std::vector<Request> requests;
    // Bytes left over from an earlier burst belong to it: a waiting probe is
    // answered, a frame that stopped half-way is dropped.
    if (nowMs - m_lastByteMs > kStaleFrameMs || lineSpeed != m_lastLineSpeed) {
        m_parser.EndOfBurst(requests);
        m_parser.Reset(requests);
    }
    for (const Request& r : requests) Handle(r, nowMs, m_lastLineSpeed, result);
    requests.clear();
    m_lastByteMs = nowMs;
    m_lastLineSpeed = lineSpeed;
    if (m_hungUp || count == 0) return result;

    if (m_faults.hangupAfter > 0 && m_requestCount >= m_faults.hangupAfter) {
        // The line dies when the host next sends, so the last reply arrived whole.
        m_hungUp = true;
        result.hangUp = true;
        LogUnheard(bytes, count, nowMs, lineSpeed,
                   "fault hangup:" + std::to_string(m_faults.hangupAfter));
        return result;
    }

    if (lineSpeed != m_model.Baud()) {
        LogUnheard(bytes, count, nowMs, lineSpeed,
                   "line speed " + std::to_string(lineSpeed) + ", controller at " +
                       std::to_string(m_model.Baud()));
        return result;
    }

    m_parser.Feed(bytes, count, requests);
    if (endOfBurst) m_parser.EndOfBurst(requests);
    for (const Request& r : requests) Handle(r, nowMs, lineSpeed, result);
    return result;
}

void Responder::LogUnheard(const uint8_t* bytes, size_t count, uint32_t nowMs, long lineSpeed,
                           std::string note) {
    LogEntry entry;
    entry.timeMs = nowMs;
    entry.lineSpeed = lineSpeed;
    entry.kind = "noise";
    entry.request.assign(bytes, bytes + count);
    entry.note = std::move(note);
    m_log.push_back(std::move(entry));
}

ResponderResult Responder::EndOfBurst(uint32_t nowMs) {
    ResponderResult result;
    if (m_hungUp) return result;
    std::vector<Request> requests;
    m_parser.EndOfBurst(requests);
    for (const Request& r : requests) Handle(r, nowMs, m_lastLineSpeed, result);
    return result;
}

bool Responder::DroppedByFault(const std::string& kind, std::string& note) {
    const bool firstOfKind = m_kindsSeen.insert(kind).second;
    if (m_faults.silent) {
        note = "fault silent";
        return true;
    }
    if (m_faults.failFirst && firstOfKind) {
        note = "fault fail-first";
        return true;
    }
    if (m_faults.everyN > 0 && m_requestCount % m_faults.everyN != 0) {
        note = "fault every:" + std::to_string(m_faults.everyN);
        return true;
    }
    return false;
}

void Responder::Corrupt(const std::string& kind, std::vector<uint8_t>& reply) {
    if (kind == "probe" || reply.size() < 3) return;
    // Frame bytes stay: the damage is one the frame checks cannot see.
    if (m_faults.flipLetter != 0 && kind == std::string(1, m_faults.flipLetter) &&
        reply.size() > 4 && !(m_faults.flipOnce && m_flipCount > 0)) {
        const size_t payload = reply.size() - 4;
        reply[3 + static_cast<size_t>(m_flipCount) * 7 % payload] ^= 0x10;
        ++m_flipCount;
    }
    if (m_faults.wrongId) reply[1] = static_cast<uint8_t>(reply[1] == 'O' ? 'A' : reply[1] + 1);
    if (m_faults.wrongLetter && kind != "scan") reply[2] = static_cast<uint8_t>(reply[2] + 1);
    if (m_faults.badChecksum && (kind == "D" || kind == "V")) reply[reply.size() - 2] ^= 0x5A;
    if (m_faults.truncate) reply.pop_back();
    if (m_faults.overlong) reply.push_back(0x00);
}

void Responder::Handle(const Request& request, uint32_t nowMs, long lineSpeed,
                       ResponderResult& result) {
    LogEntry entry;
    entry.timeMs = nowMs;
    entry.lineSpeed = lineSpeed;
    entry.kind = KindOf(request);
    entry.request = request.bytes;

    const bool addressed =
        request.kind == Request::Kind::Probe ||
        ((request.kind == Request::Kind::Scan || request.kind == Request::Kind::Framed) &&
         request.bytes.size() >= 2 && request.bytes[1] == m_model.Id());
    if (request.kind == Request::Kind::Noise) {
        entry.note = "no request";
    } else if (!addressed) {
        entry.note = "addressed to another id";
    } else {
        ++m_requestCount;
        std::vector<uint8_t> reply;
        const long baudWhenAnswering = m_model.Baud();
        bool changed = false;
        std::deque<std::vector<uint8_t>>& scripted = m_scripted[entry.kind];
        bool answered = false;
        if (!DroppedByFault(entry.kind, entry.note)) {
            if (!scripted.empty()) {
                reply = std::move(scripted.front());
                scripted.pop_front();
                entry.note = "scripted";
                answered = true;
            } else if (Answer(request, nowMs, reply, entry.note, changed)) {
                Corrupt(entry.kind, reply);
                answered = true;
                const bool acknowledged = entry.kind == "C" || entry.kind == "W" || entry.kind == "X";
                if (acknowledged && ++m_acknowledgedCount == m_faults.lostAck) {
                    entry.note = "fault lost-ack:" + std::to_string(m_faults.lostAck);
                    answered = false;
                }
            }
        }
        if (answered) {
            entry.answered = true;
            entry.reply = reply;
            const uint32_t late = entry.kind == "scan" ? m_faults.lateScanMs : 0;
            result.replies.push_back(Outgoing{reply, m_faults.delayMs + late, baudWhenAnswering});
        }
        result.stateChanged = result.stateChanged || changed;
    }
    m_log.push_back(std::move(entry));
}

bool Responder::Stores(char letter, std::string& note) const {
    if (m_faults.noStore.find(letter) == std::string::npos) return true;
    note = std::string("fault no-store:") + letter;
    return false;
}

bool Responder::BadStore(char letter, std::string& note) const {
    if (m_faults.badStore.find(letter) == std::string::npos) return false;
    note = std::string("fault bad-store:") + letter;
    return true;
}

bool Responder::Answer(const Request& request, uint32_t nowMs, std::vector<uint8_t>& reply,
                       std::string& note, bool& stateChanged) {
    const std::vector<uint8_t>& r = request.bytes;
    if (request.kind == Request::Kind::Probe) {
        reply = ProbeReply(m_model);
        return true;
    }
    if (request.kind == Request::Kind::Scan) {
        reply = ScanReplyBytes(m_model, nowMs);
        if (reply.empty()) note = "no scan reply in this transmission mode";
        // Only a scan that carried measurement values moves the script on.
        if (!reply.empty() &&
            m_model.Psf().GetTransmissionMode() == SerialTransmissionMode::MeasurementResult)
            m_model.measurementScript.Advance();
        return !reply.empty();
    }

    const uint8_t letter = r[2];
    if (RequestParser::FramedLength(letter) == 0) {
        note = "unknown command";
        return false;
    }
    if (r.back() != kCr) {
        note = "no CR at the end";
        return false;
    }
    // A request whose checksum does not hold is taken for line damage: it is
    // neither carried out nor acknowledged.
    const bool checked = letter == 'C' || letter == 'W' || letter == 'X';
    const size_t summed = letter == 'C'   ? kPsfRecordSize - 2
                          : letter == 'W' ? ControllerModel::kBlankingBytes
                                          : 6;
    if (checked && !ChecksumHolds(r, 3, summed)) {
        note = "bad checksum";
        return false;
    }
    switch (letter) {
        case 'C': {
            CPsfRecord psf = m_model.Psf();
            std::copy(r.begin() + 3, r.begin() + 3 + (kPsfRecordSize - 2), psf.Data() + 2);
            if (Stores('C', note)) {
                if (BadStore('C', note)) psf.SetScanCount(static_cast<uint8_t>(psf.GetScanCount() ^ 0x01));
                m_model.StorePsf(psf);
                stateChanged = true;
            }
            // Acknowledged under the id just stored: the host takes the
            // acknowledgement's id as the controller's from then on.
            reply = Acknowledgement(m_model.Id());
            return true;
        }
        case 'D':
            reply = PsfReply(m_model);
            return true;
        case 'H':
            reply = DiagnosticsReply(m_model);
            return true;
        case 'V':
            reply = BlankingReply(m_model);
            return true;
        case 'W': {
            if (Stores('W', note)) {
                std::copy(r.begin() + 3, r.begin() + 51, m_model.blanking.begin());
                if (BadStore('W', note)) m_model.blanking[0] ^= 0x80;
                stateChanged = true;
            }
            reply = Acknowledgement(m_model.Id());
            return true;
        }
        case 'X':
            if (Stores('X', note)) {
                m_model.partNumber = BigEndian32(r.data() + 3);
                if (BadStore('X', note)) m_model.partNumber ^= 0x01;
                m_model.dateCode = static_cast<uint16_t>((r[7] << 8) | r[8]);
                stateChanged = true;
            }
            reply = Acknowledgement(m_model.Id());
            return true;
        default:
            return false;
    }
}

}  // namespace sim
