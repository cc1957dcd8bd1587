#include "office/OfficeProcesses.h"

#include <QCoreApplication>
#include <QObject>

#include <array>
#include <atomic>
#include <csignal>
#include <cstdlib>
#include <map>
#include <mutex>
#include <sys/types.h>
#include <unistd.h>

namespace {

// Read by the signal handler: process groups only, in a fixed table of lock-free slots.
constexpr int kSlots = 64;
std::array<std::atomic<pid_t>, kSlots> gGroups{};
static_assert(std::atomic<pid_t>::is_always_lock_free);

struct Entry {
    int slot = -1;
    std::function<void()> endInOrder;
};

std::mutex &registryMutex() {
    static std::mutex mutex;
    return mutex;
}

// Allocated once and never freed: it must outlive every static destructor that may still unregister.
std::map<int, Entry> &registry() {
    static auto *entries = new std::map<int, Entry>;
    return *entries;
}

int gNextId = 1;

void killGroups() {
    for (auto &group : gGroups) {
        const pid_t pg = group.exchange(0);
        if (pg > 0)
            ::kill(-pg, SIGKILL);
    }
}

const int kFatalSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT, SIGTERM, SIGINT, SIGHUP};
struct sigaction gPrevious[std::size(kFatalSignals)];

void onFatalSignal(int signal) {
    killGroups();
    // Then as before: the earlier handler (a sanitizer's, say) or the default action ends the process.
    for (size_t i = 0; i < std::size(kFatalSignals); ++i) {
        if (kFatalSignals[i] == signal)
            ::sigaction(signal, &gPrevious[i], nullptr);
    }
    ::raise(signal);
}

} // namespace

namespace OfficeProcesses {

int add(qint64 processGroup, std::function<void()> endInOrder) {
    std::lock_guard lock(registryMutex());
    Entry entry;
    entry.endInOrder = std::move(endInOrder);
    for (int i = 0; i < kSlots; ++i) {
        pid_t expected = 0;
        if (processGroup <= 0 ||
            gGroups[static_cast<size_t>(i)].compare_exchange_strong(expected, static_cast<pid_t>(processGroup))) {
            entry.slot = processGroup > 0 ? i : -1;
            break;
        }
    }
    const int id = gNextId++;
    registry().emplace(id, std::move(entry));
    return id;
}

void setProcessGroup(int id, qint64 processGroup) {
    std::lock_guard lock(registryMutex());
    auto it = registry().find(id);
    if (it == registry().end())
        return;
    if (it->second.slot >= 0) {
        gGroups[static_cast<size_t>(it->second.slot)] = processGroup > 0 ? static_cast<pid_t>(processGroup) : 0;
        if (processGroup <= 0)
            it->second.slot = -1;
        return;
    }
    if (processGroup <= 0)
        return;
    for (int i = 0; i < kSlots; ++i) {
        pid_t expected = 0;
        if (gGroups[static_cast<size_t>(i)].compare_exchange_strong(expected, static_cast<pid_t>(processGroup))) {
            it->second.slot = i;
            return;
        }
    }
}

void remove(int id) {
    std::lock_guard lock(registryMutex());
    auto it = registry().find(id);
    if (it == registry().end())
        return;
    if (it->second.slot >= 0)
        gGroups[static_cast<size_t>(it->second.slot)] = 0;
    registry().erase(it);
}

int count() {
    std::lock_guard lock(registryMutex());
    return static_cast<int>(registry().size());
}

void endAll() {
    // Each end unregisters itself; take them one at a time, outside the lock.
    for (;;) {
        std::function<void()> end;
        int id = 0;
        {
            std::lock_guard lock(registryMutex());
            if (registry().empty())
                break;
            id = registry().begin()->first;
            end = registry().begin()->second.endInOrder;
        }
        if (end)
            end();
        remove(id);
    }
    killGroups();
}

void installExitGuards() {
    static std::once_flag once;
    std::call_once(once, [] {
        if (auto *app = QCoreApplication::instance())
            QObject::connect(app, &QCoreApplication::aboutToQuit, app, [] { endAll(); });
        std::at_quick_exit([] { endAll(); });
        // After main() has returned the office connections may be gone already: only kill what is left.
        std::atexit(killGroups);
        for (size_t i = 0; i < std::size(kFatalSignals); ++i) {
            struct sigaction action = {};
            action.sa_handler = onFatalSignal;
            sigemptyset(&action.sa_mask);
            action.sa_flags = 0;
            ::sigaction(kFatalSignals[i], &action, &gPrevious[i]);
        }
    });
}

} // namespace OfficeProcesses
