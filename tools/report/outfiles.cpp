#include "outfiles.hpp"
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>
#include "repstate.hpp"
#include "sigtmp.hpp"

namespace {

// Opens an existing device or pipe for writing as it is.
FILE* opendirect(const std::string& name)
{
    // O_NONBLOCK: a named pipe that no program reads fails at once (ENXIO)
    // instead of blocking.
    int fd = ::open(name.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        int e = errno;
        if (e == ENXIO)
            repstop("cannot write " + name + ": it is a named pipe that no program reads");
        repstop("cannot write " + name + ": " + std::strerror(e));
    }
    int flags = ::fcntl(fd, F_GETFL);
    FILE* f = nullptr;
    if (flags == -1 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == -1 ||
        !(f = fdopen(fd, "wb"))) {
        int e = errno;
        ::close(fd);
        repstop("cannot write " + name + ": " + std::strerror(e));
    }
    return f;
}

} // namespace

FILE* outopen(const std::string& name)
{
    outfile o;
    o.name = o.target = name;
    struct stat lst {}, st {}, so {};
    bool link = ::lstat(name.c_str(), &lst) == 0 && S_ISLNK(lst.st_mode);
    mode_t mode = 0644;
    if (::stat(name.c_str(), &st) == 0 && ::fstat(1, &so) == 0 && st.st_dev == so.st_dev &&
        st.st_ino == so.st_ino) {
        // standard output (/dev/stdout, or the file it goes to): written
        // through it, sharing its position
        int fd = ::dup(1);
        if (fd < 0 || !(o.f = fdopen(fd, "wb"))) {
            int e = errno;
            if (fd >= 0)
                ::close(fd);
            repstop("cannot write " + name + ": " + std::strerror(e));
        }
        rep.tostdout = true;
        rep.outs.push_back(o);
        return o.f;
    }
    if (::stat(name.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode))
            repstop("cannot write " + name + ": it is a folder");
        if (!S_ISREG(st.st_mode)) {
            o.f = opendirect(name);
            rep.outs.push_back(o);
            return o.f;
        }
        mode = st.st_mode & 0777;
        if (link) {
            std::error_code ec;
            o.target = std::filesystem::canonical(name, ec).string();
            if (ec)
                repstop("cannot write " + name + ": " + ec.message());
        }
    } else if (link) {
        repstop("cannot write " + name + ": it is a symbolic link to a missing file");
    }
    std::string t = o.target + ".XXXXXX";
    int fd = mkstemp(t.data());
    if (fd < 0)
        repstop("cannot write " + name + ": " + std::strerror(errno));
    o.tmp = t;
    sigkeep(t);
    fchmod(fd, mode);
    o.f = fdopen(fd, "wb");
    if (!o.f) {
        int e = errno;
        close(fd);
        std::remove(t.c_str());
        sigdrop(t);
        repstop("cannot write " + name + ": " + std::strerror(e));
    }
    std::setvbuf(o.f, nullptr, _IOFBF, 1 << 20);
    rep.outs.push_back(o);
    return o.f;
}

void outclose(FILE* f, const std::string& name)
{
    for (outfile& o : rep.outs)
        if (o.f == f)
            o.f = nullptr;
    bool bad = std::ferror(f) != 0;
    int e = errno;
    if (std::fclose(f) != 0 && !bad) {
        bad = true;
        e = errno;
    }
    if (bad)
        repstop("error writing " + name + ": " + std::strerror(e));
}

void outwrite(FILE* f, const std::string& text, const std::string& name)
{
    if (!text.empty() && std::fwrite(text.data(), 1, text.size(), f) != text.size())
        repstop("error writing " + name + ": " + std::strerror(errno));
}

void outflush(FILE* f, std::string& buf, const std::string& name, bool always)
{
    if (!f) {
        buf.clear();
    } else if (always || buf.size() > (size_t(1) << 20)) {
        outwrite(f, buf, name);
        buf.clear();
    }
}

void outcommit()
{
    // the earlier table goes first: when it cannot be removed, nothing has
    // changed yet
    for (const stalefile& x : rep.stale)
        if (::unlink(x.name.c_str()) != 0 && errno != ENOENT)
            repstop("cannot remove " + x.name + ", " + x.what + " of an earlier report, "
                    "which would go with the new tables: " + std::strerror(errno) +
                    "; nothing was written");
    for (outfile& o : rep.outs) {
        if (o.tmp.empty())
            continue;
        if (std::rename(o.tmp.c_str(), o.target.c_str()) != 0)
            repstop("cannot rename " + o.tmp + " to " + o.target + ": " + std::strerror(errno));
        sigdrop(o.tmp);
        o.tmp.clear();
    }
    rep.outs.clear();
}

void outdiscard()
{
    for (outfile& o : rep.outs) {
        if (o.f)
            std::fclose(o.f);
        if (!o.tmp.empty()) {
            std::remove(o.tmp.c_str());
            sigdrop(o.tmp);
        }
    }
    rep.outs.clear();
}

void outsignals()
{
    sigsetup();
}
