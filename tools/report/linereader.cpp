#include "linereader.hpp"
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include "fileid.hpp"

namespace {

void fill(textin& t)
{
    t.pos = 0;
    t.len = std::fread(t.buf.data(), 1, t.buf.size(), t.f);
    if (t.len < t.buf.size()) {
        if (std::ferror(t.f))
            repstop("error reading " + t.name + ": " + std::strerror(errno));
        t.eof = t.len == 0;
    }
}

} // namespace

void lineopen(textin& t, const std::string& name)
{
    lineclose(t);
    t.name = name;
    // O_NONBLOCK: opening a named pipe that has no writer returns at once.
    int fd = ::open(name.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        repstop("cannot read " + name + ": " + std::strerror(errno));
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        int e = errno;
        ::close(fd);
        repstop("cannot read " + name + ": " + std::strerror(e));
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        repstop("cannot read " + name + ": it is " + kindofmode(st.st_mode) +
                ", and only regular files are read");
    }
    int flags = ::fcntl(fd, F_GETFL);
    if (flags == -1 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == -1 ||
        !(t.f = ::fdopen(fd, "rb"))) {
        int e = errno;
        ::close(fd);
        repstop("cannot read " + name + ": " + std::strerror(e));
    }
    t.buf.resize(std::max<size_t>(1, rep.bufsize));
    t.pos = t.len = 0;
    t.eof = false;
    t.lineno = 0;
}

void lineopen()
{
    lineopen(rep.res, rep.infile);
}

bool nextline(textin& t, std::string_view& l)
{
    t.line.clear();
    bool carry = false;   // part of the line is in t.line
    while (true) {
        if (t.pos >= t.len) {
            if (t.eof)
                break;
            fill(t);
            if (t.eof)
                break;
        }
        const char* b = t.buf.data() + t.pos;
        size_t left = t.len - t.pos;
        const char* nl = static_cast<const char*>(std::memchr(b, '\n', left));
        if (!nl) {
            t.line.append(b, left);
            carry = true;
            t.pos = t.len;
            if (t.line.size() > maxline)
                repstop(t.name + " line " + std::to_string(t.lineno + 1) +
                        " runs on for more than " + std::to_string(maxline >> 20) +
                        " MiB without a line end: this is not a text file of KINEX");
            continue;
        }
        size_t len = size_t(nl - b);
        t.pos += len + 1;
        if (carry) {
            t.line.append(b, len);
            l = t.line;
        } else {
            l = std::string_view(b, len);
        }
        if (!l.empty() && l.back() == '\r')
            l.remove_suffix(1);
        t.lineno++;
        return true;
    }
    if (!carry)
        return false;
    // a last line without LF
    l = t.line;
    if (!l.empty() && l.back() == '\r')
        l.remove_suffix(1);
    t.lineno++;
    return true;
}

bool nextline(std::string_view& l)
{
    return nextline(rep.res, l);
}

void lineclose(textin& t)
{
    if (t.f)
        std::fclose(t.f);
    t.f = nullptr;
}

void lineclose()
{
    lineclose(rep.res);
}
