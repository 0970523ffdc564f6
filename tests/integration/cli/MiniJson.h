#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// Just enough JSON to read the simulator's log and state and veltrixctl's
// --json output. Parsing is strict, so malformed output fails the test.
struct Json {
    enum class Type { Null, Bool, Number, String, Array, Object };
    Type type = Type::Null;
    bool boolean = false;
    double number = 0;
    std::string string;
    std::vector<Json> array;
    std::map<std::string, Json> object;
    std::vector<std::string> keyOrder;

    bool Has(const std::string& key) const { return object.count(key) != 0; }
    const Json& operator[](const std::string& key) const;
    const Json& operator[](std::size_t index) const { return array.at(index); }
    long long Int() const { return static_cast<long long>(number); }
};

std::optional<Json> ParseJson(const std::string& text);
