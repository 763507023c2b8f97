#include "output/safefile.hpp"

#include <array>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "run/stop.hpp"

namespace {

enum class slotkind { none, temporary, direct, side };

struct slotinfo {
    slotkind kind = slotkind::none;
    std::string name;    // as given: the name messages use
    std::string target;  // where the temporary file goes (links resolved)
    std::string path;    // the temporary or side file the run made
    int fd = -1;         // kept open from creation (or first open) to the end
    bool regular = false;
    dev_t dev = 0;
    ino_t ino = 0;
};

constexpr int numslots = 8;
std::array<slotinfo, numslots> slots;

// What the signal handler may remove: plain memory, set before `armed`.
struct sigslot {
    volatile std::sig_atomic_t armed = 0;
    char path[4608] = {};
    dev_t dev = 0;
    ino_t ino = 0;
};
sigslot sigslots[numslots];

std::string why(int e) { return std::strerror(e); }

[[noreturn]] void cannotwrite(const std::string& name, const std::string& reason, const std::string& routine)
{
    stoponerror("Cannot open file " + name + " for writing (" + reason + ")!", routine);
}

[[noreturn]] void writeerror(const std::string& name, int e, const std::string& routine)
{
    stoponerror("Error writing file " + name + " (" + why(e) + ")!", routine);
}

// Removes path only while it is still the file the run made.
void unlinkours(const char* path, dev_t dev, ino_t ino)
{
    struct stat st {};
    if (::lstat(path, &st) == 0 && st.st_dev == dev && st.st_ino == ino) ::unlink(path);
}

extern "C" void safeonsignal(int sig)
{
    for (sigslot& s : sigslots)
        if (s.armed) unlinkours(s.path, s.dev, s.ino);
    // The handler was installed to run once: the default action (ending
    // the process by this signal) follows.
    std::raise(sig);
}

void safesignals()
{
    static bool done = false;
    if (done) return;
    done = true;
    std::signal(SIGPIPE, SIG_IGN);
    for (int sig : {SIGTERM, SIGINT, SIGHUP}) {
        struct sigaction old {};
        if (::sigaction(sig, nullptr, &old) != 0 || old.sa_handler == SIG_IGN) continue;
        struct sigaction act {};
        act.sa_handler = safeonsignal;
        sigemptyset(&act.sa_mask);
        act.sa_flags = SA_RESETHAND;
        ::sigaction(sig, &act, nullptr);
    }
}

void arm(int k)
{
    slotinfo& s = slots[std::size_t(k)];
    sigslot& g = sigslots[k];
    g.armed = 0;
    if (s.path.size() >= sizeof g.path) return;  // removed at a stop, not on a signal
    std::memcpy(g.path, s.path.c_str(), s.path.size() + 1);
    g.dev = s.dev;
    g.ino = s.ino;
    g.armed = 1;
}

void release(int k)
{
    sigslots[k].armed = 0;
    slotinfo& s = slots[std::size_t(k)];
    if (s.fd >= 0) ::close(s.fd);
    s = slotinfo{};
}

int freeslot(const std::string& name, const std::string& routine)
{
    for (int k = 0; k < numslots; ++k)
        if (slots[std::size_t(k)].kind == slotkind::none) return k;
    cannotwrite(name, "too many output files", routine);
}

bool validslot(int k) { return k >= 0 && k < numslots && slots[std::size_t(k)].kind != slotkind::none; }

// Six letters and digits that differ between runs and calls.
std::string randomtag()
{
    static uint64_t calls = 0;
    struct timespec ts {};
    clock_gettime(CLOCK_REALTIME, &ts);
    uint64_t x = (uint64_t(::getpid()) << 32) ^ uint64_t(ts.tv_nsec) ^ (uint64_t(ts.tv_sec) << 20) ^
                 (++calls * 0x9E3779B97F4A7C15ull);
    x ^= x >> 30;
    x *= 0xbf58476d1ce4e5b9ull;
    x ^= x >> 27;
    x *= 0x94d049bb133111ebull;
    x ^= x >> 31;
    const char* chars = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::string tag;
    for (int i = 0; i < 6; ++i, x /= 36) tag += chars[x % 36];
    return tag;
}

// Creates "<target>.part-XXXXXX" beside target, exclusively and not through
// a link; the file name part is shortened to fit a folder entry.  -1 with
// errno on failure.
int maketemp(const std::string& target, std::string& path)
{
    std::size_t slash = target.rfind('/');
    std::string dir = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
    std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
    if (base.size() > 243) base.resize(243);
    for (int tries = 0; tries < 100; ++tries) {
        path = dir + base + ".part-" + randomtag();
        int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    errno = EEXIST;
    return -1;
}

// Names whose files the system makes: written as they stand.
bool systemname(const std::string& name) { return name.rfind("/dev/", 0) == 0 || name.rfind("/proc/", 0) == 0; }

}  // namespace

int safeprepare(const std::string& name, const std::string& routine)
{
    const int k = freeslot(name, routine);
    safesignals();
    slotinfo s;
    s.name = name;
    s.target = name;
    if (name.empty()) cannotwrite(name, why(ENOENT), routine);
    if (systemname(name)) {
        s.kind = slotkind::direct;
        slots[std::size_t(k)] = s;
        return k;
    }
    struct stat ls {}, st {};
    bool exists = false;
    if (::lstat(name.c_str(), &ls) == 0) {
        exists = true;
        st = ls;
        if (S_ISLNK(ls.st_mode)) {
            if (::stat(name.c_str(), &st) != 0)
                cannotwrite(name, errno == ENOENT ? std::string("a link to nothing") : why(errno), routine);
            if (S_ISREG(st.st_mode)) {
                char* real = ::realpath(name.c_str(), nullptr);
                if (!real) cannotwrite(name, why(errno), routine);
                s.target = real;
                std::free(real);
            }
        }
        if (S_ISDIR(st.st_mode)) cannotwrite(name, why(EISDIR), routine);
        if (!S_ISREG(st.st_mode)) {
            s.kind = slotkind::direct;
            slots[std::size_t(k)] = s;
            return k;
        }
        if (::access(s.target.c_str(), W_OK) != 0) cannotwrite(name, why(errno), routine);
    } else if (errno != ENOENT) {
        cannotwrite(name, why(errno), routine);
    }
    if (name.back() == '/') cannotwrite(name, why(EISDIR), routine);

    int fd = maketemp(s.target, s.path);
    if (fd < 0) {
        int e = errno;
        if (exists && (e == EACCES || e == EPERM)) {
            // A file the user may write in a folder the user may not: it is
            // written in place, as it always was.
            s.kind = slotkind::direct;
            s.regular = true;
            s.path.clear();
            slots[std::size_t(k)] = s;
            return k;
        }
        cannotwrite(name, why(e), routine);
    }
    if (exists) {
        // The new file keeps the old one's owner and permission bits.
        if (::fchown(fd, st.st_uid, st.st_gid) != 0) {
        }
        if (::fchmod(fd, st.st_mode & 07777) != 0) {
        }
    }
    struct stat made {};
    ::fstat(fd, &made);
    s.kind = slotkind::temporary;
    s.regular = true;
    s.fd = fd;
    s.dev = made.st_dev;
    s.ino = made.st_ino;
    slots[std::size_t(k)] = s;
    arm(k);
    return k;
}

int safecreate(const std::string& name, const std::string& routine)
{
    const int k = freeslot(name, routine);
    if (name.empty()) cannotwrite(name, why(ENOENT), routine);
    safesignals();
    int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) {
        if (errno == EEXIST)
            stoponerror("File " + name + " already exists! The run would overwrite and then remove it.", routine);
        cannotwrite(name, why(errno), routine);
    }
    struct stat made {};
    ::fstat(fd, &made);
    slotinfo s;
    s.kind = slotkind::side;
    s.name = name;
    s.target = name;
    s.path = name;
    s.fd = fd;
    s.regular = true;
    s.dev = made.st_dev;
    s.ino = made.st_ino;
    slots[std::size_t(k)] = s;
    arm(k);
    return k;
}

