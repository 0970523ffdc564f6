// The manual pages and the bash completion against what the programs' --help
// says: a command or option added to one and not to the others fails here.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

using Names = std::set<std::string>;

const std::string kBin = VELTRIX_BINARY_DIR;
const std::string kSource = VELTRIX_SOURCE_DIR;

std::string ReadFile(const std::string& path) {
    std::ifstream in(path);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// stdout of a program run with these words (plain words, no quoting needed).
std::string Output(const std::string& program, const std::string& words) {
    std::string text;
    if (std::FILE* pipe = ::popen((program + " " + words + " 2>&1").c_str(), "r")) {
        char buffer[4096];
        for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
            text.append(buffer, n);
        EXPECT_EQ(::pclose(pipe), 0) << program << " " << words;
    }
    return text;
}

// A help page: the options in its first column and the commands it lists.
struct HelpPage {
    Names options;
    std::vector<std::string> commands;
};

HelpPage ParseHelp(const std::string& text) {
    static const std::regex option(R"((^|,)(--?[a-z][a-z0-9-]*))");
    HelpPage page;
    std::istringstream in(text);
    bool inCommands = false;
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] != ' ') {
            inCommands = line == "Commands:";
            continue;
        }
        // Entries start two columns in; wrapped descriptions further.
        if (line.size() < 3 || line[2] == ' ') continue;
        const std::string first = line.substr(2, line.find(' ', 2) - 2);
        if (inCommands) {
            page.commands.push_back(first);
        } else {
            for (std::sregex_iterator it(first.begin(), first.end(), option), end; it != end;
                 ++it) {
                page.options.insert((*it)[2]);
            }
        }
    }
    return page;
}

// The options of a man page, by command ("" for the program's own), and
// its commands: .SS entries under COMMANDS, their words before any argument.
struct ManPage {
    std::map<std::string, Names> options;
    Names commands;
};

