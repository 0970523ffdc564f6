#pragma once

#include <string>

// Where a service report goes and how it gets there.

// "veltrix-report-20261101-103205.html" (".json" for JSON) for the local
// time now; a name that holds a file already gets "-2", "-3", ... so that an
// earlier report is never replaced.
std::string DefaultReportName(const std::string& folder, bool json);

// Writes the report so that a failure leaves any previous file intact;
// false with the system's text for the error in error.
bool WriteReportFile(const std::string& path, const std::string& text, std::string& error);
