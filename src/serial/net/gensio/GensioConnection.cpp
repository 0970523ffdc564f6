#include "serial/net/gensio/GensioConnection.h"

#include <gensio/gensio.h>
#include <gensio/gensio_os_funcs.h>
#include <gensio/gensio_unix.h>
#include <gensio/sergensio.h>
#include <pthread.h>
#include <signal.h>

#include <algorithm>
#include <cctype>
#include <cstdarg>
#include <mutex>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// The library's own log lines would land on our stderr between the tool's
// messages; its failures reach the user as error codes instead.
void Silent(gensio_os_funcs*, enum gensio_log_levels, const char*, va_list) {}

// The library writes to its socket without MSG_NOSIGNAL: a write into a
// connection the server has just closed raises SIGPIPE, which ends a program
// that does not ignore it (the desktop program). It is held back while the
// library runs in this thread, and dropped if it came meanwhile.
class SigpipeHeldBack {
public:
    SigpipeHeldBack() {
        sigemptyset(&m_pipe);
        sigaddset(&m_pipe, SIGPIPE);
        sigset_t pending;
        sigpending(&pending);
        m_pendingBefore = sigismember(&pending, SIGPIPE) == 1;
        pthread_sigmask(SIG_BLOCK, &m_pipe, &m_previous);
    }
    ~SigpipeHeldBack() {
        sigset_t pending;
        sigpending(&pending);
        if (!m_pendingBefore && sigismember(&pending, SIGPIPE) == 1) {
            const timespec now{0, 0};
            sigtimedwait(&m_pipe, nullptr, &now);
        }
        pthread_sigmask(SIG_SETMASK, &m_previous, nullptr);
    }
    SigpipeHeldBack(const SigpipeHeldBack&) = delete;
    SigpipeHeldBack& operator=(const SigpipeHeldBack&) = delete;

private:
    sigset_t m_pipe;
    sigset_t m_previous;
    bool m_pendingBefore = false;
};

// Event loops are never freed, only handed on: the library (2.6) keeps the
// first one it met for its own later use, and a program that freed it (the
// desktop program, one connection per command) crashed on the next connect.
// Each connection still has one of its own while it lives.
std::mutex g_loopsLock;
std::vector<gensio_os_funcs*> g_idleLoops;

int TakeEventLoop(gensio_os_funcs*& os) {
    {
        const std::lock_guard<std::mutex> hold(g_loopsLock);
        if (!g_idleLoops.empty()) {
            os = g_idleLoops.back();
            g_idleLoops.pop_back();
            return 0;
        }
    }
    if (int rc = gensio_unix_funcs_alloc(nullptr, 0, &os); rc != 0) {
        os = nullptr;
        return rc;
    }
    gensio_os_funcs_set_vlog(os, Silent);
    return 0;
}

void ReturnEventLoop(gensio_os_funcs* os) {
    const std::lock_guard<std::mutex> hold(g_loopsLock);
    g_idleLoops.push_back(os);
}

gensio_time Remaining(GensioConnection::Deadline deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(deadline - Clock::now());
    const int64_t ns = std::max<int64_t>(0, left.count());
    return {ns / 1000000000, static_cast<int32_t>(ns % 1000000000)};
}

}  // namespace

GensioConnection::GensioConnection() = default;

GensioConnection::~GensioConnection() {
    Close();
    FreeEventLoop();
}

void GensioConnection::Fail(int error) {
    if (m_error == 0) m_error = error;
}

bool GensioConnection::Connect(const std::string& gensioString, int timeoutMs,
                               const std::function<void(int)>& waiting) {
    Close();
    m_error = 0;
    m_dropped = false;
    m_in.clear();
    m_head = 0;
    // An event loop of its own: no wake-up signal is needed, since only the
    // thread that owns the port ever waits on it. It lives as long as this
    // object: a dropped connection is freed by the library later, in it, so
    // a reconnect must not pull it away.
    if (!m_os) {
        if (int rc = TakeEventLoop(m_os); rc != 0) {
            Fail(rc);
            return false;
        }
    }
    if (int rc = str_to_gensio(gensioString.c_str(), m_os, OnEvent, this, &m_io); rc != 0) {
        m_io = nullptr;
        Fail(rc);
        Close();
        return false;
    }

    bool opened = false;
    int openError = 0;
    struct OpenResult {
        bool* opened;
        int* error;
    } result{&opened, &openError};
    const auto onOpen = [](gensio*, int err, void* data) {
        auto* r = static_cast<OpenResult*>(data);
        *r->opened = true;
        *r->error = err;
    };
    if (int rc = gensio_open(m_io, onOpen, &result); rc != 0) {
        Fail(rc);
        Close();
        return false;
    }
    if (!WaitForOpen(opened, timeoutMs, waiting)) {
        Fail(GE_TIMEDOUT);
        // Freed while the connect is under way; the callback cannot come later.
        gensio_free(m_io);
        m_io = nullptr;
        Close();
        return false;
    }
    if (openError != 0) {
        Fail(openError);
        Close();
        return false;
    }
    m_serial = gensio_to_sergensio(m_io);
    gensio_set_read_callback_enable(m_io, true);
    return true;
}

