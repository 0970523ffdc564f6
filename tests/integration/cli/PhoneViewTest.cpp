// veltrixctl beams --serve against the simulator: the phone view's server
// as a phone (an HTTP client on loopback) meets it.

#include <httplib.h>
#include <signal.h>

#include <atomic>
#include <fstream>
#include <regex>
#include <set>
#include <thread>

#include "CliFixture.h"

namespace {

struct Served {
    std::unique_ptr<BackgroundChild> ctl;
    int port = 0;
    std::string token;
    std::string Page() const { return "/" + token + "/"; }
    std::string Events() const { return Page() + "events"; }
};

// Events of one stream as they arrive; the receiver decides when to stop.
class EventReader {
public:
    // False ends the stream.
    using OnEvent = std::function<bool(const Json&)>;

    EventReader(int port, const std::string& path) : m_client("127.0.0.1", port), m_path(path) {
        m_client.set_read_timeout(10, 0);
    }

    // The status of the answer (-1: no answer); the events went to onEvent
    // while it streamed.
    int Read(const OnEvent& onEvent) {
        std::string pending;
        const auto result = m_client.Get(m_path, [&](const char* data, size_t length) {
            pending.append(data, length);
            for (size_t end; (end = pending.find("\n\n")) != std::string::npos;) {
                const std::string block = pending.substr(0, end);
                pending.erase(0, end + 2);
                const size_t data = block.find("data: ");
                if (data == std::string::npos) continue;  // a heartbeat comment
                const auto json = ParseJson(block.substr(data + 6, block.find('\n', data) - data - 6));
                EXPECT_TRUE(json) << block;
                if (json && !onEvent(*json)) return false;
            }
            return true;
        });
        // Ended by the receiver: the stream was there.
        if (!result) return result.error() == httplib::Error::Canceled ? 200 : -1;
        return result->status;
    }

private:
    httplib::Client m_client;
    std::string m_path;
};

int StatusOf(int port, const std::string& method, const std::string& path) {
    httplib::Client client("127.0.0.1", port);
    client.set_read_timeout(5, 0);
    httplib::Result result = method == "POST" ? client.Post(path, "x", "text/plain")
                             : method == "DELETE" ? client.Delete(path)
                                                  : client.Get(path);
    return result ? result->status : -1;
}

// Complete lines the simulator has logged so far: one per request.
size_t ScansLogged(const std::string& logPath) {
    std::ifstream in(logPath);
    size_t scans = 0;
    for (std::string line; std::getline(in, line) && !in.eof();)
        scans += line.find("\"kind\":\"scan\"") != std::string::npos;
    return scans;
}

std::vector<int> BlockedInReply(const std::vector<uint8_t>& reply, int channels) {
    std::vector<int> blocked;
    for (int c = 0; c < channels; ++c)
        if (reply[2 + c / 8] & (1 << (c % 8))) blocked.push_back(c);
    return blocked;
}

class PhoneViewTest : public CliTest {
protected:
    Served Serve(const std::vector<std::string>& extra = {}) {
        std::vector<std::string> args = {"beams", "--serve", "127.0.0.1:0"};
        args.insert(args.end(), extra.begin(), extra.end());
        Served served;
        served.ctl = StartCtl(args, true);
        const std::string first = served.ctl->ReadLine(15000);
        static const std::regex kLine(R"(Open http://127\.0\.0\.1:(\d+)/([0-9a-f]{32})/ on a phone)");
        std::smatch match;
        EXPECT_TRUE(std::regex_match(first, match, kLine)) << "first line on stderr: " << first;
        if (!match.empty()) {
            served.port = std::stoi(match[1]);
            served.token = match[2];
        }
        return served;
    }
};

}  // namespace

TEST_F(PhoneViewTest, OnlyTheTokenPathsAnswerAndOnlyToGet) {
    StartSim();
    const Served served = Serve();
    ASSERT_GT(served.port, 0);
    std::string other = served.token;
    other[0] = other[0] == 'a' ? 'b' : 'a';
    for (const std::string& path : {std::string("/"), "/" + served.token, "/" + other + "/",
                                    served.Page() + "events/", served.Page() + "../" + served.token + "/x",
                                    std::string("/favicon.ico")})
        EXPECT_EQ(StatusOf(served.port, "GET", path), 404) << path;
    EXPECT_EQ(StatusOf(served.port, "POST", served.Page()), 405);
    EXPECT_EQ(StatusOf(served.port, "DELETE", served.Events()), 405);
    EXPECT_EQ(StatusOf(served.port, "POST", "/" + other + "/"), 404);

    httplib::Client client("127.0.0.1", served.port);
    const auto page = client.Get(served.Page());
    ASSERT_TRUE(page);
    EXPECT_EQ(page->status, 200);
    EXPECT_EQ(page->get_header_value("Content-Type"), "text/html; charset=utf-8");
    // Self-contained: nothing fetched from anywhere else.
    EXPECT_EQ(page->body.find("://"), std::string::npos);
    EXPECT_NE(page->body.find("new EventSource(\"events\")"), std::string::npos);
    EXPECT_EQ(page->body.find("VELTRIX_COLOURS"), std::string::npos);
}

