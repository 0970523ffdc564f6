// The phone view's server over cpp-httplib: a listening thread of its own
// and a small pool of connection threads, each stream holding one.

#include "live/LiveServer.h"

#include <httplib.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <optional>
#include <random>
#include <thread>

#include "live/LivePage.h"

namespace {

// A stream with nothing new sends a comment this often, so that a phone
// that went away is noticed and its place freed.
constexpr auto kHeartbeat = std::chrono::seconds(2);
// Streams plus the page fetches, 404s and 503s around them.
constexpr int kThreads = LiveServer::kMaxViewers + 6;

std::string RandomToken() {
    std::random_device device;
    std::string token;
    for (int i = 0; i < 4; ++i) {
        char part[9];
        std::snprintf(part, sizeof part, "%08x", static_cast<unsigned>(device()));
        token += part;
    }
    return token;
}

void NoStore(httplib::Response& response) {
    response.set_header("Cache-Control", "no-store");
    response.set_header("Referrer-Policy", "no-referrer");
    response.set_header("X-Content-Type-Options", "nosniff");
}

}  // namespace

struct LiveServer::Impl {
    httplib::Server server;
    std::thread listener;
    std::string address;
    std::string token;
    int port = 0;
    bool running = false;
    std::string page;

    // What the streams share with Publish.
    mutable std::mutex mutex;
    std::condition_variable published;
    std::optional<LiveScan> latest;
    uint64_t sequence = 0;
    bool stopping = false;
    int viewers = 0;

    void Route();
    void Stream(httplib::Response& response);
    bool TakeViewerPlace();
};

void LiveServer::Impl::Route() {
    const std::string pagePath = "/" + token + "/";
    const std::string eventsPath = pagePath + "events";
    server.set_pre_routing_handler([=](const httplib::Request& request, httplib::Response& response) {
        NoStore(response);
        if (request.path != pagePath && request.path != eventsPath) {
            response.status = 404;
            response.set_content("Not found\n", "text/plain");
            return httplib::Server::HandlerResponse::Handled;
        }
        if (request.method != "GET" && request.method != "HEAD") {
            response.status = 405;
            response.set_header("Allow", "GET, HEAD");
            response.set_content("Only GET\n", "text/plain");
            return httplib::Server::HandlerResponse::Handled;
        }
        return httplib::Server::HandlerResponse::Unhandled;
    });
    server.Get(pagePath, [this](const httplib::Request&, httplib::Response& response) {
        bool full;
        {
            const std::lock_guard<std::mutex> lock(mutex);
            full = viewers >= kMaxViewers;
        }
        if (full) {
            response.status = 503;
            response.set_header("Retry-After", "10");
            response.set_content(BusyPage(kMaxViewers), "text/html; charset=utf-8");
            return;
        }
        // Only inline style and script, and the stream of its own origin.
        response.set_header("Content-Security-Policy",
                            "default-src 'none'; style-src 'unsafe-inline'; script-src 'unsafe-inline'; "
                            "connect-src 'self'; img-src data:");
        response.set_content(page, "text/html; charset=utf-8");
    });
    server.Get(eventsPath, [this](const httplib::Request&, httplib::Response& response) {
        if (!TakeViewerPlace()) {
            response.status = 503;
            response.set_header("Retry-After", "10");
            response.set_content("At most " + std::to_string(kMaxViewers) + " viewers\n", "text/plain");
            return;
        }
        Stream(response);
    });
}

bool LiveServer::Impl::TakeViewerPlace() {
    const std::lock_guard<std::mutex> lock(mutex);
    if (stopping || viewers >= kMaxViewers) return false;
    ++viewers;
    return true;
}

void LiveServer::Impl::Stream(httplib::Response& response) {
    // 0: nothing sent yet, so the latest scan goes out at once.
    auto sent = std::make_shared<uint64_t>(0);
    response.set_header("X-Accel-Buffering", "no");
    response.set_chunked_content_provider(
        "text/event-stream",
        [this, sent](size_t, httplib::DataSink& sink) {
            std::unique_lock<std::mutex> lock(mutex);
            const bool fresh = published.wait_for(lock, kHeartbeat, [&] {
                return stopping || (latest && sequence != *sent);
            });
            if (stopping) return false;
            std::string text;
            if (fresh) {
                const LiveScan scan = *latest;
                *sent = sequence;
                lock.unlock();
                text = "id: " + std::to_string(scan.scan) + "\ndata: " + LiveScanJson(scan) + "\n\n";
            } else {
                lock.unlock();
                text = ": still here\n\n";
            }
            return sink.is_writable() && sink.write(text.data(), text.size());
        },
        [this](bool) {
            const std::lock_guard<std::mutex> lock(mutex);
            --viewers;
        });
}

LiveServer::LiveServer() = default;

LiveServer::~LiveServer() { Stop(); }

bool LiveServer::Start(const std::string& address, int port, std::string& error) {
    Stop();
    auto impl = std::make_unique<Impl>();
    impl->address = address;
    impl->token = RandomToken();
    impl->page = PhonePage();
    impl->server.new_task_queue = [] { return new httplib::ThreadPool(kThreads); };
    impl->server.set_read_timeout(2, 0);
    impl->server.set_write_timeout(5, 0);
    impl->server.set_keep_alive_timeout(2);
    impl->server.set_payload_max_length(4096);
    impl->Route();
    const int bound = port == 0 ? impl->server.bind_to_any_port(address)
                                : (impl->server.bind_to_port(address, port) ? port : -1);
    if (bound <= 0) {
        error = "Cannot listen on " + address + " port " + std::to_string(port) +
                ": the address is not this computer's, or the port is taken.";
        return false;
    }
    impl->port = bound;
    Impl* raw = impl.get();
    impl->listener = std::thread([raw] { raw->server.listen_after_bind(); });
    impl->running = true;
    m_impl = std::move(impl);
    return true;
}

void LiveServer::Stop() {
    if (!m_impl) return;
    {
        const std::lock_guard<std::mutex> lock(m_impl->mutex);
        m_impl->stopping = true;
    }
    m_impl->published.notify_all();
    m_impl->server.stop();
    if (m_impl->listener.joinable()) m_impl->listener.join();
    m_impl.reset();
}

bool LiveServer::Running() const { return m_impl && m_impl->running; }

std::string LiveServer::Url() const {
    if (!m_impl) return {};
    const bool v6 = m_impl->address.find(':') != std::string::npos;
    const std::string host = v6 ? "[" + m_impl->address + "]" : m_impl->address;
    return "http://" + host + ":" + std::to_string(m_impl->port) + "/" + m_impl->token + "/";
}

int LiveServer::Port() const { return m_impl ? m_impl->port : 0; }

int LiveServer::Viewers() const {
    if (!m_impl) return 0;
    const std::lock_guard<std::mutex> lock(m_impl->mutex);
    return m_impl->viewers;
}

void LiveServer::Publish(LiveScan scan) {
    if (!m_impl) return;
    {
        const std::lock_guard<std::mutex> lock(m_impl->mutex);
        m_impl->latest = std::move(scan);
        ++m_impl->sequence;
    }
    m_impl->published.notify_all();
}
