#include "tmpfiles.hpp"
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>
#include "convstate.hpp"

FILE* tmpopen(const std::string& name)
{
    std::string t = name + ".XXXXXX";
    int fd = mkstemp(t.data());
    if (fd < 0)
        convstop("cannot write " + name + ": " + std::strerror(errno));
    cv.tmpnames.push_back(t);
    cv.finalnames.push_back(name);
    fchmod(fd, 0644);
    FILE* f = fdopen(fd, "wb");
    if (!f) {
        int e = errno;
        close(fd);
        convstop("cannot write " + name + ": " + std::strerror(e));
    }
    std::setvbuf(f, nullptr, _IOFBF, 1 << 20);
    cv.openfile = f;
    return f;
}

void tmpclose(FILE* f, const std::string& name)
{
    bool bad = std::ferror(f) != 0;
    int e = errno;
    cv.openfile = nullptr;
    if (std::fclose(f) != 0 && !bad) {
        bad = true;
        e = errno;
    }
    if (bad)
        convstop("error writing " + name + ": " + std::strerror(e));
}

void putbytes(FILE* f, const char* p, size_t n, const std::string& name)
{
    if (n > 0 && std::fwrite(p, 1, n, f) != n)
        convstop("error writing " + name + ": " + std::strerror(errno));
}

void tmpcommit()
{
    for (size_t k = 0; k < cv.tmpnames.size(); k++)
        if (std::rename(cv.tmpnames[k].c_str(), cv.finalnames[k].c_str()) != 0)
            convstop("cannot rename " + cv.tmpnames[k] + " to " + cv.finalnames[k] + ": " +
                     std::strerror(errno));
    cv.tmpnames.clear();
    cv.finalnames.clear();
}

void tmpdiscard()
{
    if (cv.openfile)
        std::fclose(cv.openfile);
    cv.openfile = nullptr;
    for (const std::string& t : cv.tmpnames)
        std::remove(t.c_str());
    cv.tmpnames.clear();
    cv.finalnames.clear();
}