// Every event carries the beams of the scan the controller just answered,
// and arrives before the scan after next is asked for.
TEST_F(PhoneViewTest, TheStreamFollowsEveryScanWithinOneScan) {
    StartSim({"--scenario", "moving", "--emitter", "16,16,16", "--receiver", "16,16,16", "--blanked", "40-43"});
    const Served served = Serve();
    ASSERT_GT(served.port, 0);
    std::vector<Json> events;
    std::vector<size_t> loggedAtArrival;
    EventReader reader(served.port, served.Events());
    EXPECT_EQ(reader.Read([&](const Json& event) {
                  loggedAtArrival.push_back(ScansLogged(Path("log.jsonl")));
                  events.push_back(event);
                  return event.at("scan").get<int>() < 25;
              }),
              200);
    ASSERT_GE(events.size(), 10u);

    const std::vector<Json> scans = LogOf("scan");
    std::set<int> wasBlocked;
    std::set<std::vector<int>> differentSets;
    int previous = 0;
    for (size_t i = 0; i < events.size(); ++i) {
        const Json& event = events[i];
        const int n = event.at("scan").get<int>();
        EXPECT_GT(n, previous);
        previous = n;
        ASSERT_LE(static_cast<size_t>(n), scans.size());
        const std::vector<int> blocked = BlockedInReply(FromHex(scans[n - 1].at("reply").get<std::string>()), 48);
        wasBlocked.insert(blocked.begin(), blocked.end());
        EXPECT_EQ(event.at("channels"), 48);
        EXPECT_EQ(event.at("state"), "scanning");
        EXPECT_EQ(event.at("blocked").get<std::vector<int>>(), blocked) << "scan " << n;
        EXPECT_EQ(event.at("blanked").get<std::vector<int>>(), (std::vector<int>{40, 41, 42, 43}));
        // A stream that joins late has not seen the earlier scans, so only
        // what it saw is a lower bound.
        const auto marks = event.at("was_blocked").get<std::vector<int>>();
        EXPECT_TRUE(std::includes(marks.begin(), marks.end(), blocked.begin(), blocked.end()));
        if (i > 0) {
            EXPECT_EQ(n, events[i - 1].at("scan").get<int>() + 1) << "a scan was left out";
        }
        EXPECT_LE(loggedAtArrival[i], static_cast<size_t>(n) + 1) << "event of scan " << n << " late";
        differentSets.insert(blocked);
    }
    EXPECT_GE(differentSets.size(), 5u) << "the curtain did not change: the test proves nothing";
    ::kill(served.ctl->Pid(), SIGINT);
    EXPECT_EQ(served.ctl->Wait(15000), 128 + SIGINT);
}

TEST_F(PhoneViewTest, EightViewersWatchAndANinthIsTurnedAway) {
    StartSim();
    const Served served = Serve();
    ASSERT_GT(served.port, 0);
    std::atomic<int> watching{0};
    std::atomic<bool> release{false};
    std::atomic<int> released{-1};
    std::vector<std::thread> viewers;
    for (int v = 0; v < 8; ++v)
        viewers.emplace_back([&, v] {
            EventReader reader(served.port, served.Events());
            bool counted = false;
            reader.Read([&](const Json&) {
                if (!counted) ++watching;
                counted = true;
                // Viewer 0 leaves when told; the others stay to the end.
                if (v == 0 && release) {
                    released = 1;
                    return false;
                }
                return true;
            });
        });
    for (int i = 0; i < 200 && watching < 8; ++i) ::usleep(50000);
    ASSERT_EQ(watching.load(), 8);

    EXPECT_EQ(StatusOf(served.port, "GET", served.Events()), 503);
    EXPECT_EQ(StatusOf(served.port, "GET", served.Page()), 503);

    // One leaves: its place is free again once the server has noticed.
    release = true;
    for (int i = 0; i < 100 && released != 1; ++i) ::usleep(50000);
    int status = 0;
    bool ninthWatched = false;
    for (int i = 0; i < 50 && !ninthWatched; ++i) {
        EventReader ninth(served.port, served.Events());
        status = ninth.Read([&](const Json&) {
            ninthWatched = true;
            return false;
        });
        if (!ninthWatched) ::usleep(100000);
    }
    EXPECT_TRUE(ninthWatched) << "last status " << status;

    ::kill(served.ctl->Pid(), SIGTERM);
    EXPECT_EQ(served.ctl->Wait(15000), 128 + SIGTERM);
    for (std::thread& viewer : viewers) viewer.join();  // the streams end with the command
}

// The last event says the scans have stopped; then the stream ends and
// nothing listens on the port any more.
TEST_F(PhoneViewTest, TheServerStopsWithTheCommand) {
    StartSim();
    const Json original = State().at("psf");
    const Served served = Serve();
    ASSERT_GT(served.port, 0);
    std::vector<std::string> states;
    std::thread viewer([&] {
        EventReader reader(served.port, served.Events());
        reader.Read([&](const Json& event) {
            states.push_back(event.at("state").get<std::string>());
            return true;
        });
    });
    for (int i = 0; i < 200 && LogOf("scan").size() < 3; ++i) ::usleep(50000);
    ::kill(served.ctl->Pid(), SIGINT);
    EXPECT_EQ(served.ctl->Wait(15000), 128 + SIGINT);
    viewer.join();
    ASSERT_FALSE(states.empty());
    EXPECT_EQ(states.front(), "scanning");
    EXPECT_EQ(states.back(), "stopped");
    EXPECT_EQ(StatusOf(served.port, "GET", served.Page()), -1);
    // The controller got its own parameter set back all the same.
    EXPECT_EQ(State().at("psf"), original);
}

TEST_F(PhoneViewTest, AnAddressItCannotUseIsRefusedBeforeTheControllerIsTouched) {
    StartSim();
    for (const char* address : {"192.0.2.1:0", "1.2.3:80", "127.0.0.1:70000", "[::1:80"}) {
        const ChildResult result = Ctl({"beams", "--serve", address});
        EXPECT_EQ(result.exitCode, 2) << address << ": " << result.err;
        EXPECT_FALSE(result.err.empty());
    }
    EXPECT_TRUE(Log().empty());
}