bool GensioConnection::WaitForOpen(const bool& opened, int timeoutMs,
                                   const std::function<void(int)>& waiting) {
    const auto start = Clock::now();
    const Deadline deadline = In(timeoutMs);
    if (!waiting) return WaitUntil([&] { return opened; }, deadline);
    // In slices, so that whoever waits can keep a window alive and say why.
    bool told = false;
    while (!WaitUntil([&] { return opened; },
                      std::min(deadline, Clock::now() + std::chrono::milliseconds(kWaitSliceMs)))) {
        if (Clock::now() >= deadline) break;
        told = true;
        waiting(static_cast<int>(
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count()));
    }
    if (told) waiting(-1);
    return opened;
}

void GensioConnection::Close() {
    const SigpipeHeldBack held;
    if (m_io) {
        bool closed = false;
        const auto onClose = [](gensio*, void* data) { *static_cast<bool*>(data) = true; };
        // A connection that failed under us has closed itself already.
        if (gensio_close(m_io, onClose, &closed) == 0) {
            const Deadline deadline = In(kCloseMs);
            while (!closed && Clock::now() < deadline) Service(deadline);
        }
        gensio_free(m_io);
        m_io = nullptr;
        m_serial = nullptr;
    }
}

void GensioConnection::FreeEventLoop() {
    if (!m_os) return;
    // What the library still has to do for a connection freed while it was
    // failing or connecting runs in this loop: it gets its turn first.
    for (int i = 0; i < kDrainPasses; ++i) Service(Clock::now());
    ReturnEventLoop(m_os);
    m_os = nullptr;
}

void GensioConnection::Service(Deadline deadline) {
    if (!m_os) return;
    const SigpipeHeldBack held;
    gensio_time timeout = Remaining(deadline);
    gensio_os_funcs_service(m_os, &timeout);
}

bool GensioConnection::WaitUntil(const std::function<bool()>& done, Deadline deadline) {
    // One pass without waiting first: what already arrived counts even when
    // the deadline has passed.
    Service(Clock::now());
    while (!done() && !m_dropped && Clock::now() < deadline) Service(deadline);
    return done();
}

int GensioConnection::OnEvent(gensio*, void* self, int event, int err, unsigned char* buf,
                              gensiods* buflen, const char* const*) {
    auto* c = static_cast<GensioConnection*>(self);
    switch (event) {
        case GENSIO_EVENT_READ:
            if (err != 0) {
                // The server went away (GE_REMCLOSE) or the socket failed;
                // the library closes the connection after this.
                c->m_dropped = true;
                c->Fail(err);
                return 0;
            }
            c->m_in.insert(c->m_in.end(), buf, buf + *buflen);
            if (c->Buffered() >= kMaxBuffered) {
                gensio_set_read_callback_enable(c->m_io, false);
                c->m_readPaused = true;
            }
            return 0;
        case GENSIO_EVENT_WRITE_READY:
            c->m_writeReady = true;
            gensio_set_write_callback_enable(c->m_io, false);
            return 0;
        default:
            // Modem and line state reports, flow control and break requests
            // from the server: the controller's line uses none of them.
            return GE_NOTSUP;
    }
}

std::size_t GensioConnection::Take(uint8_t* buffer, std::size_t n) {
    const std::size_t count = std::min(n, Buffered());
    std::copy_n(m_in.begin() + static_cast<std::ptrdiff_t>(m_head), count, buffer);
    m_head += count;
    if (m_head == m_in.size()) {
        m_in.clear();
        m_head = 0;
    }
    if (m_readPaused && Buffered() < kMaxBuffered / 2 && m_io) {
        m_readPaused = false;
        gensio_set_read_callback_enable(m_io, true);
    }
    return count;
}

void GensioConnection::Discard() {
    // Whatever the socket holds already is old as well.
    Service(Clock::now());
    m_in.clear();
    m_head = 0;
    if (m_readPaused && m_io) {
        m_readPaused = false;
        gensio_set_read_callback_enable(m_io, true);
    }
}

std::string GensioConnection::ReceivedText() const {
    std::string text;
    for (std::size_t i = m_head; i < m_in.size() && text.size() < 120; ++i) {
        const unsigned char c = m_in[i];
        if (std::isprint(c))
            text += static_cast<char>(c);
        else if (!text.empty() && text.back() != ' ')
            text += ' ';
    }
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

bool GensioConnection::Send(const uint8_t* data, int n, int& sent, int timeoutMs) {
    sent = 0;
    if (!m_io || m_dropped) {
        Fail(GE_NOTREADY);
        return false;
    }
    const Deadline deadline = In(timeoutMs);
    const SigpipeHeldBack held;
    while (sent < n) {
        gensiods count = 0;
        if (int rc =
                gensio_write(m_io, &count, data + sent, static_cast<gensiods>(n - sent), nullptr);
            rc != 0) {
            m_dropped = true;
            Fail(rc);
            return false;
        }
        sent += static_cast<int>(count);
        if (sent == n) break;
        // The socket is full: wait until it takes more, within the time-out.
        m_writeReady = false;
        gensio_set_write_callback_enable(m_io, true);
        if (!WaitUntil([this] { return m_writeReady; }, deadline)) {
            gensio_set_write_callback_enable(m_io, false);
            if (m_dropped) return false;
            break;
        }
    }
    return true;
}

int GensioConnection::Request(const std::function<int(sergensio*)>& request) {
    if (!m_serial) return GE_NOTSUP;
    const SigpipeHeldBack held;
    return request(m_serial);
}

std::string GensioConnection::ErrorText() const {
    return m_error ? gensio_err_to_str(m_error) : "";
}
