#include <memory>
#include <optional>
#include <string>

#include "CliSession.h"
#include "CommandLine.h"
#include "ExitCodes.h"
#include "PsfDifferences.h"
#include "model/PsfFile.h"

namespace {

constexpr const char* kController = "controller";
// The status of diff(1): scripts test it as "the sets differ".
constexpr int kSetsDiffer = 1;

struct PsfDiffRequest {
    std::string a;
    std::string b;
};

int ReadFile(CommandEnv& env, const std::string& path, CPsfRecord& record) {
    if (const int status = ReadPsfFile(record, path); status != kPsfOk) {
        env.ui.Report(FormatPsfFileError(status));
        return kExitFile;
    }
    return kExitOk;
}

int DiffPsfs(CommandEnv& env, const PsfDiffRequest& request) {
    CPsfRecord a;
    CPsfRecord b;
    // Files first: a bad file costs the controller no exchange.
    if (request.a != kController) {
        if (const int rc = ReadFile(env, request.a, a); rc != kExitOk) return rc;
    }
    if (request.b != kController) {
        if (const int rc = ReadFile(env, request.b, b); rc != kExitOk) return rc;
    }
    if (request.a == kController || request.b == kController) {
        CliSession session(env.global, env.ui);
        if (const int rc = session.Open(); rc != kExitOk) return rc;
        CPsfRecord controller;
        if (!session.Link()->ReadPsf(controller)) {
            env.ui.Report("Unable to input PSF.");
            return kExitController;
        }
        if (request.a == kController) a = controller;
        if (request.b == kController) b = controller;
    }

    const std::vector<PsfDifference> differences = DiffPsf(a, b);
    if (env.global.json) {
        env.out << JsonLine({{"differences", DifferencesJson(differences)}});
    } else {
        PrintDifferences(env.out, differences);
    }
    return differences.empty() ? kExitOk : kSetsDiffer;
}

}  // namespace

void AddPsfDiffCommand(CLI::App& psf, CommandEnv& env) {
    const auto request = std::make_shared<PsfDiffRequest>();
    CLI::App* diff = AddCommand(psf, "diff", "prints the fields in which two parameter sets differ");
    diff->add_option("A", request->a, "a .PSF file, or the word \"controller\"")
        ->type_name("")
        ->required();
    diff->add_option("B", request->b, "a .PSF file, or the word \"controller\"")
        ->type_name("")
        ->required();
    diff->footer(
        "One line per differing field, \"field: A-text -> B-text\", with the\n"
        "names and values of psf set; the outputs one by one, as output.N. The\n"
        "addressed id and command letter (bytes 0 and 1) are not compared.\n"
        "Exit status 0 when the sets are equal, 1 when they differ (or the\n"
        "controller did not answer: the message says so).");
    RunWhenChosen(diff, env, [&env, request] { return DiffPsfs(env, *request); });
}
