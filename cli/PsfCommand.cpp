#include "CliSession.h"
#include "CommandLine.h"
#include "ExitCodes.h"
#include "JsonOutput.h"
#include "command/ServerRate.h"
#include "model/Fingerprint.h"
#include "model/PsfCodes.h"
#include "model/PsfFile.h"

namespace {

void PrintDone(CommandEnv& env, const char* action, const std::string& path, uint8_t id, const CPsfRecord& record) {
    if (env.global.json) {
        env.out << JsonLine({{"file", path},
                             {"action", action},
                             {"id", std::string(1, static_cast<char>(id))},
                             {"fingerprint", PsfFingerprint(record)}});
    } else if (std::string(action) == "get") {
        env.out << "Parameter set of controller " << static_cast<char>(id) << " saved to '" << path
                << "'.\n";
    } else {
        env.out << "Parameter set in '" << path << "' sent to controller " << static_cast<char>(id)
                << ".\n";
    }
}

int GetPsf(CommandEnv& env, const std::string& path) {
    // A file that cannot be written is found before the controller is asked.
    if (CheckPsfFileWritable(path) != kPsfOk) {
        env.ui.Report(FormatPsfFileError(kPsfCreateFailed));
        return kExitFile;
    }
    CliSession session(env.global, env.ui);
    if (const int rc = session.Open(); rc != kExitOk) return rc;
    // The file may be sent back one day: a damaged reply must not become it.
    CPsfRecord record;
    if (!session.Link()->ReadPsfChecked(record)) {
        env.ui.Report("Unable to input PSF.");
        return kExitController;
    }
    if (const int status = WritePsfFile(record, path); status != kPsfOk) {
        env.ui.Report(FormatPsfFileError(status));
        return kExitFile;
    }
    PrintDone(env, "get", path, record.Data()[0], record);
    return kExitOk;
}

int PutPsf(CommandEnv& env, const std::string& path, bool force) {
    // The file is checked before the port is touched: a bad file must not
    // cost the controller an exchange.
    CPsfRecord record;
    if (const int status = ReadPsfFile(record, path); status != kPsfOk) {
        env.ui.Report(FormatPsfFileError(status));
        return kExitFile;
    }
    if (const std::vector<std::string> odd = FieldsOutsideTables(record); !odd.empty() && !force) {
        std::string list;
        for (const std::string& field : odd) list += (list.empty() ? "" : ", ") + field;
        env.ui.Report("The parameter set in '" + path + "' holds codes in no option table: " + list +
                      ". Nothing was sent (--force sends it all the same).");
        return kExitFile;
    }
    CliSession session(env.global, env.ui);
    if (const int rc = session.Open(); rc != kExitOk) return rc;
    if (const std::string warning = CheckServerRate(*session.Link(), session.DevicePath(), record);
        !warning.empty() && !force) {
        env.ui.Report(warning + " Nothing was sent (--force sends it all the same).");
        return kExitUsage;
    } else if (!warning.empty()) {
        // The controller cannot be reached at its new rate through this
        // server: there is nothing to read back from.
        session.SetVerifyWrites(false);
    }
    const WriteOutcome sent = session.WritePsfVerified(record, "psf put");
    const int rc = session.WriteResult(sent, "Unable to output PSF.");
    if (sent.Succeeded()) PrintDone(env, "put", path, session.Link()->ControllerId(), record);
    return rc;
}

// One of psf get|put|show: its FILE argument and what it does with it.
CLI::App* AddFileCommand(CLI::App& psf, CommandEnv& env, const char* name, const char* description,
                         std::function<int(CommandEnv&, const std::string&)> action) {
    auto path = std::make_shared<std::string>();
    CLI::App* command = AddCommand(psf, name, description);
    command->add_option("FILE", *path, "the .PSF file")->type_name("")->required();
    RunWhenChosen(command, env, [&env, action = std::move(action), path] { return action(env, *path); });
    return command;
}

}  // namespace

void AddPsfCommand(CLI::App& app, CommandEnv& env) {
    CLI::App* psf = AddCommand(app, "psf", "parameter sets: controller <-> .PSF file");
    psf->require_subcommand(1);
    AddFileCommand(*psf, env, "get",
                   "reads the controller's parameter set into FILE (154 bytes); an\n"
                   "existing FILE is replaced only once the new one is complete",
                   GetPsf);
    auto force = std::make_shared<bool>(false);
    CLI::App* put = AddFileCommand(
        *psf, env, "put",
        "sends the parameter set in FILE to the controller; a set with codes\n"
        "in no option table (psf show marks them) is refused unless --force,\n"
        "and so is, over tcp://, a set with another baud rate than the\n"
        "controller's: the device server's line would not follow it",
        [force](CommandEnv& e, const std::string& path) { return PutPsf(e, path, *force); });
    put->add_flag("--force", *force,
                  "send the set all the same: codes in no option table, or over\n"
                  "tcp:// a baud rate the server's line will not follow")
        ->disable_flag_override();
    AddFileCommand(*psf, env, "show",
                   "prints the parameter set in FILE, every field and the 16 outputs;\n"
                   "needs no controller",
                   ShowPsfFile);
    AddPsfSetCommand(*psf, env);
    AddPsfDiffCommand(*psf, env);
}
