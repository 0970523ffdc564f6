// veltrixctl audit: the log of every write attempt, and its chain check.
#include <ctime>

#include "CommandLine.h"
#include "ExitCodes.h"
#include "JsonOutput.h"
#include "history/AuditLog.h"

namespace {

struct AuditRequest {
    std::optional<std::time_t> since;
};

// "2026-12-07" (local midnight) or "2026-12-07T10:02[:03]" (local time).
std::optional<std::time_t> ParseSince(const std::string& text) {
    std::tm local{};
    int n = 0;
    int consumed = 0;
    n = std::sscanf(text.c_str(), "%4d-%2d-%2d%n", &local.tm_year, &local.tm_mon, &local.tm_mday,
                    &consumed);
    if (n != 3) return std::nullopt;
    if (static_cast<size_t>(consumed) != text.size()) {
        int more = 0;
        local.tm_sec = 0;
        const int m = std::sscanf(text.c_str() + consumed, "T%2d:%2d%n:%2d%n", &local.tm_hour,
                                  &local.tm_min, &more, &local.tm_sec, &more);
        if (m < 2 || static_cast<size_t>(consumed + more) != text.size()) return std::nullopt;
    }
    if (local.tm_mon < 1 || local.tm_mon > 12 || local.tm_mday < 1 || local.tm_mday > 31 ||
        local.tm_hour > 23 || local.tm_min > 59 || local.tm_sec > 59)
        return std::nullopt;
    local.tm_year -= 1900;
    local.tm_mon -= 1;
    local.tm_isdst = -1;
    const std::time_t t = std::mktime(&local);
    if (t == static_cast<std::time_t>(-1)) return std::nullopt;
    return t;
}

int PrintAudit(CommandEnv& env, const AuditRequest& request) {
    const AuditLog log;
    std::vector<std::string> lines;
    std::string error;
    if (!log.ReadLines(lines, error)) {
        env.ui.Report(error);
        return kExitFile;
    }
    Json entries = Json::array();
    for (const std::string& text : lines) {
        if (request.since) {
            const std::optional<std::time_t> when = AuditLineTime(text);
            if (!when || *when < *request.since) continue;
        }
        const Json line = Json::parse(text, nullptr, false);
        if (line.is_discarded() || !line.is_object()) {
            if (env.global.json)
                entries.push_back({{"unreadable", text}});
            else
                env.out << "(not an audit line) " << text << "\n";
            continue;
        }
        if (env.global.json)
            entries.push_back(line);
        else
            env.out << AuditLineText(text) << "\n";
    }
    if (env.global.json) env.out << JsonLine({{"file", log.Path()}, {"entries", entries}});
    return kExitOk;
}

int VerifyAudit(CommandEnv& env) {
    const AuditLog log;
    const AuditLog::ChainCheck check = log.Verify();
    if (env.global.json) {
        Json json = {
            {"file", log.Path()}, {"lines", check.lines}, {"intact", check.brokenLine == 0}};
        if (check.brokenLine != 0) {
            json["broken_line"] = check.brokenLine;
            json["why"] = check.why;
        }
        env.out << JsonLine(json);
    } else if (check.brokenLine == 0) {
        env.out << "The audit log '" << log.Path() << "' is intact: " << check.lines
                << (check.lines == 1 ? " line.\n" : " lines.\n");
    }
    if (check.brokenLine == 0) return kExitOk;
    env.ui.Report("The audit log '" + log.Path() + "' is broken at line " +
                  std::to_string(check.brokenLine) + ": " + check.why + ".");
    return kExitController;
}

}  // namespace

void AddAuditCommand(CLI::App& app, CommandEnv& env) {
    CLI::App* audit = AddCommand(app, "audit",
                                 "every write attempt: when, who, where, what, and how it\n"
                                 "ended; 'audit verify' checks that no line was changed or\n"
                                 "removed");
    const auto request = std::make_shared<AuditRequest>();
    audit
        ->add_option_function<std::string>(
            "--since",
            [request](const std::string& value) {
                request->since = ParseSince(value);
                if (!request->since)
                    throw CLI::ValidationError(
                        "--since needs a date, YYYY-MM-DD or YYYY-MM-DDTHH:MM, not '" + value +
                        "'");
            },
            "only the attempts from DATE on (YYYY-MM-DD, or with THH:MM;\n"
            "local time)")
        ->type_name("DATE");
    audit->callback([&env, audit, request] {
        if (audit->get_subcommands().empty())
            env.run = [&env, request] { return PrintAudit(env, *request); };
    });
    CLI::App* verify = AddCommand(*audit, "verify",
                                  "checks the chain of the log's lines; exit status 1 names\n"
                                  "the first line that breaks it");
    RunWhenChosen(verify, env, [&env] { return VerifyAudit(env); });
}
