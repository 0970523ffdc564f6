#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "support/ScopedEnv.h"

// The simulator's records and veltrixctl's --json output, keys in their order.
using Json = nlohmann::ordered_json;

// Every test gets a fresh temporary folder; tests that need a controller
// start veltrix-sim in it (with --link, --log and --state there) and run
// the built veltrixctl against the link with --device.
class CliTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Starts the simulator with these options; fails the test unless it
    // reports ready (its JSON line) in time.
    void StartSim(const std::vector<std::string>& options = {});
    // Ends the simulator: its pseudo-terminal hangs up and its link goes, as
    // a USB adapter pulled out. StartSim afterwards puts a new one there.
    void StopSim();
    // veltrixctl with the given arguments, against the simulator when one runs.
    ChildResult Ctl(const std::vector<std::string>& args, long timeoutMs = 30000,
                    const std::vector<std::string>& env = {});
    // veltrixctl exactly as given, no --device added; stdoutFd as in RunChild.
    ChildResult CtlRaw(const std::vector<std::string>& args, long timeoutMs = 30000,
                       const std::vector<std::string>& env = {}, int stdoutFd = -1);

    // veltrixctl against the simulator, left running for the test to steer.
    std::unique_ptr<BackgroundChild> StartCtl(const std::vector<std::string>& args, bool readStderr = false);

    std::string Path(const std::string& name) const { return m_dir + "/" + name; }
    // The recovery journal's folder of the tools the test runs.
    std::string RecoveryFolder() const { return m_dir + "/state/veltrix/recovery"; }
    const std::string& Link() const { return m_link; }
    // The simulator's state file and request log, parsed.
    Json State() const;
    std::vector<Json> Log() const;
    // The log's entries of one kind ("probe", "scan", or a command letter).
    std::vector<Json> LogOf(const std::string& kind) const;

    static std::vector<uint8_t> ReadBytes(const std::string& path);
    static void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes);
    static std::vector<uint8_t> FromHex(const std::string& hex);

private:
    std::string m_dir;
    std::string m_link;
    std::unique_ptr<BackgroundChild> m_sim;
    std::unique_ptr<ScopedEnv> m_stateHome;
};

// One JSON text; nothing when it is not valid JSON.
std::optional<Json> ParseJson(const std::string& text);
// Parses stdout as the one JSON object --json promises.
Json ParseOutput(const ChildResult& result);
