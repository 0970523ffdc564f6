#pragma once

// The names under which the program shows itself and keeps its settings.
inline constexpr const char* kAppName = "Multiple Output VELTRIX 2.0";
inline constexpr const char* kCompanyKey = "Local AppWizard-Generated Applications";
