#pragma once

#include <string>

#include "report/ServiceReport.h"

// The service report as one self-contained HTML page: no scripts, no files
// or fonts from elsewhere, every text escaped. The summary comes first (what
// failed, what the controller is), then the sections in detail.
std::string RenderReportHtml(const ServiceReport& report);

// The same content as one JSON object, keys in a fixed order: indented for a
// file, or on one line (as the tool's other --json output).
std::string RenderReportJson(const ServiceReport& report, bool indented = true);

// "a<b" -> "a&lt;b"; line breaks stay as they are.
std::string EscapeHtml(const std::string& text);

// The bytes in hex, 16 to a line, each line led by its offset: "000  41 43 ...".
std::string HexRows(const uint8_t* bytes, int count);
