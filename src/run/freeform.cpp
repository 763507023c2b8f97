#include "run/freeform.hpp"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

// errno value standing for "not a regular file" in fferrtext.
constexpr int notregular = -1;

bool ffopen(ffreader& r, const std::string& name)
{
    ffclose(r);
    r.name = name;
    r.online = false;
    r.lineno = 0;
    r.err = 0;
    // O_NONBLOCK: opening a named pipe that has no writer returns at once.
    int fd = ::open(name.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        r.err = errno;
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) r.err = errno;
    else if (S_ISDIR(st.st_mode)) r.err = EISDIR;
    else if (!S_ISREG(st.st_mode)) r.err = notregular;
    if (r.err == 0) {
        int flags = ::fcntl(fd, F_GETFL);
        if (flags == -1 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == -1) r.err = errno;
    }
    if (r.err == 0 && !(r.file = ::fdopen(fd, "rb"))) r.err = errno;
    if (r.err != 0) {
        ::close(fd);
        return false;
    }
    std::setvbuf(r.file, nullptr, _IOFBF, 1 << 20);
    return true;
}

void ffclose(ffreader& r)
{
    if (r.file) std::fclose(r.file);
    r.file = nullptr;
    std::free(r.buf);
    r.buf = nullptr;
    r.cap = 0;
    r.len = 0;
    r.online = false;
}

bool ffnextline(ffreader& r)
{
    r.online = false;
    if (!r.file) return false;
    errno = 0;
    ssize_t n = getline(&r.buf, &r.cap, r.file);
    if (n < 0) {
        // getline leaves the error flag unset when the line does not fit
        // in memory; that is no end of the file either.
        if (!std::feof(r.file) && errno != 0) r.err = errno;
        return false;
    }
    std::size_t len = std::size_t(n);
    if (len > 0 && r.buf[len - 1] == '\n') --len;
    if (len > 0 && r.buf[len - 1] == '\r') --len;
    r.len = len;
    r.pos = 0;
    r.online = true;
    ++r.lineno;
    return true;
}

bool fferror(const ffreader& r) { return r.err != 0 || (r.file && std::ferror(r.file)); }

std::string fferrtext(const ffreader& r)
{
    if (r.err == notregular) return "not a regular file";
    if (r.err != 0) return std::strerror(r.err);
    return std::string();
}

ffstatus ffvalueinline(ffreader& r, std::string& value)
{
    if (!r.online) return ffstatus::endofline;
    const char* b = r.buf;
    std::size_t p = r.pos, n = r.len;
    while (p < n && ffsep(b[p])) ++p;
    if (p >= n) {
        r.pos = p;
        return ffstatus::endofline;
    }
    value.clear();
    if (b[p] == '\'' || b[p] == '"') {
        char q = b[p++];
        for (;;) {
            if (p >= n) {
                r.pos = p;
                return ffstatus::bad;
            }
            if (b[p] == q) {
                if (p + 1 < n && b[p + 1] == q) {
                    value += q;
                    p += 2;
                    continue;
                }
                ++p;
                break;
            }
            value += b[p++];
        }
    } else {
        std::size_t s = p;
        while (p < n && !ffsep(b[p])) ++p;
        value.assign(b + s, p - s);
    }
    r.pos = p;
    return ffstatus::ok;
}

bool ffvalue(ffreader& r, std::string& value, bool newread)
{
    if (newread) r.online = false;
    for (;;) {
        if (!r.online && !ffnextline(r)) return false;
        ffstatus st = ffvalueinline(r, value);
        if (st == ffstatus::ok) return true;
        if (st == ffstatus::bad) return false;
        r.online = false;
    }
}

bool parseint(const std::string& text, int64_t lo, int64_t hi, int64_t& out)
{
    std::size_t p = 0, n = text.size();
    bool neg = false;
    if (p < n && (text[p] == '+' || text[p] == '-')) neg = text[p++] == '-';
    if (p >= n) return false;
    int64_t v = 0;
    for (; p < n; ++p) {
        char c = text[p];
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
        if (v > int64_t(1) << 40) return false;
    }
    if (neg) v = -v;
    if (v < lo || v > hi) return false;
    out = v;
    return true;
}
