#pragma once

#include <cstdint>
#include <optional>
#include <string>

// How the Set Part Number command turns the dialog's texts into the numbers
// it sends. Qt-free, so the rules are tested directly.

// The leading decimal digits of text as an unsigned number (what "%u" and
// "%lu" read, without their tolerance for blanks and signs); 0 when there
// are none. Wraps modulo 2^32 like the 32 bits it is sent in.
uint32_t LeadingDigits(const std::string& text);

// The part number to send for the text chosen in the list: its leading
// digits, read up to the first non-digit ("12A456" gives 12). Nothing when
// the text is empty or does not begin with a digit: there is no number to
// send then.
std::optional<uint32_t> ReadPartNumber(const std::string& text);

// The message that refuses a choice with no number to send, or nothing when
// the choice can be sent.
std::optional<std::string> PartNumberRefusal(const std::string& text);
