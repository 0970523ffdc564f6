#include "PsfDifferences.h"

void PrintDifferences(std::ostream& out, const std::vector<PsfDifference>& differences) {
    for (const PsfDifference& d : differences) out << d.field << ": " << d.a << " -> " << d.b << "\n";
}

Json DifferencesJson(const std::vector<PsfDifference>& differences) {
    Json list = Json::array();
    for (const PsfDifference& d : differences) list.push_back({{"field", d.field}, {"a", d.a}, {"b", d.b}});
    return list;
}
