#include "CliFixture.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

namespace {

const std::string kSim = VELTRIX_BINARY_DIR "/sim/veltrix-sim";
const std::string kCtl = VELTRIX_BINARY_DIR "/cli/veltrixctl";

}  // namespace

void CliTest::SetUp() {
    char pattern[] = "/tmp/veltrixctl-test-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    m_dir = pattern;
    // The recovery journal of every veltrixctl the test starts, kept apart
    // from the journal of whoever runs the tests.
    m_stateHome = std::make_unique<ScopedEnv>("XDG_STATE_HOME", m_dir + "/state");
    ASSERT_TRUE(std::filesystem::exists(kCtl)) << "build the veltrixctl target first";
}

void CliTest::TearDown() {
    if (m_sim) {
        EXPECT_EQ(m_sim->Terminate(5000), 0) << "the simulator did not end cleanly";
    }
    m_sim.reset();
    m_stateHome.reset();
    std::error_code ignored;
    std::filesystem::remove_all(m_dir, ignored);
}

void CliTest::StopSim() {
    if (m_sim) EXPECT_EQ(m_sim->Terminate(5000), 0) << "the simulator did not end cleanly";
    m_sim.reset();
}

void CliTest::StartSim(const std::vector<std::string>& options) {
    ASSERT_TRUE(std::filesystem::exists(kSim)) << "build the veltrix-sim target first";
    m_link = Path("tty");
    std::vector<std::string> argv = {kSim, "--link", m_link, "--log", Path("log.jsonl"),
                                     "--state", Path("state.json")};
    argv.insert(argv.end(), options.begin(), options.end());
    m_sim = std::make_unique<BackgroundChild>(argv);
    const std::string line = m_sim->ReadLine(10000);
    const auto ready = ParseJson(line);
    ASSERT_TRUE(ready) << "no ready line from veltrix-sim, got '" << line << "'";
    ASSERT_TRUE(ready->contains("device"));
    EXPECT_EQ(ready->begin().key(), "device");
}

ChildResult CliTest::CtlRaw(const std::vector<std::string>& args, long timeoutMs,
                            const std::vector<std::string>& env, int stdoutFd) {
    std::vector<std::string> argv = {kCtl};
    argv.insert(argv.end(), args.begin(), args.end());
    // Keep the desktop program's settings of whoever runs the tests out.
    std::vector<std::string> fullEnv = {"XDG_CONFIG_HOME=" + m_dir + "/config"};
    fullEnv.insert(fullEnv.end(), env.begin(), env.end());
    ChildResult result = RunChild(argv, timeoutMs, fullEnv, stdoutFd);
    EXPECT_FALSE(result.timedOut) << "veltrixctl hung";
    EXPECT_EQ(result.signal, 0) << "veltrixctl crashed";
    return result;
}

ChildResult CliTest::Ctl(const std::vector<std::string>& args, long timeoutMs,
                         const std::vector<std::string>& env) {
    std::vector<std::string> full;
    if (!m_link.empty()) full = {"--device", m_link};
    full.insert(full.end(), args.begin(), args.end());
    return CtlRaw(full, timeoutMs, env);
}

std::unique_ptr<BackgroundChild> CliTest::StartCtl(const std::vector<std::string>& args, bool readStderr) {
    std::vector<std::string> argv = {kCtl, "--device", m_link};
    argv.insert(argv.end(), args.begin(), args.end());
    return std::make_unique<BackgroundChild>(argv, readStderr);
}

Json CliTest::State() const {
    std::ifstream in(Path("state.json"));
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const auto state = ParseJson(text);
    EXPECT_TRUE(state) << "unreadable state: " << text;
    return state.value_or(Json{});
}

std::vector<Json> CliTest::Log() const {
    std::vector<Json> entries;
    std::ifstream in(Path("log.jsonl"));
    for (std::string line; std::getline(in, line);) {
        if (line.empty()) continue;
        const auto entry = ParseJson(line);
        EXPECT_TRUE(entry) << "bad log line: " << line;
        if (entry) entries.push_back(*entry);
    }
    return entries;
}

std::vector<Json> CliTest::LogOf(const std::string& kind) const {
    std::vector<Json> entries;
    for (const Json& entry : Log()) {
        if (entry.value("kind", "") == kind) entries.push_back(entry);
    }
    return entries;
}

std::vector<uint8_t> CliTest::ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void CliTest::WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::vector<uint8_t> CliTest::FromHex(const std::string& hex) {
    std::vector<uint8_t> bytes;
    std::string digits;
    for (const char c : hex) {
        if (std::isxdigit(static_cast<unsigned char>(c))) digits += c;
    }
    for (size_t i = 0; i + 1 < digits.size(); i += 2) {
        bytes.push_back(static_cast<uint8_t>(std::stoul(digits.substr(i, 2), nullptr, 16)));
    }
    return bytes;
}

std::optional<Json> ParseJson(const std::string& text) {
    Json json = Json::parse(text, nullptr, false);
    if (json.is_discarded()) return std::nullopt;
    return json;
}

Json ParseOutput(const ChildResult& result) {
    const auto json = ParseJson(result.out);
    EXPECT_TRUE(json) << "stdout is not one JSON object: " << result.out << "\nstderr: " << result.err;
    EXPECT_EQ(result.out.find('\n'), result.out.size() - 1) << "more than one line on stdout";
    return json.value_or(Json{});
}
