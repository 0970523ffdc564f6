#include "dialogs/partnumber/PartNumberRules.h"

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

uint32_t LeadingDigits(const std::string& text) {
    uint32_t value = 0;
    for (char c : text) {
        if (!IsDigit(c)) break;
        value = value * 10u + static_cast<uint32_t>(c - '0');
    }
    return value;
}

std::optional<uint32_t> ReadPartNumber(const std::string& text) {
    if (text.empty() || !IsDigit(text.front())) return std::nullopt;
    return LeadingDigits(text);
}

std::optional<std::string> PartNumberRefusal(const std::string& text) {
    if (text.empty())
        return std::string("No part number is selected. Nothing was sent to the controller.");
    if (!IsDigit(text.front()))
        return "Part number '" + text +
               "' does not begin with a digit and cannot be sent. Nothing was sent to the "
               "controller.";
    return std::nullopt;
}
