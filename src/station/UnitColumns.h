#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "station/UnitRecord.h"

// The columns of the table "units" after its "id", in table order: one list
// for both back ends, the spool and the CSV export, so that none of them can
// drop a field the others keep.
inline constexpr std::array<std::string_view, 15> kUnitColumns = {
    "started_at",  "finished_at",     "station",          "device",
    "controller_id", "part_number",   "date_code",        "firmware",
    "layout",      "psf_fingerprint", "blanking_fingerprint", "result",
    "reason",      "operator",        "record_uid"};

// Columns that hold a time (FormatUtc's text here; timestamptz in PostgreSQL).
bool IsTimeColumn(size_t column);
// Columns the log fills for every unit; the others may be NULL.
bool IsRequiredColumn(size_t column);

// A column's value as text, cleaned (CleanUtf8); empty stands for NULL.
std::string ColumnText(const UnitRecord& unit, size_t column);
// Sets a column from its text. False for a time or result that does not read.
bool SetColumnText(UnitRecord& unit, size_t column, std::string_view text);
