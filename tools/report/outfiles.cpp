#include "outfiles.hpp"
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>
#include "repstate.hpp"

FILE* outopen(const std::string& name)
{
    std::string t = name + ".XXXXXX";
    int fd = mkstemp(t.data());
    if (fd < 0)
        repstop("cannot write " + name + ": " + std::strerror(errno));
    rep.tmpnames.push_back(t);
    rep.finalnames.push_back(name);
    fchmod(fd, 0644);
    FILE* f = fdopen(fd, "wb");
    if (!f) {
        int e = errno;
        close(fd);
        repstop("cannot write " + name + ": " + std::strerror(e));
    }
    std::setvbuf(f, nullptr, _IOFBF, 1 << 20);
    rep.openfiles.push_back(f);
    return f;
}

void outclose(FILE* f, const std::string& name)
{
    rep.openfiles.erase(std::remove(rep.openfiles.begin(), rep.openfiles.end(), f),
                        rep.openfiles.end());
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

void outcommit()
{
    for (size_t k = 0; k < rep.tmpnames.size(); k++)
        if (std::rename(rep.tmpnames[k].c_str(), rep.finalnames[k].c_str()) != 0)
            repstop("cannot rename " + rep.tmpnames[k] + " to " + rep.finalnames[k] + ": " +
                    std::strerror(errno));
    rep.tmpnames.clear();
    rep.finalnames.clear();
}

void outdiscard()
{
    for (FILE* f : rep.openfiles)
        std::fclose(f);
    rep.openfiles.clear();
    for (const std::string& t : rep.tmpnames)
        std::remove(t.c_str());
    rep.tmpnames.clear();
    rep.finalnames.clear();
}
