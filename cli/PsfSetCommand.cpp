#include <memory>
#include <string>
#include <vector>

#include "CommandLine.h"
#include "ExitCodes.h"
#include "PsfDifferences.h"
#include "model/PsfFile.h"

namespace {

struct PsfSetRequest {
    std::string path;
    std::string out;  // empty: the file itself
    std::vector<std::string> settings;
};

int SetPsf(CommandEnv& env, const PsfSetRequest& request, const CLI::App& command) {
    CPsfRecord record;
    if (const int status = ReadPsfFile(record, request.path); status != kPsfOk) {
        env.ui.Report(FormatPsfFileError(status));
        return kExitFile;
    }
    const CPsfRecord before = record;
    std::string error;
    if (!ApplyPsfSettings(record, request.settings, error)) {
        // Worded as the usage errors found while parsing are.
        env.ui.Report("veltrixctl: " + error + "\n" + UsageLine(command));
        return kExitUsage;
    }
    // Written through a temporary file: a failed write leaves the old one whole.
    const std::string target = request.out.empty() ? request.path : request.out;
    if (const int status = WritePsfFile(record, target); status != kPsfOk) {
        env.ui.Report(FormatPsfFileError(status));
        return kExitFile;
    }
    const std::vector<PsfDifference> changes = DiffPsf(before, record);
    if (env.global.json) {
        env.out << JsonLine({{"file", target}, {"differences", DifferencesJson(changes)}});
    } else {
        PrintDifferences(env.out, changes);
        env.out << (changes.empty() ? "No field changed; " : "") << "saved to '" << target << "'.\n";
    }
    return kExitOk;
}

}  // namespace

void AddPsfSetCommand(CLI::App& psf, CommandEnv& env) {
    const auto request = std::make_shared<PsfSetRequest>();
    CLI::App* set = AddCommand(psf, "set", "edits the parameter set in FILE offline, with the\n"
                                           "rules of the PSF dialog; needs no controller");
    set->add_option("FILE", request->path, "the .PSF file")->type_name("")->required();
    set->add_option("KEY=VALUE", request->settings, "the fields to set")->type_name("")->required();
    set->add_option_function<std::string>(
           "--out",
           [request](const std::string& value) {
               if (value.empty()) throw CLI::ValidationError("--out needs a file name");
               request->out = value;
           },
           "write the result to FILE2 and leave FILE as it is")
        ->type_name("FILE2");
    set->footer(
        "Keys and values (values in any case):\n"
        "  id=A..O  baud=9600|19200|38400  control=Continuous|Gate|Host\n"
        "  scanning=Straight|Skip1..Skip7|Interlaced|Edge\n"
        "  meas1=, meas2=FBB|FBM|LBB|LBM|TBB|TBM|CBB|CBM|TRN|SEG|None\n"
        "  transmission=none|meas|all  type=ascii|binary  scans=1..9\n"
        "  suppress-clear=, suppress-header=, compress=on|off\n"
        "  output.N=SOURCE[,A,B,C,D]  N 1 to 16; SOURCE off, meas1, meas2,\n"
        "    meas1-inv, meas2-inv, and on output.16 also alarm, trigger;\n"
        "    A, B set point low and high, C, D hysteresis low and high\n"
        "As in the dialog, Edge scanning makes Meas 1 LBB and Meas 2 None, and\n"
        "transmission none clears the three options (naming one with it is an\n"
        "error). An output set here must keep C < A <= B < D with A and B from 1\n"
        "to 384 (a trigger: A from 1 to 384). Prints the fields that changed.");
    RunWhenChosen(set, env, [&env, request, set] { return SetPsf(env, *request, *set); });
}
