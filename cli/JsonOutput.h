#pragma once

#include <nlohmann/json.hpp>
#include <string>

// The --json output: keys stay in the order they were added.
using Json = nlohmann::ordered_json;

// The object as one line. Text goes out as UTF-8; bytes that are not UTF-8
// (a file name in another encoding, a damaged code) become U+FFFD rather
// than failing the command.
inline std::string JsonLine(const Json& json) {
    return json.dump(-1, ' ', false, Json::error_handler_t::replace) + "\n";
}
