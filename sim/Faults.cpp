#include "sim/Faults.h"

#include <cerrno>
#include <cstdlib>

namespace sim {

namespace {

// A whole decimal number in [min, max], nothing else.
bool ParseBounded(const std::string& text, long min, long max, long& value) {
    if (text.empty() || text.size() > 10) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    errno = 0;
    const long v = std::strtol(text.c_str(), nullptr, 10);
    if (errno != 0 || v < min || v > max) return false;
    value = v;
    return true;
}

}  // namespace

bool FaultSet::Add(const std::string& spec, std::string& error) {
    const size_t colon = spec.find(':');
    const std::string name = spec.substr(0, colon);
    const std::string arg = colon == std::string::npos ? std::string() : spec.substr(colon + 1);
    const bool hasArg = colon != std::string::npos;
    long value = 0;

    if (name == "flip" || name == "flip-once") {
        if (arg.size() != 1 || arg[0] < 'A' || arg[0] > 'Z') {
            error = "--fault " + name + ":L needs a request letter, for example D";
            return false;
        }
        flipLetter = arg[0];
        flipOnce = name == "flip-once";
        return true;
    }
    if (name == "bad-store" || name == "no-store") {
        if (arg.size() != 1 || (arg[0] != 'C' && arg[0] != 'W' && arg[0] != 'X')) {
            error = "--fault " + name + ":L needs a write letter: C, W or X";
            return false;
        }
        std::string& letters = name == "bad-store" ? badStore : noStore;
        if (letters.find(arg[0]) == std::string::npos) letters += arg[0];
        return true;
    }
    if (name == "every" || name == "delay" || name == "hangup" || name == "lost-ack" ||
        name == "late-scan") {
        const bool isDelay = name == "delay" || name == "late-scan";
        const long min = isDelay ? 0 : 1;
        const long max = isDelay ? 600000 : 1000000;
        if (!hasArg || !ParseBounded(arg, min, max, value)) {
            error = "--fault " + name + ":N needs a number from " + std::to_string(min) + " to " +
                    std::to_string(max);
            return false;
        }
        if (name == "every")
            everyN = static_cast<int>(value);
        else if (name == "delay")
            delayMs = static_cast<uint32_t>(value);
        else if (name == "late-scan")
            lateScanMs = static_cast<uint32_t>(value);
        else if (name == "lost-ack")
            lostAck = static_cast<int>(value);
        else
            hangupAfter = static_cast<int>(value);
        return true;
    }
    if (hasArg) {
        error = "--fault " + name + " takes no argument";
        return false;
    }
    if (name == "silent")
        silent = true;
    else if (name == "bad-checksum")
        badChecksum = true;
    else if (name == "wrong-id")
        wrongId = true;
    else if (name == "wrong-letter")
        wrongLetter = true;
    else if (name == "truncate")
        truncate = true;
    else if (name == "overlong")
        overlong = true;
    else if (name == "fail-first")
        failFirst = true;
    else {
        error = "unknown fault '" + spec + "'";
        return false;
    }
    return true;
}

bool FaultSet::Any() const {
    return silent || everyN > 0 || badChecksum || wrongId || wrongLetter || truncate || overlong ||
           delayMs > 0 || hangupAfter > 0 || failFirst || lostAck > 0 || lateScanMs > 0 ||
           flipLetter != 0 || !badStore.empty() || !noStore.empty();
}

}  // namespace sim
