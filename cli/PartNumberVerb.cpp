#include <cstdio>
#include <ctime>

#include "CliSession.h"
#include "ExitCodes.h"
#include "JsonWriter.h"
#include "Verbs.h"
#include "model/PartNumbers.h"

namespace {

constexpr const char* kUsage = "Usage: veltrixctl [OPTIONS] partnumber NUMBER [--date-code CODE]\n";
constexpr const char* kHelp =
    "\n"
    "Writes a part number (decimal, 0 to 4294967295) and a date code (decimal,\n"
    "0 to 65535) into the controller. The date code defaults to today's, YYWW:\n"
    "years since 1900 (less 100 from 2000 on) and the week of the year counted\n"
    "in blocks of seven days from 1 January.\n";

// As the diagnostics show it ("%04d"), so the two can be compared.
std::string FormatDateCode(unsigned code) {
    char text[16];
    std::snprintf(text, sizeof text, "%04u", code);
    return text;
}

}  // namespace

int RunPartNumber(VerbContext& context, const VerbArgs& args) {
    ParsedArgs parsed;
    int exitCode = kExitOk;
    if (!ParseVerbArgs(context, args, {{"--date-code", true}}, kUsage, kHelp, 1, 1, parsed, exitCode)) {
        return exitCode;
    }
    const auto partNumber = ParseDecimal(parsed.positionals[0], 0, 4294967295ULL);
    if (!partNumber) {
        return UsageError(context, "NUMBER must be a decimal number from 0 to 4294967295", kUsage);
    }
    std::string dateCodeText;
    if (parsed.Has("--date-code")) {
        dateCodeText = parsed.options["--date-code"];
    } else {
        const std::time_t now = std::time(nullptr);
        std::tm local{};
        localtime_r(&now, &local);
        dateCodeText = MakeDateCode(local);
    }
    // The controller keeps 16 bits; a code that would not survive that is
    // refused rather than silently cut.
    const auto dateCode = ParseDecimal(dateCodeText, 0, 65535);
    if (!dateCode) return UsageError(context, "the date code must be a decimal number from 0 to 65535", kUsage);

    CliSession session(context.global, context.ui);
    if (const int rc = session.Open(); rc != kExitOk) return rc;
    if (!session.Link()->WritePartNumber(static_cast<uint32_t>(*partNumber), static_cast<uint32_t>(*dateCode))) {
        context.ui.Report("Error setting Part Number and Date Code.");
        return kExitController;
    }
    if (context.global.json) {
        JsonWriter json;
        json.BeginObject()
            .Field("part_number", std::to_string(*partNumber))
            .Field("date_code", FormatDateCode(static_cast<unsigned>(*dateCode)))
            .EndObject();
        context.out << json.Text() << "\n";
    } else {
        context.out << "Part Number and Date Code Set.\n";
    }
    return kExitOk;
}
