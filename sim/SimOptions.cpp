#include "sim/SimOptions.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <functional>
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

namespace {

constexpr const char* kDescription =
    "A VELTRIX controller on a pseudo-terminal. Prints one JSON line when ready,\n"
    "  {\"device\":\"/dev/pts/N\",\"link\":PATH or null,\"baud\":9600,\"id\":\"A\"}\n"
    "then answers requests until SIGTERM or SIGINT. It hears the host only while\n"
    "the host's line speed equals the controller's rate. SIGUSR1 pulls the line\n"
    "out (the pseudo-terminal hangs up, the link goes; {\"unplugged\":DEVICE} is\n"
    "printed), SIGUSR2 plugs it in again (a new pseudo-terminal at the same link,\n"
    "announced by a new ready line).\n";

constexpr const char* kFooter =
    "Exit status: 0 after SIGTERM or SIGINT, 1 when the pseudo-terminal or a file\n"
    "cannot be set up, 2 for a bad option.";

// A refused value, worded by the simulator.
[[noreturn]] void Refuse(const std::string& message) { throw CLI::ValidationError(message); }

// An option with one value, checked and stored by take; given twice, the
// last one counts.
CLI::Option* AddValue(CLI::App& app, const std::string& name, const std::string& typeName,
                      const std::string& help, std::function<void(const std::string&)> take) {
    return app.add_option_function<std::string>(name, std::move(take), help)
        ->type_name(typeName)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
}

long long NumberOrRefuse(const std::string& text, long long min, long long max,
                         const std::string& message) {
    long long n = 0;
    if (!ParseNumber(text, min, max, n)) Refuse(message);
    return n;
}

void AddControllerOptions(CLI::App& app, ControllerModel& model, std::vector<int>& blanked,
                          std::vector<int>& blocked) {
    const std::string group = "Controller";
    AddValue(app, "--baud", "RATE", "9600, 19200 or 38400 (default 9600)",
             [&model](const std::string& v) {
                 long long n = 0;
                 if (!ParseNumber(v, 0, 1000000, n) || !model.SetBaud(static_cast<long>(n))) {
                     Refuse("--baud must be 9600, 19200 or 38400");
                 }
             })
        ->group(group);
    AddValue(app, "--id", "LETTER", "controller id, A to O (default A)",
             [&model](const std::string& v) {
                 if (v.size() != 1 || v[0] < 'A' || v[0] > 'O')
                     Refuse("--id must be one letter from A to O");
                 model.SetId(static_cast<uint8_t>(v[0]));
             })
        ->group(group);
    for (const bool emitter : {true, false}) {
        const std::string name = emitter ? "--emitter" : "--receiver";
        std::vector<Board>& bar = emitter ? model.emitter : model.receiver;
        const std::string help = emitter ? "emitter boards as channel counts with optional error\n"
                                           "codes, e.g. 16,16,8:17 (default 16,16); a count of 0\n"
                                           "is an invalid board, -1 an undefined one"
                                         : "receiver boards, as --emitter (default 16,16)";
        AddValue(app, name, "LIST", help, [name, &bar](const std::string& v) {
            std::string error;
            if (!ParseBoardList(v, bar, error)) Refuse(name + ": " + error);
        })->group(group);
    }
    AddValue(app, "--part-number", "N", "0 to 4294967295 (default 123456)",
             [&model](const std::string& v) {
                 model.partNumber = static_cast<uint32_t>(NumberOrRefuse(
                     v, 0, 4294967295LL, "--part-number must be a number from 0 to 4294967295"));
             })
        ->group(group);
    AddValue(app, "--date-code", "N", "0 to 65535 (default 1102)", [&model](const std::string& v) {
        model.dateCode = static_cast<uint16_t>(
            NumberOrRefuse(v, 0, 65535, "--date-code must be a number from 0 to 65535"));
    })->group(group);
    AddValue(app, "--firmware", "MAJOR.MINOR", "each 0 to 15 (default 2.3)",
             [&model](const std::string& v) {
                 const size_t dot = v.find('.');
                 long long major = 0;
                 long long minor = 0;
                 if (dot == std::string::npos || !ParseNumber(v.substr(0, dot), 0, 15, major) ||
                     !ParseNumber(v.substr(dot + 1), 0, 15, minor)) {
                     Refuse("--firmware must be MAJOR.MINOR, each 0 to 15");
                 }
                 model.firmware = static_cast<uint8_t>(major << 4 | minor);
             })
        ->group(group);
    const int maxBlanked = ControllerModel::kBlankingBytes * 8 - 1;
    AddValue(app, "--blanked", "CHANNELS", "blanked channels from 0, e.g. 0,9,100-120 (up to 383)",
             [maxBlanked, &blanked](const std::string& v) {
                 std::string error;
                 if (!ParseChannelList(v, maxBlanked, blanked, error))
                     Refuse("--blanked: " + error);
             })
        ->group(group);
    AddValue(app, "--blocked", "CHANNELS", "beams blocked now, as --blanked (up to 4095)",
             [&blocked](const std::string& v) {
                 std::string error;
                 if (!ParseChannelList(v, kMaxScanChannels - 1, blocked, error))
                     Refuse("--blocked: " + error);
             })
        ->group(group);
    AddValue(app, "--scenario", "NAME",
             "static (default) or moving: an object sweeps through\n"
             "the curtain and back every 8 seconds",
             [&model](const std::string& v) {
                 if (v == "static") {
                     model.beams.scenario = BeamSource::Scenario::Static;
                 } else if (v == "moving") {
                     model.beams.scenario = BeamSource::Scenario::Moving;
                 } else {
                     Refuse("--scenario must be static or moving");
                 }
             })
        ->group(group);
    AddValue(app, "--meas-values", "LIST",
             "measurement scans carry these values, one per scan\n"
             "answered, instead of what the beams give: N (both\n"
             "measurements) or N/M, e.g. 0,0,15,12,0,20; the last\n"
             "value stays (see --meas-repeat)",
             [&model](const std::string& v) {
                 std::string error;
                 if (!ParseMeasurementScript(v, model.measurementScript.values, error))
                     Refuse("--meas-values: " + error);
             })
        ->group(group);
    app.add_flag("--meas-repeat", model.measurementScript.repeat,
                 "start --meas-values again after its last value")
        ->group(group)
        ->disable_flag_override()
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    AddValue(app, "--scan-channels", "N",
             "answer beam scans for N channels instead of the\n"
             "emitter channel total (1 to 4096)",
             [&model](const std::string& v) {
                 model.scanChannelOverride =
                     static_cast<int>(NumberOrRefuse(v, 1, kMaxScanChannels,
                                                     "--scan-channels must be a number from 1 to " +
                                                         std::to_string(kMaxScanChannels)));
             })
        ->group(group);
}

// A path option: --link, --log, --state.
void AddPath(CLI::App& app, const std::string& name, const std::string& group,
             const std::string& help, std::string& target) {
    AddValue(app, name, name == "--link" ? "PATH" : "FILE", help,
             [name, &target](const std::string& v) {
                 if (v.empty()) Refuse(name + " needs a path");
                 target = v;
             })
        ->group(group);
}

void DefineOptions(CLI::App& app, SimConfig& config, std::vector<int>& blanked,
                   std::vector<int>& blocked) {
    app.description(kDescription);
    app.footer(kFooter);
    app.set_help_flag("-h,--help", "this text");
    app.add_flag("--version", config.version, "the program's version")
        ->disable_flag_override()
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    AddControllerOptions(app, config.model, blanked, blocked);

    AddPath(app, "--link", "Line", "place a symlink to the device at PATH (removed on exit)",
            config.linkPath);
    app.add_flag("--pace", config.pace, "send replies at wire speed (12 bit-times a character)")
        ->group("Line")
        ->disable_flag_override()
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);

