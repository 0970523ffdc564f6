#include "sim/BeamAnalysis.h"

#include <algorithm>

namespace sim {

namespace {

size_t First(const std::vector<bool>& s, bool state) {
    for (size_t i = 0; i < s.size(); ++i)
        if (s[i] == state) return i + 1;
    return 0;
}

size_t Last(const std::vector<bool>& s, bool state) {
    for (size_t i = s.size(); i > 0; --i)
        if (s[i - 1] == state) return i;
    return 0;
}

size_t Total(const std::vector<bool>& s, bool state) {
    return static_cast<size_t>(std::count(s.begin(), s.end(), state));
}

size_t LongestRun(const std::vector<bool>& s, bool state) {
    size_t best = 0;
    size_t run = 0;
    for (bool b : s) {
        run = b == state ? run + 1 : 0;
        best = std::max(best, run);
    }
    return best;
}

size_t Transitions(const std::vector<bool>& s) {
    size_t n = 0;
    for (size_t i = 1; i < s.size(); ++i)
        if (s[i] != s[i - 1]) ++n;
    return n;
}

size_t BlockedSegments(const std::vector<bool>& s) {
    size_t n = 0;
    for (size_t i = 0; i < s.size(); ++i)
        if (s[i] && (i == 0 || !s[i - 1])) ++n;
    return n;
}

}  // namespace

uint16_t Measure(uint8_t modeCode, const std::vector<bool>& states) {
    size_t v = 0;
    switch (modeCode) {
        case 'A':
            v = First(states, true);
            break;
        case 'B':
            v = First(states, false);
            break;
        case 'C':
            v = Last(states, true);
            break;
        case 'D':
            v = Last(states, false);
            break;
        case 'E':
            v = Total(states, true);
            break;
        case 'F':
            v = Total(states, false);
            break;
        case 'G':
            v = LongestRun(states, true);
            break;
        case 'H':
            v = LongestRun(states, false);
            break;
        case 'I':
            v = Transitions(states);
            break;
        case 'J':
            v = BlockedSegments(states);
            break;
        default:
            v = 0;
            break;
    }
    return static_cast<uint16_t>(std::min<size_t>(v, 65535));
}

}  // namespace sim
