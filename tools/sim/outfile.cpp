#include "outfile.hpp"
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

// Temporary name and final name of every file opened and not yet
// committed or discarded.
std::vector<std::pair<std::string, std::string>> pending;

std::string tempname(const std::string& path)
{
    return path + ".part-" + std::to_string(long(getpid()));
}

} // namespace

FILE* outopen(const std::string& path, std::string& err)
{
    // A device or a pipe is written as it stands.
    struct stat st {};
    bool direct = stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode);
    std::string tmp = direct ? path : tempname(path);
    FILE* f = std::fopen(tmp.c_str(), direct ? "wb" : "wbx");
    if (!f) {
        err = "cannot write " + path + ": " + std::strerror(errno);
        return nullptr;
    }
    if (!direct)
        pending.emplace_back(tmp, path);
    std::setvbuf(f, nullptr, _IOFBF, 1 << 20);
    return f;
}

bool outclose(FILE* f, const std::string& path, std::string& err)
{
    bool bad = std::ferror(f) != 0;
    int e = errno;
    if (std::fclose(f) != 0 && !bad) {
        bad = true;
        e = errno;
    }
    if (bad)
        err = "error writing " + path + ": " + std::strerror(e);
    return !bad;
}

bool outcommit(std::string& err)
{
    while (!pending.empty()) {
        const std::string tmp = pending.front().first, path = pending.front().second;
        if (std::rename(tmp.c_str(), path.c_str()) != 0) {
            err = "cannot write " + path + ": " + std::strerror(errno);
            outdiscard();
            return false;
        }
        pending.erase(pending.begin());
    }
    return true;
}

void outdiscard()
{
    for (const auto& p : pending)
        std::remove(p.first.c_str());
    pending.clear();
}