    AddPath(app, "--log", "Records",
            "one JSON line per request received: time in ms, line\n"
            "speed, kind, raw bytes and reply in hex, note",
            config.logPath);
    AddPath(app, "--state", "Records",
            "the controller's state as JSON (parameter set and\n"
            "blanking in hex, part number, date code, baud, id),\n"
            "rewritten atomically after every change",
            config.statePath);

    // Each --fault takes one name, and every one given counts.
    app.add_option_function<std::vector<std::string>>(
           "--fault",
           [&config](const std::vector<std::string>& names) {
               for (const std::string& name : names) {
                   std::string error;
                   if (!config.faults.Add(name, error)) Refuse(error);
               }
           },
           "may be given more than once:\n"
           "silent         answer nothing\n"
           "every:N        answer only every Nth request\n"
           "bad-checksum   wrong checksum in the parameter-set and\n"
           "               blanking replies\n"
           "wrong-id       another id in framed and scan replies\n"
           "wrong-letter   another letter in framed replies\n"
           "truncate       replies one byte short\n"
           "overlong       replies one byte long\n"
           "delay:MS       every reply MS milliseconds late\n"
           "hangup:N       close the pseudo-terminal when the host sends\n"
           "               anything after the Nth request was answered\n"
           "fail-first     drop the first request of each kind\n"
           "lost-ack:N     carry out the Nth acknowledged request (C, W,\n"
           "               X) but lose its acknowledgement\n"
           "late-scan:MS   scan replies MS milliseconds late\n"
           "flip:L         change one payload byte of every reply to\n"
           "               the request letter L\n"
           "flip-once:L    the same, first reply to L only\n"
           "bad-store:L    acknowledge a write with the letter L (C, W,\n"
           "               X) but store it with one byte changed\n"
           "no-store:L     acknowledge a write with the letter L but\n"
           "               store nothing\n"
           "The reply faults leave the probe reply alone.")
        ->option_text("NAME")
        ->allow_extra_args(false)
        ->group("Faults");
}

// CLI11's own complaints in the simulator's words.
std::string ErrorText(const CLI::App& app, const CLI::ParseError& error) {
    const std::string what = error.what();
    if (dynamic_cast<const CLI::ExtrasError*>(&error)) {
        const std::vector<std::string> extras = app.remaining();
        return "unknown option '" + (extras.empty() ? what : extras.front()) + "'";
    }
    if (dynamic_cast<const CLI::ArgumentMismatch*>(&error)) {
        // CLI11 names the option first: "--baud: 1 required RATE missing",
        // "pace was given a disallowed flag override".
        std::string name = what.substr(0, what.find_first_of(": "));
        if (name.rfind("--", 0) != 0) name = "--" + name;
        return name + (what.find("flag override") != std::string::npos ? " takes no value"
                                                                       : " needs a value");
    }
    return what;
}

}  // namespace

bool ParseSimOptions(const std::vector<std::string>& args, SimConfig& config, std::string& error) {
    std::vector<int> blanked;
    std::vector<int> blocked;
    CLI::App app("", "veltrix-sim");
    DefineOptions(app, config, blanked, blocked);
    // CLI11 takes the arguments last one first.
    std::vector<std::string> reversed(args.rbegin(), args.rend());
    try {
        app.parse(reversed);
    } catch (const CLI::CallForHelp&) {
        config.help = true;
        return true;
    } catch (const CLI::ParseError& e) {
        error = ErrorText(app, e);
        return false;
    }
    ControllerModel& model = config.model;
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
    SimConfig config;
    std::vector<int> channels;
    CLI::App app("", "veltrix-sim");
    DefineOptions(app, config, channels, channels);
    return app.help();
}

}  // namespace sim
