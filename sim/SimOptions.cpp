#include "sim/SimOptions.h"

#include <cerrno>
#include <cstdlib>
#include <sstream>

namespace sim {

namespace {

constexpr int kMaxScanChannels = 4096;

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::string part;
    std::istringstream in(text);
    while (std::getline(in, part, separator)) parts.push_back(part);
    if (!text.empty() && text.back() == separator) parts.emplace_back();
    return parts;
}

// A whole decimal number (an optional leading '-') within [min, max].
bool ParseNumber(const std::string& text, long long min, long long max, long long& value) {
    if (text.empty() || text.size() > 20) return false;
    size_t i = text[0] == '-' ? 1 : 0;
    if (i == text.size()) return false;
    for (; i < text.size(); ++i)
        if (text[i] < '0' || text[i] > '9') return false;
    errno = 0;
    const long long v = std::strtoll(text.c_str(), nullptr, 10);
    if (errno != 0 || v < min || v > max) return false;
    value = v;
    return true;
}

}  // namespace

bool ParseChannelList(const std::string& text, int maxChannel, std::vector<int>& channels,
                      std::string& error) {
    channels.clear();
    if (text.empty()) return true;
    for (const std::string& item : Split(text, ',')) {
        const size_t dash = item.find('-', 1);
        long long first = 0;
        long long last = 0;
        bool ok = false;
        if (dash == std::string::npos) {
            ok = ParseNumber(item, 0, maxChannel, first);
            last = first;
        } else {
            ok = ParseNumber(item.substr(0, dash), 0, maxChannel, first) &&
                 ParseNumber(item.substr(dash + 1), 0, maxChannel, last) && first <= last;
        }
        if (!ok) {
            error = "bad channel '" + item + "' (channels 0 to " + std::to_string(maxChannel) +
                    ", ranges as 100-120)";
            return false;
        }
        for (long long c = first; c <= last; ++c) channels.push_back(static_cast<int>(c));
    }
    return true;
}

bool ParseBoardList(const std::string& text, std::vector<Board>& boards, std::string& error) {
    boards.clear();
    if (text.empty()) return true;
    for (const std::string& item : Split(text, ',')) {
        const size_t colon = item.find(':');
        long long channels = 0;
        long long code = 0;
        const bool countOk = ParseNumber(item.substr(0, colon), -1, 16, channels) &&
                             (channels == 8 || channels == 16 || channels == 0 || channels == -1);
        const bool codeOk =
            colon == std::string::npos || ParseNumber(item.substr(colon + 1), 0, 31, code);
        if (!countOk || !codeOk) {
            error = "bad board '" + item +
                    "' (channel count 8, 16, 0 invalid or -1 undefined, optional :error 0 to 31)";
            return false;
        }
        boards.push_back(Board{static_cast<int>(channels), static_cast<uint8_t>(code)});
    }
    return true;
}

