#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Builds one JSON text. Keys and values are written in call order; commas
// are placed by the writer. Strings are escaped so that any byte sequence
// (codes from a damaged file included) gives valid JSON: control characters
// and bytes above 0x7F come out as \u00XX, read as Latin-1.
class JsonWriter {
public:
    JsonWriter& BeginObject();
    JsonWriter& EndObject();
    JsonWriter& BeginArray();
    JsonWriter& EndArray();
    JsonWriter& Key(const std::string& key);
    JsonWriter& String(const std::string& value);
    JsonWriter& Number(long long value);
    JsonWriter& Bool(bool value);
    JsonWriter& Null();

    // Shorthands for a key and its value.
    JsonWriter& Field(const std::string& key, const std::string& value) { return Key(key).String(value); }
    JsonWriter& Field(const std::string& key, const char* value) { return Key(key).String(value); }
    JsonWriter& Field(const std::string& key, long long value) { return Key(key).Number(value); }
    JsonWriter& Field(const std::string& key, int value) { return Key(key).Number(value); }
    JsonWriter& Field(const std::string& key, bool value) { return Key(key).Bool(value); }

    const std::string& Text() const { return m_text; }

    static std::string Escape(const std::string& value);

private:
    void BeforeValue();

    std::string m_text;
    // One entry per open container: true once it holds an element.
    std::vector<bool> m_hasElement;
    bool m_afterKey = false;
};
