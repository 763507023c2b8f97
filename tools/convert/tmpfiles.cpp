#include "tmpfiles.hpp"
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>
#include "convstate.hpp"
#include "infiles.hpp"
#include "sigtmp.hpp"

FILE* tmpopen(const std::string& name)
{
    // A link to a regular file is followed (the link stays); anything else
    // that is not a regular file is refused: kinex reads regular files only,
    // and a device must not become a file by a rename.
    std::string target = name;
    struct stat lst {}, st {};
    bool link = ::lstat(name.c_str(), &lst) == 0 && S_ISLNK(lst.st_mode);
    mode_t mode = 0644;
    if (::stat(name.c_str(), &st) == 0) {
        if (!S_ISREG(st.st_mode))
            convstop("cannot write " + name + ": it is " + kindof(name) +
                     ", and kinex reads regular files only; choose another --out");
        mode = st.st_mode & 0777;
        if (link) {
            std::error_code ec;
            target = std::filesystem::canonical(name, ec).string();
            if (ec)
                convstop("cannot write " + name + ": " + ec.message());
        }
    } else if (link) {
        convstop("cannot write " + name + ": it is a symbolic link to a missing file");
    }
    std::string t = target + ".XXXXXX";
    int fd = mkstemp(t.data());
    if (fd < 0)
        convstop("cannot write " + name + ": " + std::strerror(errno));
    cv.tmpnames.push_back(t);
    cv.finalnames.push_back(target);
    sigkeep(t);
    fchmod(fd, mode);
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
    // the earlier maps go first: when one cannot be removed, nothing has
    // changed yet
    for (const std::string& m : cv.stalenames)
        if (::unlink(m.c_str()) != 0 && errno != ENOENT)
            convstop("cannot remove " + m + ", the " +
                     (m == cv.out + ".log" ? "log" : "identifier map") + " of an earlier conversion, "
                     "which would go with the new files: " + std::strerror(errno) +
                     "; nothing was written");
    for (size_t k = 0; k < cv.tmpnames.size(); k++) {
        if (std::rename(cv.tmpnames[k].c_str(), cv.finalnames[k].c_str()) != 0)
            convstop("cannot rename " + cv.tmpnames[k] + " to " + cv.finalnames[k] + ": " +
                     std::strerror(errno));
        sigdrop(cv.tmpnames[k]);
        cv.tmpnames[k].clear();
    }
    cv.tmpnames.clear();
    cv.finalnames.clear();
}

void tmpdiscard()
{
    if (cv.openfile)
        std::fclose(cv.openfile);
    cv.openfile = nullptr;
    for (const std::string& t : cv.tmpnames)
        if (!t.empty()) {
            std::remove(t.c_str());
            sigdrop(t);
        }
    cv.tmpnames.clear();
    cv.finalnames.clear();
}

void tmpsignals()
{
    sigsetup();
}