bool safedirect(int slot) { return validslot(slot) && slots[std::size_t(slot)].kind == slotkind::direct; }

bool saferegular(int slot) { return validslot(slot) && slots[std::size_t(slot)].regular; }

void safeopen(textout& out, int slot, const std::string& name, bool append, const std::string& routine)
{
    if (!validslot(slot)) {
        textopen(out, name, append, routine);
        return;
    }
    slotinfo& s = slots[std::size_t(slot)];
    if (s.fd < 0) {
        // A direct file, opened for the first time: kept open, so that a
        // later open continues the same stream.
        textopen(out, s.name, append, routine);
        s.fd = ::fcntl(::fileno(out.file), F_DUPFD_CLOEXEC, 0);
        if (s.fd < 0) cannotwrite(s.name, why(errno), routine);
        return;
    }
    int fd = ::fcntl(s.fd, F_DUPFD_CLOEXEC, 0);
    if (fd < 0) cannotwrite(s.name, why(errno), routine);
    if (s.regular) {
        if ((!append && ::ftruncate(fd, 0) != 0) || ::lseek(fd, 0, SEEK_END) < 0) {
            int e = errno;
            ::close(fd);
            writeerror(s.name, e, routine);
        }
    }
    textattach(out, fd, s.name, routine);
}

