#include "MiniJson.h"

#include <cstdlib>
#include <stdexcept>

namespace {

class Parser {
public:
    explicit Parser(const std::string& text) : m_text(text) {}

    Json Document() {
        Json value = Value();
        Space();
        if (m_pos != m_text.size()) throw std::runtime_error("trailing text");
        return value;
    }

private:
    void Space() {
        while (m_pos < m_text.size() && (m_text[m_pos] == ' ' || m_text[m_pos] == '\n' ||
                                         m_text[m_pos] == '\r' || m_text[m_pos] == '\t')) {
            ++m_pos;
        }
    }
    char Peek() {
        Space();
        if (m_pos >= m_text.size()) throw std::runtime_error("unexpected end");
        return m_text[m_pos];
    }
    void Expect(const std::string& word) {
        if (m_text.compare(m_pos, word.size(), word) != 0) throw std::runtime_error("bad literal");
        m_pos += word.size();
    }

    Json Value() {
        Json v;
        const char c = Peek();
        if (c == '{') {
            v.type = Json::Type::Object;
            ++m_pos;
            if (Peek() == '}') {
                ++m_pos;
                return v;
            }
            for (;;) {
                if (Peek() != '"') throw std::runtime_error("key expected");
                const std::string key = String();
                if (Peek() != ':') throw std::runtime_error("colon expected");
                ++m_pos;
                v.keyOrder.push_back(key);
                v.object[key] = Value();
                const char next = Peek();
                ++m_pos;
                if (next == '}') return v;
                if (next != ',') throw std::runtime_error("comma expected");
            }
        }
        if (c == '[') {
            v.type = Json::Type::Array;
            ++m_pos;
            if (Peek() == ']') {
                ++m_pos;
                return v;
            }
            for (;;) {
                v.array.push_back(Value());
                const char next = Peek();
                ++m_pos;
                if (next == ']') return v;
                if (next != ',') throw std::runtime_error("comma expected");
            }
        }
        if (c == '"') {
            v.type = Json::Type::String;
            v.string = String();
            return v;
        }
        if (c == 't') {
            Expect("true");
            v.type = Json::Type::Bool;
            v.boolean = true;
            return v;
        }
        if (c == 'f') {
            Expect("false");
            v.type = Json::Type::Bool;
            return v;
        }
        if (c == 'n') {
            Expect("null");
            return v;
        }
        const char* start = m_text.c_str() + m_pos;
        char* end = nullptr;
        v.number = std::strtod(start, &end);
        if (end == start) throw std::runtime_error("value expected");
        v.type = Json::Type::Number;
        m_pos += static_cast<size_t>(end - start);
        return v;
    }

    std::string String() {
        ++m_pos;  // the opening quote
        std::string out;
        while (m_pos < m_text.size()) {
            const char c = m_text[m_pos++];
            if (c == '"') return out;
            if (static_cast<unsigned char>(c) < 0x20) throw std::runtime_error("raw control character");
            if (c != '\\') {
                out += c;
                continue;
            }
            if (m_pos >= m_text.size()) break;
            const char e = m_text[m_pos++];
            switch (e) {
            case '"': out += '"'; break;
            case '\\': out += '\\'; break;
            case '/': out += '/'; break;
            case 'n': out += '\n'; break;
            case 'r': out += '\r'; break;
            case 't': out += '\t'; break;
            case 'b': out += '\b'; break;
            case 'f': out += '\f'; break;
            case 'u': {
                if (m_pos + 4 > m_text.size()) throw std::runtime_error("short escape");
                const unsigned code = static_cast<unsigned>(std::stoul(m_text.substr(m_pos, 4), nullptr, 16));
                m_pos += 4;
                // Only the Latin-1 range occurs in what we read.
                out += static_cast<char>(code & 0xFF);
                break;
            }
            default: throw std::runtime_error("bad escape");
            }
        }
        throw std::runtime_error("unterminated string");
    }

    const std::string& m_text;
    size_t m_pos = 0;
};

}  // namespace

const Json& Json::operator[](const std::string& key) const {
    static const Json kNull;
    const auto it = object.find(key);
    return it == object.end() ? kNull : it->second;
}

std::optional<Json> ParseJson(const std::string& text) {
    try {
        return Parser(text).Document();
    } catch (const std::exception&) {
        return std::nullopt;
    }
}
