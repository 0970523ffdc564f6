// veltrixctl ports and doctor against simulators on pseudo-terminals: the
// parallel probe at each rate, a silent line and one that answers garbage.

#include <poll.h>
#include <pty.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <sstream>
#include <thread>

#include "CliFixture.h"
#include "integration/sim/SimProcess.h"

namespace {

// A pseudo-terminal that answers every byte with noise that never ends in a
// probe reply.
class GarbageLine {
  public:
    explicit GarbageLine(const std::string& link) : m_link(link) {
        char name[64];
        if (::openpty(&m_master, &m_slave, name, nullptr, nullptr) != 0) return;
        ::symlink(name, link.c_str());
        m_thread = std::thread([this] {
            while (!m_stop) {
                pollfd p{m_master, POLLIN, 0};
                if (::poll(&p, 1, 20) <= 0) continue;
                uint8_t buffer[256];
                if (::read(m_master, buffer, sizeof buffer) <= 0) continue;
                const uint8_t noise[] = {0x1C, 'A', 'A', 0x0A, 0x55, 0xAA, 0x1C};
                (void)!::write(m_master, noise, sizeof noise);
            }
        });
    }
    ~GarbageLine() {
        m_stop = true;
        if (m_thread.joinable()) m_thread.join();
        ::unlink(m_link.c_str());
        if (m_slave >= 0) ::close(m_slave);
        if (m_master >= 0) ::close(m_master);
    }

  private:
    std::string m_link;
    int m_master = -1;
    int m_slave = -1;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

class PortsTest : public CliTest {
  protected:
    // A simulator of its own at link, ready.
    std::unique_ptr<SimProcess> Sim(const std::string& link, const std::vector<std::string>& options) {
        std::vector<std::string> args = {"--link", link};
        args.insert(args.end(), options.begin(), options.end());
        auto sim = std::make_unique<SimProcess>(args);
        EXPECT_TRUE(sim->WaitReady()) << sim->Stderr();
        return sim;
    }
    static const Json* Entry(const Json& list, const std::string& path) {
        for (const Json& entry : list)
            if (entry.at("path") == path) return &entry;
        return nullptr;
    }
};

TEST_F(PortsTest, ProbeFindsEachControllerAtItsRateAndNothingOnSilentOrNoisyLines) {
    const auto at9600 = Sim(Path("a"), {"--baud", "9600"});
    const auto at19200 = Sim(Path("b"), {"--baud", "19200", "--id", "C", "--part-number", "70000"});
    const auto at38400 = Sim(Path("c"), {"--baud", "38400", "--date-code", "7", "--firmware", "3.1"});
    const auto silent = Sim(Path("silent"), {"--fault", "silent"});
    const GarbageLine noisy(Path("noisy"));

    const ChildResult result =
        CtlRaw({"--json", "ports", "--probe", Path("a"), Path("b"), Path("c"), Path("silent"), Path("noisy")});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const Json list = ParseOutput(result);
    ASSERT_TRUE(list.is_array());
    struct Case {
        std::string path;
        Json controller;
    };
    const Case cases[] = {
        {Path("a"), Json{{"id", "A"}, {"baud", 9600}, {"part_number", "123456"}, {"date_code", "1102"},
                         {"firmware", "2.3"}, {"state", "Operational"}}},
        {Path("b"), Json{{"id", "C"}, {"baud", 19200}, {"part_number", "70000"}, {"date_code", "1102"},
                         {"firmware", "2.3"}, {"state", "Operational"}}},
        {Path("c"), Json{{"id", "A"}, {"baud", 38400}, {"part_number", "123456"}, {"date_code", "0007"},
                         {"firmware", "3.1"}, {"state", "Operational"}}},
        {Path("silent"), nullptr},
        {Path("noisy"), nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        const Json* entry = Entry(list, c.path);
        ASSERT_TRUE(entry);
        EXPECT_EQ(entry->at("controller"), c.controller);
        // Every key, in the order promised.
        std::vector<std::string> keys;
        for (auto it = entry->begin(); it != entry->end(); ++it) keys.push_back(it.key());
        EXPECT_EQ(keys, (std::vector<std::string>{"path", "stable_path", "description", "access", "access_problem",
                                                  "held_by", "com", "controller"}));
        EXPECT_EQ(entry->at("description"), "pseudo-terminal");
        EXPECT_EQ(entry->at("held_by"), Json::array());  // the simulator is the line, not in its way
    }
    // Each simulator heard its probes, and none was left holding a half-taken line.
    EXPECT_EQ(CtlRaw({"--device", Path("b"), "probe"}).out, "Controller C at 19200 baud\n");
}

TEST_F(PortsTest, NoControllerAnywhereIsExitStatusOneAndTheTableSaysWhy) {
    const auto silent = Sim(Path("silent"), {"--fault", "silent"});
    const ChildResult result = CtlRaw({"ports", "--probe", Path("silent")}, 30000, {"VELTRIX_COM7=" + Path("silent")});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.err, "No controller answered on any port.\n");
    EXPECT_EQ(result.out.rfind("PATH", 0), 0u) << result.out;
    bool row = false;
    std::istringstream lines(result.out);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind(Path("silent"), 0) != 0) continue;
        row = true;
        EXPECT_NE(line.find("COM7"), std::string::npos) << line;
        EXPECT_NE(line.find("no answer"), std::string::npos) << line;
    }
    EXPECT_TRUE(row) << result.out;
    // Without --probe nothing is opened and the status is 0.
    EXPECT_EQ(CtlRaw({"ports", Path("silent")}).exitCode, 0);
}

TEST_F(PortsTest, DoctorPassesAHealthyLineAndNamesWhatIsInTheWay) {
    StartSim({"--baud", "19200"});
    const ChildResult healthy = Ctl({"doctor"});
    EXPECT_EQ(healthy.exitCode, 0) << healthy.out;
    EXPECT_EQ(healthy.out.rfind("OK       " + Link() + " is there: pseudo-terminal\n", 0), 0u) << healthy.out;
    EXPECT_NE(healthy.out.find("\nOK       controller A at 19200 baud, part number 123456, date code 1102, "
                               "firmware 2.3, Operational\n"),
              std::string::npos)
        << healthy.out;
    EXPECT_EQ(healthy.out.find("PROBLEM"), std::string::npos) << healthy.out;

    // Another program with the line open.
    const auto holder = std::make_unique<BackgroundChild>(
        std::vector<std::string>{"/bin/sh", "-c", "exec 3<>\"$0\"; echo open; exec sleep 60", Link()});
    ASSERT_EQ(holder->ReadLine(5000), "open");
    const ChildResult held = Ctl({"doctor"});
    EXPECT_EQ(held.exitCode, 1);
    EXPECT_NE(held.out.find("PROBLEM  " + Link() + " is held by sleep (process " + std::to_string(holder->Pid()) +
                            "). Fix: close it, or: kill " + std::to_string(holder->Pid()) + "\n"),
              std::string::npos)
        << held.out;
    ::kill(holder->Pid(), SIGTERM);

    // COM9 leads nowhere: the devices present are named.
    const ChildResult missing = CtlRaw({"--port", "9", "doctor"}, 30000, {"VELTRIX_COM9=" + Path("gone")});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(missing.out.rfind("PROBLEM  " + Path("gone") + " (COM9) does not exist", 0), 0u) << missing.out;
    EXPECT_EQ(std::count(missing.out.begin(), missing.out.end(), '\n'), 1) << missing.out;
}

}  // namespace