std::string safetarget(int slot) { return validslot(slot) ? slots[std::size_t(slot)].target : std::string(); }

namespace {

// Pushes a temporary file to the disk and closes it, ready to be renamed.
void settle(slotinfo& s, const std::string& routine)
{
    if (s.kind != slotkind::temporary || s.fd < 0) return;
    if (::fsync(s.fd) != 0) writeerror(s.name, errno, routine);
    int fd = s.fd;
    s.fd = -1;
    if (::close(fd) != 0) writeerror(s.name, errno, routine);
}

}  // namespace

void safecommitgroup(const int* slot, int n, const std::string& routine)
{
    for (int k = 0; k < n; ++k)
        if (validslot(slot[k])) settle(slots[std::size_t(slot[k])], routine);
    sigset_t hold, before;
    sigemptyset(&hold);
    sigaddset(&hold, SIGTERM);
    sigaddset(&hold, SIGINT);
    sigaddset(&hold, SIGHUP);
    ::sigprocmask(SIG_BLOCK, &hold, &before);
    for (int k = n - 1; k >= 0; --k) safecommit(slot[k], routine);
    ::sigprocmask(SIG_SETMASK, &before, nullptr);
}

void safecommit(int slot, const std::string& routine)
{
    if (!validslot(slot)) return;
    slotinfo& s = slots[std::size_t(slot)];
    if (s.kind == slotkind::temporary) {
        settle(s, routine);
        if (::rename(s.path.c_str(), s.target.c_str()) != 0) writeerror(s.name, errno, routine);
        s.path.clear();
    }
    if (s.kind != slotkind::side) release(slot);
}

void saferemove(int slot, const std::string& name)
{
    if (!validslot(slot)) {
        std::remove(name.c_str());
        return;
    }
    slotinfo& s = slots[std::size_t(slot)];
    if (s.fd >= 0) ::close(s.fd);
    s.fd = -1;
    if (!s.path.empty()) unlinkours(s.path.c_str(), s.dev, s.ino);
    release(slot);
}

void safedropall()
{
    for (int k = 0; k < numslots; ++k) {
        slotinfo& s = slots[std::size_t(k)];
        if (s.kind == slotkind::none) continue;
        if (s.fd >= 0) ::close(s.fd);
        s.fd = -1;
        if (!s.path.empty() && s.kind != slotkind::direct) unlinkours(s.path.c_str(), s.dev, s.ino);
        release(k);
    }
}
