#include "command/RecoveryEntry.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <sstream>

#include "platform/LocalTime.h"

namespace {

constexpr const char* kMagic = "veltrix-recovery";
// Version 2 added the controller's hardware identity; version 1 entries
// still load, with the id alone.
constexpr int kVersion = 2;
constexpr int kOldestVersion = 1;

constexpr const char* kHardwareKeys[] = {"part-number", "date-code", "firmware", "boards"};

uint32_t Crc32(const std::string& text) {
    uint32_t crc = 0xFFFFFFFFu;
    for (const unsigned char byte : text) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

// Keeps every line one line and the file plain ASCII, whatever a path holds.
std::string Encode(const std::string& value) {
    std::string out;
    for (const unsigned char c : value) {
        if (c <= 0x20 || c >= 0x7F || c == '%') {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", c);
            out += escaped;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

bool Decode(const std::string& text, std::string& value) {
    value.clear();
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            value += text[i];
            continue;
        }
        if (i + 2 >= text.size()) return false;
        const int high = HexDigit(text[i + 1]);
        const int low = HexDigit(text[i + 2]);
        if (high < 0 || low < 0) return false;
        value += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return true;
}

std::string Hex(const uint8_t* bytes, size_t count) {
    std::string out;
    char pair[3];
    for (size_t i = 0; i < count; ++i) {
        std::snprintf(pair, sizeof pair, "%02x", bytes[i]);
        out += pair;
    }
    return out;
}

bool Unhex(const std::string& text, uint8_t* bytes, size_t count) {
    if (text.size() != 2 * count) return false;
    for (size_t i = 0; i < count; ++i) {
        const int high = HexDigit(text[2 * i]);
        const int low = HexDigit(text[2 * i + 1]);
        if (high < 0 || low < 0) return false;
        bytes[i] = static_cast<uint8_t>(high * 16 + low);
    }
    return true;
}

// A whole unsigned decimal number, nothing else.
bool ParseNumber(const std::string& text, unsigned long long max, unsigned long long& value) {
    if (text.empty() || text.size() > 20) return false;
    value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return false;
        const unsigned digit = static_cast<unsigned>(c - '0');
        if (value > (max - digit) / 10) return false;
        value = value * 10 + digit;
    }
    return true;
}

EntryProblem Corrupt(std::string& problem, const std::string& why) {
    problem = why;
    return EntryProblem::Corrupt;
}

}  // namespace

OriginalBlanking OriginalBlanking::From(const CBlankingMap& map) {
    OriginalBlanking original;
    original.channels = map.ChannelCount();
    const int bytes = std::min(std::max(map.ByteCount(), 0), CBlankingMap::kBlockBytes);
    if (bytes > 0) std::memcpy(original.block.data(), map.Data(), static_cast<size_t>(bytes));
    return original;
}

CBlankingMap OriginalBlanking::ToMap() const {
    CBlankingMap map(channels);
    const int bytes = std::min(std::max(map.ByteCount(), 0), CBlankingMap::kBlockBytes);
    if (bytes > 0) std::memcpy(map.Data(), block.data(), static_cast<size_t>(bytes));
    return map;
}

std::string SerializeRecoveryEntry(const RecoveryEntry& entry) {
    std::ostringstream out;
    out << kMagic << ' ' << kVersion << '\n';
    out << "device " << Encode(entry.device) << '\n';
    out << "resolved " << Encode(entry.resolved) << '\n';
    out << "com " << entry.comNumber << '\n';
    out << "controller " << Hex(&entry.controllerId, 1) << '\n';
    if (entry.hardware) {
        const ControllerHardware& hardware = *entry.hardware;
        out << "part-number " << Encode(hardware.partNumber) << '\n';
        out << "date-code " << Encode(hardware.dateCode) << '\n';
        out << "firmware " << Encode(hardware.firmware) << '\n';
        out << "boards " << Encode(hardware.boards) << '\n';
    }
    out << "command " << Encode(entry.command) << '\n';
    out << "started " << static_cast<long long>(entry.started) << '\n';
    out << "host " << Encode(entry.writer.host) << '\n';
    out << "boot " << Encode(entry.writer.bootId) << '\n';
    out << "pid " << entry.writer.pid << '\n';
    out << "start-ticks " << entry.writer.startTicks << '\n';
    if (entry.psf) out << "psf " << Hex(entry.psf->Data(), kPsfRecordSize) << '\n';
    if (entry.blanking) {
        out << "blanking " << entry.blanking->channels << ' '
            << Hex(entry.blanking->block.data(), entry.blanking->block.size()) << '\n';
    }
    std::string text = out.str();
    char crc[32];
    std::snprintf(crc, sizeof crc, "crc32 %08x\n", static_cast<unsigned>(Crc32(text)));
    return text + crc;
}

EntryProblem ParseRecoveryEntry(const std::string& text, RecoveryEntry& entry,
                                std::string& problem) {
    problem.clear();
    const std::string magic = std::string(kMagic) + ' ';
    if (text.compare(0, magic.size(), magic) != 0) {
        problem = "not a recovery entry of this program";
        return EntryProblem::Foreign;
    }
    const size_t firstEnd = text.find('\n');
    const std::string version = text.substr(magic.size(), firstEnd == std::string::npos
                                                               ? std::string::npos
                                                               : firstEnd - magic.size());
    if (version.size() != 1 || version[0] < '0' + kOldestVersion || version[0] > '0' + kVersion) {
        problem = "written in another format (version " + version.substr(0, 16) + ")";
        return EntryProblem::Foreign;
    }

    // The checksum line is the last one and covers everything before it.
    const std::string crcKey = "crc32 ";
    const size_t crcAt = text.rfind("\n" + crcKey);
    if (crcAt == std::string::npos) return Corrupt(problem, "its checksum is missing");
    const std::string body = text.substr(0, crcAt + 1);
    std::string stored = text.substr(crcAt + 1 + crcKey.size());
    if (!stored.empty() && stored.back() == '\n') stored.pop_back();
    char expected[16];
    std::snprintf(expected, sizeof expected, "%08x", static_cast<unsigned>(Crc32(body)));
    if (stored != expected) return Corrupt(problem, "its checksum does not match");

    std::map<std::string, std::string> all;
    std::istringstream lines(body.substr(firstEnd + 1));
    std::string line;
    while (std::getline(lines, line)) {
        const size_t space = line.find(' ');
        if (space == std::string::npos) return Corrupt(problem, "a line has no value");
        if (!all.emplace(line.substr(0, space), line.substr(space + 1)).second)
            return Corrupt(problem, "a field appears twice");
    }

    RecoveryEntry parsed;
    unsigned long long number = 0;
    static constexpr const char* kRequired[] = {"device", "resolved", "com",  "controller",
                                                "command", "started",  "host", "boot",
                                                "pid",     "start-ticks"};
    for (const char* key : kRequired)
        if (!all.count(key)) return Corrupt(problem, std::string("the field '") + key + "' is missing");

    if (!Decode(all["device"], parsed.device) || parsed.device.empty() ||
        !Decode(all["resolved"], parsed.resolved) || !Decode(all["command"], parsed.command) ||
        !Decode(all["host"], parsed.writer.host) || !Decode(all["boot"], parsed.writer.bootId))
        return Corrupt(problem, "a text field is damaged");
    if (!ParseNumber(all["com"], 255, number)) return Corrupt(problem, "the COM number is damaged");
    parsed.comNumber = static_cast<int>(number);
    if (!Unhex(all["controller"], &parsed.controllerId, 1))
        return Corrupt(problem, "the controller id is damaged");
    if (!ParseNumber(all["started"], 1ULL << 62, number))
        return Corrupt(problem, "the start time is damaged");
    parsed.started = static_cast<std::time_t>(number);
    if (!ParseNumber(all["pid"], 1ULL << 31, number)) return Corrupt(problem, "the process id is damaged");
    parsed.writer.pid = static_cast<long>(number);
    if (!ParseNumber(all["start-ticks"], ~0ULL, number))
        return Corrupt(problem, "the process start is damaged");
    parsed.writer.startTicks = number;

    // The hardware identity comes whole or not at all.
    const int hardwareKeys = static_cast<int>(std::count_if(std::begin(kHardwareKeys), std::end(kHardwareKeys),
                                                            [&](const char* key) { return all.count(key) > 0; }));
    if (hardwareKeys != 0 && hardwareKeys != 4) return Corrupt(problem, "the controller's identity is incomplete");
    if (hardwareKeys == 4) {
        ControllerHardware hardware;
        if (!Decode(all["part-number"], hardware.partNumber) || !Decode(all["date-code"], hardware.dateCode) ||
            !Decode(all["firmware"], hardware.firmware) || !Decode(all["boards"], hardware.boards))
            return Corrupt(problem, "the controller's identity is damaged");
        parsed.hardware = hardware;
    }

    for (const auto& [key, field] : all) {
        if (key == "psf") {
            CPsfRecord psf;
            if (!Unhex(field, psf.Data(), kPsfRecordSize))
                return Corrupt(problem, "the parameter set is damaged");
            parsed.psf = psf;
        } else if (key == "blanking") {
            const size_t space = field.find(' ');
            OriginalBlanking blanking;
            if (space == std::string::npos ||
                !ParseNumber(field.substr(0, space), 8 * CBlankingMap::kBlockBytes, number) ||
                !Unhex(field.substr(space + 1), blanking.block.data(), blanking.block.size()))
                return Corrupt(problem, "the blanking fields are damaged");
            blanking.channels = static_cast<int>(number);
            parsed.blanking = blanking;
        } else if (std::find(std::begin(kRequired), std::end(kRequired), key) == std::end(kRequired) &&
                   std::find(std::begin(kHardwareKeys), std::end(kHardwareKeys), key) == std::end(kHardwareKeys)) {
            return Corrupt(problem, "it holds an unknown field '" + key.substr(0, 32) + "'");
        }
    }
    if (parsed.Empty()) return Corrupt(problem, "it holds nothing to send back");
    entry = parsed;
    return EntryProblem::None;
}

std::string EntryPortName(const RecoveryEntry& entry) {
    return entry.comNumber > 0 ? "COM" + std::to_string(entry.comNumber) : entry.device;
}

std::string FormatStartTime(std::time_t started) {
    std::tm local{};
    ToLocalTime(started, local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", &local);
    return text;
}

std::string EntryContents(const RecoveryEntry& entry) {
    if (entry.psf && entry.blanking) return "parameter set and blanking fields";
    return entry.psf ? "parameter set" : "blanking fields";
}

std::string RecoveryQuestion(const RecoveryEntry& entry) {
    return "The controller on " + EntryPortName(entry) + " may still hold temporary settings from " +
           entry.command + " started " + FormatStartTime(entry.started) + ". Send its original " +
           EntryContents(entry) + " back now?";
}
