#include "serial/termios/TermiosDevice.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <utility>

namespace {

struct SpeedEntry {
    uint32_t baud;
    speed_t speed;
};

constexpr SpeedEntry kSpeeds[] = {
    {50, B50},           {75, B75},           {110, B110},         {134, B134},
    {150, B150},         {200, B200},         {300, B300},         {600, B600},
    {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
    {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
    {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
    {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
    {3500000, B3500000}, {4000000, B4000000},
};

constexpr tcflag_t kParityBits = PARENB | PARODD | CMSPAR;

// A Linux pseudo-terminal silently drops PARENB, and a later tcsetattr that
// differs from the line only in parity is refused with EINVAL although
// everything else holds. Such a refusal is not a failure of the port.
bool SameButParity(const termios& a, const termios& b) {
    return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_lflag == b.c_lflag &&
           (a.c_cflag & ~kParityBits) == (b.c_cflag & ~kParityBits) &&
           cfgetispeed(&a) == cfgetispeed(&b) && cfgetospeed(&a) == cfgetospeed(&b) &&
           a.c_cc[VMIN] == b.c_cc[VMIN] && a.c_cc[VTIME] == b.c_cc[VTIME];
}

using SteadyTime = std::chrono::steady_clock::time_point;

int MsUntil(SteadyTime deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

}  // namespace

speed_t SpeedFromBaud(uint32_t baud) {
    for (const SpeedEntry& entry : kSpeeds) {
        if (entry.baud == baud) return entry.speed;
    }
    return B0;
}

uint32_t BaudFromSpeed(speed_t speed) {
    for (const SpeedEntry& entry : kSpeeds) {
        if (entry.speed == speed) return entry.baud;
    }
    return kCommRateUnknown;
}

int CommErrorFromErrno(int err) {
    switch (err) {
        case ENOENT:
        case ENODEV:
        case ENXIO:
            return kCommErrBadId;
        case EBUSY:
        case EWOULDBLOCK:  // flock on a device another process holds
            return kCommErrHardwareInUse;
        default:
            return err;
    }
}

bool ErrnoMeansDeviceGone(int err) { return err == EIO || err == ENXIO || err == ENODEV; }

std::unique_ptr<CommDevice> MakeTermiosDevice(const std::string& path) {
    return std::make_unique<TermiosDevice>(path);
}

TermiosDevice::TermiosDevice(std::string path) : m_path(std::move(path)) {}

TermiosDevice::~TermiosDevice() { Close(); }

bool TermiosDevice::Fail(int err) {
    m_lastError = CommErrorFromErrno(err);
    m_gone = ErrnoMeansDeviceGone(err);
    return false;
}

bool TermiosDevice::PathLeadsElsewhere() const {
    struct stat now {};
    struct stat open {};
    if (::fstat(m_fd.Get(), &open) != 0) return false;
    if (::stat(m_path.c_str(), &now) != 0) return errno == ENOENT || errno == ENOTDIR;
    return now.st_rdev != open.st_rdev || now.st_ino != open.st_ino || now.st_dev != open.st_dev;
}

bool TermiosDevice::NotOpen() {
    m_lastError = kCommErrNotOpen;
    m_gone = false;
    return false;
}

bool TermiosDevice::Open() {
    if (m_fd.Valid()) {
        m_lastError = kCommErrOpen;
        return false;
    }
    UniqueFd fd(::open(m_path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!fd.Valid()) {
        // A serial device node without a UART behind it fails its open with
        // EIO: for the user that port is not there.
        return Fail(errno == EIO ? ENXIO : errno);
    }
    // flock first: TIOCEXCL must not be touched on a line another port owns,
    // since closing would clear it for that owner.
    if (::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0) return Fail(errno);
    termios original{};
    if (::tcgetattr(fd.Get(), &original) != 0) return Fail(errno);
    if (::ioctl(fd.Get(), TIOCEXCL) != 0) return Fail(errno);

    termios raw = original;
    // No handshaking of any kind, whatever another program left set: a
    // controller that never raises CTS or sends XON must not stall the line.
    raw.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF |
                     IXANY | IMAXBEL);
    raw.c_oflag &= ~OPOST;
    raw.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    raw.c_cflag |= CLOCAL | CREAD;
    raw.c_cflag &= ~(HUPCL | CRTSCTS);
    // With O_NONBLOCK, VMIN 1 makes an empty queue EAGAIN; VMIN 0 would
    // make it 0, which could not be told apart from a hang-up.
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    m_fd = std::move(fd);
    if (!Apply(raw)) {
        const int err = errno;
        ::tcsetattr(m_fd.Get(), TCSANOW, &original);
        ::ioctl(m_fd.Get(), TIOCNXCL);
        m_fd.Reset();
        return Fail(err);
    }
    m_original = original;
    m_gone = false;
    // Where the device has modem lines (a pseudo-terminal has none).
    m_haveModemLines = ::ioctl(m_fd.Get(), TIOCMGET, &m_modemLinesAtOpen) == 0;

    serial_icounter_struct counts{};
    m_haveCounters = ::ioctl(m_fd.Get(), TIOCGICOUNT, &counts) == 0;
    if (m_haveCounters) {
        m_counters[0] = static_cast<uint32_t>(counts.buf_overrun);
        m_counters[1] = static_cast<uint32_t>(counts.overrun);
        m_counters[2] = static_cast<uint32_t>(counts.parity);
        m_counters[3] = static_cast<uint32_t>(counts.frame);
        m_counters[4] = static_cast<uint32_t>(counts.brk);
    }
    return true;
}

void TermiosDevice::Close() {
    if (!m_fd.Valid()) return;
    // With HUPCL as found the kernel drops DTR and RTS at this close as it
    // would for any program; without it, they go back to how they were.
    if (m_haveModemLines && !(m_original.c_cflag & HUPCL)) {
        int lines = m_modemLinesAtOpen & (TIOCM_DTR | TIOCM_RTS);
        int clear = ~m_modemLinesAtOpen & (TIOCM_DTR | TIOCM_RTS);
        if (lines) ::ioctl(m_fd.Get(), TIOCMBIS, &lines);
        if (clear) ::ioctl(m_fd.Get(), TIOCMBIC, &clear);
    }
    ::tcsetattr(m_fd.Get(), TCSANOW, &m_original);
    ::ioctl(m_fd.Get(), TIOCNXCL);
    m_fd.Reset();  // releases the flock as well
}

bool TermiosDevice::Apply(const termios& wanted) {
    if (::tcsetattr(m_fd.Get(), TCSANOW, &wanted) == 0) return true;
    const int err = errno;
    termios now{};
    if (err == EINVAL && ::tcgetattr(m_fd.Get(), &now) == 0 && SameButParity(now, wanted)) {
        return true;
    }
    errno = err;
    return false;
}

bool TermiosDevice::GetState(CommState& state) {
    if (!m_fd.Valid()) return NotOpen();
    termios t{};
    if (::tcgetattr(m_fd.Get(), &t) != 0) return Fail(errno);
    state.baud = BaudFromSpeed(cfgetospeed(&t));
    if (!(t.c_cflag & PARENB)) {
        state.parity = 0;
    } else if (t.c_cflag & CMSPAR) {
        state.parity = (t.c_cflag & PARODD) ? 3 : 4;
    } else {
        state.parity = (t.c_cflag & PARODD) ? 1 : 2;
    }
    switch (t.c_cflag & CSIZE) {
        case CS5:
            state.byteSize = 5;
            break;
        case CS6:
            state.byteSize = 6;
            break;
        case CS7:
            state.byteSize = 7;
            break;
        default:
            state.byteSize = 8;
            break;
    }
    state.stopBits = (t.c_cflag & CSTOPB) ? 2 : 0;
    state.outXonXoff = (t.c_iflag & IXON) != 0;
    state.inXonXoff = (t.c_iflag & IXOFF) != 0;
    state.binary = true;
    return true;
}

bool TermiosDevice::SetState(const CommState& state) {
    if (!m_fd.Valid()) return NotOpen();
    termios t{};
    if (::tcgetattr(m_fd.Get(), &t) != 0) return Fail(errno);

    const speed_t speed = SpeedFromBaud(state.baud);
    if (speed == B0) {
        m_lastError = kCommErrBaudRate;
        m_gone = false;
        return false;
    }
    cfsetispeed(&t, speed);
    cfsetospeed(&t, speed);

    tcflag_t size;
    switch (state.byteSize) {
        case 5:
            size = CS5;
            break;
        case 6:
            size = CS6;
            break;
        case 7:
            size = CS7;
            break;
        case 8:
            size = CS8;
            break;
        default:
            m_lastError = kCommErrByteSize;
            m_gone = false;
            return false;
    }
    t.c_cflag = (t.c_cflag & ~CSIZE) | size;

    t.c_cflag &= ~kParityBits;
    switch (state.parity) {
        case 0:
            break;
        case 1:
            t.c_cflag |= PARENB | PARODD;
            break;
        case 2:
            t.c_cflag |= PARENB;
            break;
        case 3:
            t.c_cflag |= PARENB | PARODD | CMSPAR;
            break;
        case 4:
            t.c_cflag |= PARENB | CMSPAR;
            break;
        default:
            m_lastError = kCommErrDefaultParams;
            m_gone = false;
            return false;
    }

    // termios has no one and a half; that code only exists for 5-bit words.
    if (state.stopBits == 0) {
        t.c_cflag &= ~CSTOPB;
    } else {
        t.c_cflag |= CSTOPB;
    }

    t.c_iflag = state.outXonXoff ? (t.c_iflag | IXON) : (t.c_iflag & ~IXON);
    t.c_iflag = state.inXonXoff ? (t.c_iflag | IXOFF) : (t.c_iflag & ~IXOFF);

    if (!Apply(t)) return Fail(errno);
    return true;
}

bool TermiosDevice::SetQueueSizes(uint32_t, uint32_t) {
    // The kernel's queues (4 KiB) are fixed and larger than asked for.
    if (!m_fd.Valid()) return NotOpen();
    return true;
}

bool TermiosDevice::GetTimeouts(CommTimeouts& timeouts) {
    if (!m_fd.Valid()) return NotOpen();
    timeouts = m_timeouts;
    return true;
}

bool TermiosDevice::SetTimeouts(const CommTimeouts& timeouts) {
    if (!m_fd.Valid()) return NotOpen();
    m_timeouts = timeouts;
    return true;
}

bool TermiosDevice::Read(uint8_t* buffer, int n, int& got) {
    got = 0;
    if (!m_fd.Valid()) return NotOpen();
    const SteadyTime deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(m_timeouts.readTotalMs);
    while (got < n) {
        const ssize_t r = ::read(m_fd.Get(), buffer + got, static_cast<size_t>(n - got));
        if (r > 0) {
            got += static_cast<int>(r);
            continue;
        }
        // An empty queue is EAGAIN; 0 is end of file, which a terminal only
        // reports after a hang-up.
        if (r == 0) return Fail(EIO);
        if (errno == EINTR) continue;
        if (errno != EAGAIN) return Fail(errno);

        const int wait = MsUntil(deadline);
        if (wait == 0) {
            // A silent line may be one whose device is no longer there.
            if (PathLeadsElsewhere()) return Fail(ENODEV);
            break;
        }
        pollfd p{m_fd.Get(), POLLIN, 0};
        const int ready = ::poll(&p, 1, wait);
        if (ready < 0 && errno != EINTR) return Fail(errno);
        if (ready > 0 && (p.revents & POLLNVAL)) return Fail(EBADF);
    }
    return true;
}

bool TermiosDevice::Write(const uint8_t* buffer, int n, int& sent) {
    sent = 0;
    if (!m_fd.Valid()) return NotOpen();
    const SteadyTime deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(m_timeouts.writeTotalMs);
    while (sent < n) {
        const ssize_t w = ::write(m_fd.Get(), buffer + sent, static_cast<size_t>(n - sent));
        if (w > 0) {
            sent += static_cast<int>(w);
            continue;
        }
        if (w < 0 && errno == EINTR) continue;
        if (w < 0 && errno != EAGAIN) return Fail(errno);

        const int wait = MsUntil(deadline);
        if (wait == 0) break;
        pollfd p{m_fd.Get(), POLLOUT, 0};
        const int ready = ::poll(&p, 1, wait);
        if (ready < 0 && errno != EINTR) return Fail(errno);
        if (ready > 0 && (p.revents & (POLLHUP | POLLERR)) && !(p.revents & POLLOUT)) {
            return Fail(EIO);
        }
        if (ready > 0 && (p.revents & POLLNVAL)) return Fail(EBADF);
    }
    return true;
}

bool TermiosDevice::SetModemLine(ModemLine line, bool on) {
    if (!m_fd.Valid()) return NotOpen();
    int bits = line == ModemLine::Dtr ? TIOCM_DTR : TIOCM_RTS;
    if (::ioctl(m_fd.Get(), on ? TIOCMBIS : TIOCMBIC, &bits) != 0) return Fail(errno);
    return true;
}

bool TermiosDevice::SetBreak(bool on) {
    if (!m_fd.Valid()) return NotOpen();
    if (::ioctl(m_fd.Get(), on ? TIOCSBRK : TIOCCBRK) != 0) return Fail(errno);
    return true;
}

bool TermiosDevice::PurgeInput() {
    if (!m_fd.Valid()) return NotOpen();
    if (::tcflush(m_fd.Get(), TCIFLUSH) != 0) return Fail(errno);
    return true;
}

bool TermiosDevice::PurgeOutput() {
    if (!m_fd.Valid()) return NotOpen();
    if (::tcflush(m_fd.Get(), TCOFLUSH) != 0) return Fail(errno);
    return true;
}

uint32_t TermiosDevice::LineErrors() {
    // Only real UARTs count line errors; elsewhere there is nothing to report.
    if (!m_fd.Valid() || !m_haveCounters) return 0;
    serial_icounter_struct counts{};
    if (::ioctl(m_fd.Get(), TIOCGICOUNT, &counts) != 0) return 0;
    const uint32_t now[5] = {
        static_cast<uint32_t>(counts.buf_overrun), static_cast<uint32_t>(counts.overrun),
        static_cast<uint32_t>(counts.parity), static_cast<uint32_t>(counts.frame),
        static_cast<uint32_t>(counts.brk)};
    static constexpr uint32_t kBits[5] = {kLineErrInputOverflow, kLineErrOverrun, kLineErrParity,
                                          kLineErrFraming, kLineErrBreak};
    uint32_t bits = 0;
    for (int i = 0; i < 5; ++i) {
        if (now[i] != m_counters[i]) bits |= kBits[i];
        m_counters[i] = now[i];
    }
    return bits;
}
