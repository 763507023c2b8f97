#include "outfile.h"
#include <cerrno>
#include <cstring>

FILE* open_out(const std::string& path, std::string& err)
{
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        err = "cannot write " + path + ": " + std::strerror(errno);
        return nullptr;
    }
    std::setvbuf(f, nullptr, _IOFBF, 1 << 20);
    return f;
}

bool close_out(FILE* f, const std::string& path, std::string& err)
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
