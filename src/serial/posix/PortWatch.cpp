#include "serial/PortWatch.h"

#include <libudev.h>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "serial/termios/UniqueFd.h"

namespace {

constexpr uint32_t kDevEvents = IN_CREATE | IN_DELETE | IN_ATTRIB | IN_MOVED_FROM | IN_MOVED_TO;

// Names in /dev that can be serial devices, or the folder of their links.
bool Interesting(const char* name) {
    for (const char* prefix : {"tty", "rfcomm", "serial"})
        if (std::strncmp(name, prefix, std::strlen(prefix)) == 0) return true;
    return false;
}

}  // namespace

struct PortWatch::Impl {
    InventoryRoot root;
    UniqueFd epoll;
    UniqueFd inotify;
    int devWatch = -1;
    udev* context = nullptr;
    udev_monitor* monitor = nullptr;

    ~Impl() {
        if (monitor) udev_monitor_unref(monitor);
        if (context) udev_unref(context);
    }

    void WatchFolders() {
        // Adding a watch twice only updates it, so this runs after each change.
        devWatch = inotify_add_watch(inotify.Get(), root.Dev().c_str(), kDevEvents);
        inotify_add_watch(inotify.Get(), (root.Dev() + "/serial").c_str(), kDevEvents);
        for (const char* links : {"/serial/by-id", "/serial/by-path"})
            inotify_add_watch(inotify.Get(), (root.Dev() + links).c_str(), kDevEvents);
    }

    void Add(int fd) {
        epoll_event event{};
        event.events = EPOLLIN;
        event.data.fd = fd;
        epoll_ctl(epoll.Get(), EPOLL_CTL_ADD, fd, &event);
    }

    // udev announces devices of the machine itself, not of a fake tree.
    void StartUdev() {
        if (!root.root.empty()) return;
        context = udev_new();
        if (!context) return;
        monitor = udev_monitor_new_from_netlink(context, "udev");
        if (!monitor || udev_monitor_filter_add_match_subsystem_devtype(monitor, "tty", nullptr) < 0 ||
            udev_monitor_enable_receiving(monitor) < 0) {
            if (monitor) udev_monitor_unref(monitor);
            monitor = nullptr;
            return;
        }
        Add(udev_monitor_get_fd(monitor));
    }

    bool TakeInotify() {
        bool changed = false;
        alignas(inotify_event) char buffer[4096];
        for (;;) {
            const ssize_t n = read(inotify.Get(), buffer, sizeof buffer);
            if (n <= 0) break;
            for (ssize_t at = 0; at < n;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                // In /dev/serial and its folders every name counts.
                if (event->wd != devWatch || event->len == 0 || Interesting(event->name)) changed = true;
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
        }
        if (changed) WatchFolders();
        return changed;
    }

    bool TakeUdev() {
        bool changed = false;
        if (!monitor) return false;
        while (udev_device* device = udev_monitor_receive_device(monitor)) {
            changed = true;
            udev_device_unref(device);
        }
        return changed;
    }
};

PortWatch::PortWatch(const InventoryRoot& root) : m_impl(std::make_unique<Impl>()) {
    m_impl->root = root;
    m_impl->epoll = UniqueFd(epoll_create1(EPOLL_CLOEXEC));
    m_impl->inotify = UniqueFd(inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
    if (!m_impl->epoll.Valid() || !m_impl->inotify.Valid()) return;
    m_impl->WatchFolders();
    m_impl->Add(m_impl->inotify.Get());
    m_impl->StartUdev();
}

PortWatch::~PortWatch() = default;

bool PortWatch::Active() const { return m_impl->epoll.Valid() && m_impl->inotify.Valid(); }

int PortWatch::Descriptor() const { return Active() ? m_impl->epoll.Get() : -1; }

bool PortWatch::TakeChanges() {
    if (!Active()) return false;
    epoll_event events[4];
    // Empties the ready list; what each source holds is read below.
    epoll_wait(m_impl->epoll.Get(), events, 4, 0);
    const bool files = m_impl->TakeInotify();
    const bool udev = m_impl->TakeUdev();
    return files || udev;
}

bool PortWatch::Wait(int timeoutMs) {
    if (!Active()) {
        if (timeoutMs > 0) usleep(static_cast<useconds_t>(timeoutMs) * 1000);
        return false;
    }
    pollfd watched{m_impl->epoll.Get(), POLLIN, 0};
    if (poll(&watched, 1, timeoutMs) <= 0) return false;
    return TakeChanges();
}
