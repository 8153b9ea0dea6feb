#include "leftovers.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>

#include <sys/wait.h>
#include <unistd.h>

namespace leftovers {

namespace {

enum Kind : int { free, claimed, file, folder, child };

// A fixed list, so that a signal handler can walk it: no allocation, no lock.
// A slot's kind is set last when it is filled and first when it is let go.
struct Slot {
    std::atomic<int> kind{free};
    // Counts the slot's registrations, so that a ticket let go late never
    // lets go of a later one.
    int serial = 0;
    pid_t pid = 0;
    char path[PATH_MAX] = {};
};
static_assert(std::atomic<int>::is_always_lock_free);

constexpr int slotCount = 64;
constexpr int serials = INT_MAX / slotCount;
Slot entries[slotCount];

Ticket claim(int kind, const char* path, pid_t pid)
{
    if (path && std::strlen(path) >= PATH_MAX)
        return -1;
    for (int i = 0; i < slotCount; ++i) {
        int expected = free;
        if (!entries[i].kind.compare_exchange_strong(expected, claimed))
            continue;
        if (path)
            std::strcpy(entries[i].path, path);
        entries[i].pid = pid;
        entries[i].serial = (entries[i].serial + 1) % serials;
        entries[i].kind.store(kind, std::memory_order_release);
        return entries[i].serial * slotCount + i;
    }
    return -1;
}

// Takes the slot of the given kind for removal: no other walk gets it.
bool take(Slot& slot, int kind)
{
    int expected = kind;
    return slot.kind.compare_exchange_strong(expected, claimed, std::memory_order_acquire);
}

} // namespace

Ticket addFile(const char* path)
{
    return claim(file, path, 0);
}

Ticket addFolder(const char* path)
{
    return claim(folder, path, 0);
}

Ticket addChild(pid_t pid)
{
    return claim(child, nullptr, pid);
}

void release(Ticket ticket)
{
    if (ticket < 0)
        return;
    Slot& slot = entries[ticket % slotCount];
    int kind = slot.kind.load(std::memory_order_acquire);
    if (kind != free && kind != claimed && slot.serial == ticket / slotCount)
        slot.kind.compare_exchange_strong(kind, free, std::memory_order_release);
}

void removeAll()
{
    const int savedErrno = errno;
    // The children first, so that none writes a file that is then removed.
    for (Slot& slot : entries)
        if (take(slot, child)) {
            ::kill(slot.pid, SIGKILL);
            while (::waitpid(slot.pid, nullptr, 0) < 0 && errno == EINTR) {
            }
            slot.kind.store(free, std::memory_order_release);
        }
    for (Slot& slot : entries)
        if (take(slot, file)) {
            ::unlink(slot.path);
            slot.kind.store(free, std::memory_order_release);
        }
    // A folder goes only if nothing is left in it.
    for (Slot& slot : entries)
        if (take(slot, folder)) {
            ::rmdir(slot.path);
            slot.kind.store(free, std::memory_order_release);
        }
    errno = savedErrno;
}

} // namespace leftovers
