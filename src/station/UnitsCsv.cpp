#include "station/UnitsCsv.h"

#include "station/UnitColumns.h"

namespace {

void AppendField(std::string& out, const std::string& field) {
    if (field.find_first_of(",\"\r\n") == std::string::npos) {
        out += field;
        return;
    }
    out += '"';
    for (const char c : field) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
}

}  // namespace

std::string UnitsCsv(const std::vector<UnitRecord>& units) {
    std::string out = "id";
    for (const std::string_view name : kUnitColumns) out += "," + std::string(name);
    out += "\r\n";
    for (const UnitRecord& unit : units) {
        out += std::to_string(unit.id);
        for (size_t column = 0; column < kUnitColumns.size(); ++column) {
            out += ',';
            AppendField(out, ColumnText(unit, column));
        }
        out += "\r\n";
    }
    return out;
}
