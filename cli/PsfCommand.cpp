#include "CliSession.h"
#include "CommandLine.h"
#include "ExitCodes.h"
#include "JsonOutput.h"
#include "model/PsfFile.h"

namespace {

void PrintDone(CommandEnv& env, const char* action, const std::string& path, uint8_t id) {
    if (env.global.json) {
        env.out << JsonLine(
            {{"file", path}, {"action", action}, {"id", std::string(1, static_cast<char>(id))}});
    } else if (std::string(action) == "get") {
        env.out << "Parameter set of controller " << static_cast<char>(id) << " saved to '" << path
                << "'.\n";
    } else {
        env.out << "Parameter set in '" << path << "' sent to controller " << static_cast<char>(id)
                << ".\n";
    }
}

int GetPsf(CommandEnv& env, const std::string& path) {
    CliSession session(env.global, env.ui);
    if (const int rc = session.Open(); rc != kExitOk) return rc;
    CPsfRecord record;
    if (!session.Link()->ReadPsf(record)) {
        env.ui.Report("Unable to input PSF.");
        return kExitController;
    }
    if (const int status = WritePsfFile(record, path); status != kPsfOk) {
        env.ui.Report(FormatPsfFileError(status));
        return kExitFile;
    }
    PrintDone(env, "get", path, record.Data()[0]);
    return kExitOk;
}

int PutPsf(CommandEnv& env, const std::string& path) {
    // The file is checked before the port is touched: a bad file must not
    // cost the controller an exchange.
    CPsfRecord record;
    if (const int status = ReadPsfFile(record, path); status != kPsfOk) {
        env.ui.Report(FormatPsfFileError(status));
        return kExitFile;
    }
    CliSession session(env.global, env.ui);
    if (const int rc = session.Open(); rc != kExitOk) return rc;
    if (!session.Link()->SendPsf(record)) {
        env.ui.Report("Unable to output PSF.");
        return kExitController;
    }
    PrintDone(env, "put", path, session.Link()->ControllerId());
    return kExitOk;
}

// One of psf get|put|show: its FILE argument and what it does with it.
void AddFileCommand(CLI::App& psf, CommandEnv& env, const char* name, const char* description,
                    int (*action)(CommandEnv&, const std::string&)) {
    auto path = std::make_shared<std::string>();
    CLI::App* command = AddCommand(psf, name, description);
    command->add_option("FILE", *path, "the .PSF file")->type_name("")->required();
    RunWhenChosen(command, env, [&env, action, path] { return action(env, *path); });
}

}  // namespace

void AddPsfCommand(CLI::App& app, CommandEnv& env) {
    CLI::App* psf = AddCommand(app, "psf", "parameter sets: controller <-> .PSF file");
    psf->require_subcommand(1);
    AddFileCommand(*psf, env, "get",
                   "reads the controller's parameter set into FILE (154 bytes); an\n"
                   "existing FILE is replaced only once the new one is complete",
                   GetPsf);
    AddFileCommand(*psf, env, "put", "sends the parameter set in FILE to the controller", PutPsf);
    AddFileCommand(*psf, env, "show",
                   "prints the parameter set in FILE, every field and the 16 outputs;\n"
                   "needs no controller",
                   ShowPsfFile);
    AddPsfSetCommand(*psf, env);
    AddPsfDiffCommand(*psf, env);
}