std::string Plain(std::string roff) {
    roff = std::regex_replace(roff, std::regex(R"(\\f[BIRP])"), "");
    roff = std::regex_replace(roff, std::regex(R"(\\-)"), "-");
    return std::regex_replace(roff, std::regex(R"(")"), "");
}

ManPage ParseManPage(const std::string& path) {
    static const std::regex option(R"((^|[\s,])(--?[a-z][a-z0-9-]*))");
    ManPage page;
    std::istringstream in(ReadFile(path));
    std::string section;
    std::string command;
    bool afterTp = false;
    for (std::string line; std::getline(in, line);) {
        if (line.rfind(".\\\"", 0) == 0) continue;
        if (line.rfind(".SH ", 0) == 0) {
            section = Plain(line.substr(4));
            command.clear();
        } else if (line.rfind(".SS ", 0) == 0 && section == "COMMANDS") {
            std::istringstream words(Plain(line.substr(4)));
            command.clear();
            for (std::string word;
                 words >> word && std::regex_match(word, std::regex("[a-z-]+"));) {
                command += (command.empty() ? "" : " ") + word;
            }
            page.commands.insert(command);
        } else if (afterTp && (section == "OPTIONS" || section == "COMMANDS")) {
            const std::string text = Plain(line.substr(line.find(' ') + 1));
            for (std::sregex_iterator it(text.begin(), text.end(), option), end; it != end; ++it) {
                page.options[command].insert((*it)[2]);
            }
        }
        afterTp = line.rfind(".TP", 0) == 0;
    }
    return page;
}

// Every help page of a program, by its command words: "" for the program's
// own, then each command, sub-commands as "psf get".
std::map<std::string, HelpPage> AllHelp(const std::string& program) {
    std::map<std::string, HelpPage> pages;
    std::vector<std::string> pending = {""};
    while (!pending.empty()) {
        const std::string words = pending.back();
        pending.pop_back();
        const HelpPage page = ParseHelp(Output(program, words + " --help"));
        for (const std::string& command : page.commands) {
            pending.push_back(words.empty() ? command : words + " " + command);
        }
        pages[words] = page;
    }
    return pages;
}

void ExpectManPageMatchesHelp(const std::string& program, const std::string& manPage) {
    const auto help = AllHelp(program);
    const ManPage man = ParseManPage(manPage);
    Names leaves;
    for (const auto& [words, page] : help) {
        Names options = page.options;
        options.erase("--help");
        options.erase("-h");
        // A command with sub-commands is documented when it also runs by
        // itself, with options of its own (station beside station export).
        if (words.empty() || (!page.commands.empty() && options.empty())) continue;
        leaves.insert(words);
        const auto documented = man.options.find(words);
        EXPECT_EQ(documented == man.options.end() ? Names{} : documented->second, options)
            << "options of '" << words << "' in " << manPage;
    }
    EXPECT_EQ(man.commands, leaves) << "commands in " << manPage;
    ASSERT_TRUE(man.options.count(""));
    EXPECT_EQ(man.options.at(""), help.at("").options) << "options in " << manPage;
}

TEST(Documentation, ManPagesListWhatHelpLists) {
    ExpectManPageMatchesHelp(kBin + "/cli/veltrixctl", kSource + "/docs/man/veltrixctl.1");
    ExpectManPageMatchesHelp(kBin + "/sim/veltrix-sim", kSource + "/docs/man/veltrix-sim.1");
    if (!std::filesystem::exists(kBin + "/src/app/veltrix"))
        GTEST_SKIP() << "no desktop program built";
    ExpectManPageMatchesHelp(kBin + "/src/app/veltrix", kSource + "/docs/man/veltrix.1");
}

TEST(Documentation, HelpAndManPageParsersFindWhatTheyLookFor) {
    // A parser that finds nothing would make the comparison above pass idly.
    const auto help = AllHelp(kBin + "/cli/veltrixctl");
    EXPECT_GE(help.size(), 10u);
    EXPECT_TRUE(help.at("").options.count("--device"));
    EXPECT_TRUE(help.at("beams").options.count("--save-original"));
    const ManPage man = ParseManPage(kSource + "/docs/man/veltrixctl.1");
    EXPECT_TRUE(man.commands.count("blanking clear"));
    EXPECT_TRUE(man.options.at("partnumber").count("--date-code"));
}

TEST(Documentation, BashCompletionKnowsEveryCommandAndOption) {
    const std::string script = ReadFile(kSource + "/packaging/bash-completion/veltrixctl");
    ASSERT_FALSE(script.empty());
    for (const auto& [words, page] : AllHelp(kBin + "/cli/veltrixctl")) {
        Names names = page.options;
        names.insert(page.commands.begin(), page.commands.end());
        for (const std::string& name : names) {
            if (name == "-h") continue;
            EXPECT_TRUE(
                std::regex_search(script, std::regex("(^|[\\s\"|(])" + name + "($|[\\s\")|])")))
                << "'" << name << "' of '" << words << "' is not in the completion";
        }
    }
}

TEST(Documentation, BashCompletionCompletesCommandWordsOptionsAndFiles) {
    const std::string library = "/usr/share/bash-completion/bash_completion";
    if (!std::filesystem::exists(library)) GTEST_SKIP() << "bash-completion is not installed";
    char pattern[] = "/tmp/veltrix-completion-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    const std::string dir = pattern;
    for (const char* name : {"a.PSF", "b.psf", "c.BFS", "notes.txt"})
        std::ofstream(dir + "/" + name);

    const std::vector<std::pair<std::string, std::string>> cases = {
        {"veltrixctl ",
         "audit beams blanking diag doctor history monitor partnumber ports probe psf recover report station"},
        {"veltrixctl ports --p", "--port --probe"},
        {"veltrixctl recover --",
         "--device --discard --force --help --json --list --no-verify --port --trace --version"},
        {"veltrixctl history ", "restore show"},
        {"veltrixctl history restore --f", "--force"},
        {"veltrixctl audit --s", "--since"},
        {"veltrixctl psf put --f", "--force"},
        {"veltrixctl --port 2 p", "partnumber ports probe psf"},
        {"veltrixctl --json psf ", "diff get put set show"},
        {"veltrixctl monitor --meas1 T", "TBB TBM TRN"},
        {"veltrixctl psf show ", "a.PSF b.psf"},
        {"veltrixctl blanking ", "clear get put teach"},
        {"veltrixctl blanking teach --y", "--yes"},
        {"veltrixctl blanking put ", "c.BFS"},
        {"veltrixctl blanking clear ", ""},
        {"veltrixctl beams --c", "--channels --count"},
        {"veltrixctl partnumber 5 --d", "--date-code --device"},
        {"veltrixctl station ", "export"},
        {"veltrixctl station export --s", "--since"},
        {"veltrixctl --device r", "rfc2217://"},
        {"veltrixctl --device t", "tcp://"},
        {"veltrixctl --device rfc2217://plc:2217 p", "partnumber ports probe psf"},
    };
    std::ofstream script(dir + "/complete.sh");
    script << "source " << library << "\nsource " << kSource
           << "/packaging/bash-completion/veltrixctl\n"
           << "cd " << dir << "\n"
           << "complete_line() {\n"
              "    read -ra COMP_WORDS <<< \"$1\"; [[ $1 == *' ' ]] && COMP_WORDS+=('')\n"
              "    COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); COMP_LINE=$1; COMP_POINT=${#1}; "
              "COMPREPLY=()\n"
              "    _veltrixctl veltrixctl \"${COMP_WORDS[COMP_CWORD]}\" "
              "\"${COMP_WORDS[COMP_CWORD-1]}\"\n"
              "    printf '%s\\n' \"${COMPREPLY[@]}\" | sort | paste -sd ' '\n"
              "}\n";
    for (const auto& c : cases) script << "complete_line '" << c.first << "'\n";
    script.close();

    std::istringstream out(Output("bash", dir + "/complete.sh"));
    for (const auto& c : cases) {
        std::string line;
        std::getline(out, line);
        EXPECT_EQ(line, c.second) << "completing '" << c.first << "'";
    }
    std::filesystem::remove_all(dir);
}

}  // namespace
