#include <ctime>

#include "CliSession.h"
#include "CommandLine.h"
#include "ExitCodes.h"
#include "JsonOutput.h"
#include "model/PartNumbers.h"
#include "model/WriteChanges.h"
#include "platform/LocalTime.h"

namespace {

struct PartNumberRequest {
    uint32_t partNumber = 0;
    std::optional<uint32_t> dateCode;  // nothing: today's
};

// The controller keeps 16 bits; a code that would not survive that is
// refused rather than silently cut.
constexpr const char* kDateCodeRange = "the date code must be a decimal number from 0 to 65535";

int WritePartNumber(CommandEnv& env, const PartNumberRequest& request) {
    uint32_t dateCode = 0;
    if (request.dateCode) {
        dateCode = *request.dateCode;
    } else {
        std::tm local{};
        ToLocalTime(std::time(nullptr), local);
        const auto today = ParseDecimal(MakeDateCode(local), 0, 65535);
        if (!today) {
            env.ui.Report(std::string("veltrixctl: ") + kDateCodeRange);
            return kExitUsage;
        }
        dateCode = static_cast<uint32_t>(*today);
    }

    CliSession session(env.global, env.ui);
    if (const int rc = session.Open(); rc != kExitOk) return rc;
    const WriteOutcome sent =
        session.WritePartNumberVerified(request.partNumber, dateCode, "partnumber");
    const int rc = session.WriteResult(sent, "Error setting Part Number and Date Code.");
    if (!sent.Succeeded()) return rc;
    if (env.global.json) {
        env.out << JsonLine({{"part_number", std::to_string(request.partNumber)},
                             {"date_code", DateCodeText(static_cast<uint16_t>(dateCode))}});
    } else {
        env.out << "Part Number and Date Code Set.\n";
    }
    return rc;
}

}  // namespace

void AddPartNumberCommand(CLI::App& app, CommandEnv& env) {
    CLI::App* command = AddCommand(app, "partnumber", "write part number and date code");
    command->footer(
        "Writes a part number (decimal, 0 to 4294967295) and a date code (decimal,\n"
        "0 to 65535) into the controller. The date code defaults to today's, YYWW:\n"
        "years since 1900 (less 100 from 2000 on) and the week of the year counted\n"
        "in blocks of seven days from 1 January.");
    const auto request = std::make_shared<PartNumberRequest>();
    command
        ->add_option_function<std::string>(
            "NUMBER",
            [request](const std::string& value) {
                request->partNumber = static_cast<uint32_t>(
                    DecimalOrUsageError(value, 0, 4294967295ULL,
                                        "NUMBER must be a decimal number from 0 to 4294967295"));
            },
            "the part number")
        ->type_name("")
        ->required();
    command
        ->add_option_function<std::string>(
            "--date-code",
            [request](const std::string& value) {
                request->dateCode =
                    static_cast<uint32_t>(DecimalOrUsageError(value, 0, 65535, kDateCodeRange));
            },
            "the date code, instead of today's")
        ->type_name("CODE");
    RunWhenChosen(command, env, [&env, request] { return WritePartNumber(env, *request); });
}