bool ParseSimOptions(const std::vector<std::string>& args, SimConfig& config, std::string& error) {
    ControllerModel& model = config.model;
    std::vector<int> blanked;
    std::vector<int> blocked;
    for (size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::string value;
        bool hasValue = false;
        const size_t eq = name.find('=');
        if (name.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = name.substr(eq + 1);
            name = name.substr(0, eq);
            hasValue = true;
        }
        auto takesNoValue = [&]() {
            if (hasValue) error = name + " takes no value";
            return !hasValue;
        };
        auto needValue = [&]() {
            if (hasValue) return true;
            if (i + 1 >= args.size()) {
                error = name + " needs a value";
                return false;
            }
            value = args[++i];
            return true;
        };
        long long n = 0;

        if (name == "--help" || name == "-h") {
            if (!takesNoValue()) return false;
            config.help = true;
        } else if (name == "--pace") {
            if (!takesNoValue()) return false;
            config.pace = true;
        } else if (name == "--baud") {
            if (!needValue()) return false;
            if (!ParseNumber(value, 0, 1000000, n) || !model.SetBaud(static_cast<long>(n))) {
                error = "--baud must be 9600, 19200 or 38400";
                return false;
            }
        } else if (name == "--id") {
            if (!needValue()) return false;
            if (value.size() != 1 || value[0] < 'A' || value[0] > 'O') {
                error = "--id must be one letter from A to O";
                return false;
            }
            model.SetId(static_cast<uint8_t>(value[0]));
        } else if (name == "--emitter" || name == "--receiver") {
            if (!needValue()) return false;
            if (!ParseBoardList(value, name == "--emitter" ? model.emitter : model.receiver,
                                error)) {
                error = name + ": " + error;
                return false;
            }
        } else if (name == "--part-number") {
            if (!needValue()) return false;
            if (!ParseNumber(value, 0, 4294967295LL, n)) {
                error = "--part-number must be a number from 0 to 4294967295";
                return false;
            }
            model.partNumber = static_cast<uint32_t>(n);
        } else if (name == "--date-code") {
            if (!needValue()) return false;
            if (!ParseNumber(value, 0, 65535, n)) {
                error = "--date-code must be a number from 0 to 65535";
                return false;
            }
            model.dateCode = static_cast<uint16_t>(n);
        } else if (name == "--firmware") {
            if (!needValue()) return false;
            const size_t dot = value.find('.');
            long long major = 0;
            long long minor = 0;
            if (dot == std::string::npos || !ParseNumber(value.substr(0, dot), 0, 15, major) ||
                !ParseNumber(value.substr(dot + 1), 0, 15, minor)) {
                error = "--firmware must be MAJOR.MINOR, each 0 to 15";
                return false;
            }
            model.firmware = static_cast<uint8_t>(major << 4 | minor);
        } else if (name == "--blanked" || name == "--blocked") {
            if (!needValue()) return false;
            const bool blanking = name == "--blanked";
            const int max =
                blanking ? ControllerModel::kBlankingBytes * 8 - 1 : kMaxScanChannels - 1;
            if (!ParseChannelList(value, max, blanking ? blanked : blocked, error)) {
                error = name + ": " + error;
                return false;
            }
        } else if (name == "--scenario") {
            if (!needValue()) return false;
            if (value == "static")
                model.beams.scenario = BeamSource::Scenario::Static;
            else if (value == "moving")
                model.beams.scenario = BeamSource::Scenario::Moving;
            else {
                error = "--scenario must be static or moving";
                return false;
            }
        } else if (name == "--scan-channels") {
            if (!needValue()) return false;
            if (!ParseNumber(value, 1, kMaxScanChannels, n)) {
                error = "--scan-channels must be a number from 1 to " +
                        std::to_string(kMaxScanChannels);
                return false;
            }
            model.scanChannelOverride = static_cast<int>(n);
        } else if (name == "--fault") {
            if (!needValue()) return false;
            if (!config.faults.Add(value, error)) return false;
        } else if (name == "--link" || name == "--log" || name == "--state") {
            if (!needValue()) return false;
            if (value.empty()) {
                error = name + " needs a path";
                return false;
            }
            (name == "--link"  ? config.linkPath
             : name == "--log" ? config.logPath
                               : config.statePath) = value;
        } else {
            error = "unknown option '" + args[i] + "'";
            return false;
        }
    }
    if (model.emitter.size() + model.receiver.size() >
        static_cast<size_t>(ControllerModel::kMaxBoardBytes)) {
        error = "at most 24 boards in both bars together";
        return false;
    }
    for (int c : blanked) model.SetBlanked(c, true);
    for (int c : blocked) model.beams.SetBlocked(c, true);
    return true;
}

std::string SimUsage() {
    return R"(Usage: veltrix-sim [OPTION]...
A VELTRIX controller on a pseudo-terminal. Prints one JSON line when ready,
  {"device":"/dev/pts/N","link":PATH or null,"baud":9600,"id":"A"}
then answers requests until SIGTERM or SIGINT. It hears the host only while
the host's line speed equals the controller's rate.

Controller:
  --baud RATE            9600, 19200 or 38400 (default 9600)
  --id LETTER            controller id, A to O (default A)
  --emitter LIST         emitter boards as channel counts with optional error
                         codes, e.g. 16,16,8:17 (default 16,16); a count of 0
                         is an invalid board, -1 an undefined one
  --receiver LIST        receiver boards, as --emitter (default 16,16)
  --part-number N        0 to 4294967295 (default 123456)
  --date-code N          0 to 65535 (default 1102)
  --firmware MAJOR.MINOR each 0 to 15 (default 2.3)
  --blanked CHANNELS     blanked channels from 0, e.g. 0,9,100-120 (up to 383)
  --blocked CHANNELS     beams blocked now, as --blanked (up to 4095)
  --scenario NAME        static (default) or moving: an object sweeps through
                         the curtain and back every 8 seconds
  --scan-channels N      answer beam scans for N channels instead of the
                         emitter channel total (1 to 4096)

Line:
  --link PATH            place a symlink to the device at PATH (removed on exit)
  --pace                 send replies at wire speed (12 bit-times a character)

Records:
  --log FILE             one JSON line per request received: time in ms, line
                         speed, kind, raw bytes and reply in hex, note
  --state FILE           the controller's state as JSON (parameter set and
                         blanking in hex, part number, date code, baud, id),
                         rewritten atomically after every change

Faults (--fault may be given more than once):
  --fault silent         answer nothing
  --fault every:N        answer only every Nth request
  --fault bad-checksum   wrong checksum in the parameter-set and blanking replies
  --fault wrong-id       another id in framed and scan replies
  --fault wrong-letter   another letter in framed replies
  --fault truncate       replies one byte short
  --fault overlong       replies one byte long
  --fault delay:MS       every reply MS milliseconds late
  --fault hangup:N       close the pseudo-terminal when the host sends anything
                         after the Nth request was answered
  --fault fail-first     drop the first request of each kind
  The reply faults leave the probe reply alone.

  --help                 this text

Exit status: 0 after SIGTERM or SIGINT, 1 when the pseudo-terminal or a file
cannot be set up, 2 for a bad option.
)";
}

}  // namespace sim
