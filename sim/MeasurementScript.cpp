#include "sim/MeasurementScript.h"

#include <cctype>

namespace sim {

namespace {

bool ParseValue(const std::string& text, uint16_t& value) {
    if (text.empty() || text.size() > 5) return false;
    unsigned long v = 0;
    for (char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
        v = v * 10 + static_cast<unsigned long>(c - '0');
    }
    if (v > 65535) return false;
    value = static_cast<uint16_t>(v);
    return true;
}

}  // namespace

MeasurementScript::Pair MeasurementScript::Current() const {
    if (values.empty()) return {0, 0};
    return values[next < values.size() ? next : values.size() - 1];
}

void MeasurementScript::Advance() {
    if (values.empty()) return;
    if (next + 1 < values.size())
        ++next;
    else if (repeat)
        next = 0;
}

bool ParseMeasurementScript(const std::string& text, std::vector<MeasurementScript::Pair>& values,
                            std::string& error) {
    std::vector<MeasurementScript::Pair> parsed;
    size_t start = 0;
    while (true) {
        const size_t comma = text.find(',', start);
        const std::string item = text.substr(start, comma == std::string::npos ? comma : comma - start);
        const size_t slash = item.find('/');
        MeasurementScript::Pair pair{};
        const bool ok = slash == std::string::npos
                            ? ParseValue(item, pair[0])
                            : ParseValue(item.substr(0, slash), pair[0]) &&
                                  ParseValue(item.substr(slash + 1), pair[1]);
        if (!ok) {
            error = "measurement value '" + item +
                    "' is not N or N/M with numbers from 0 to 65535";
            return false;
        }
        if (slash == std::string::npos) pair[1] = pair[0];
        parsed.push_back(pair);
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    values = std::move(parsed);
    return true;
}

}  // namespace sim
