#include "run/textfile.hpp"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include "run/stop.hpp"

static std::string reason() { return errno ? std::string(" (") + std::strerror(errno) + ")" : std::string(); }

void textopen(textout& out, const std::string& name, bool append, const std::string& routine)
{
    out.name = name;
    out.routine = routine;
    // O_NONBLOCK: a named pipe that nobody reads fails the open at once
    // (ENXIO) instead of blocking the run; the flag is cleared for writing.
    errno = 0;
    int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_NONBLOCK | O_CLOEXEC | (append ? O_APPEND : O_TRUNC), 0666);
    if (fd < 0) {
        std::string why = errno == ENXIO ? std::string(" (a named pipe that nobody reads)") : reason();
        stoponerror("Cannot open file " + name + " for writing" + why + "!", routine);
    }
    int flags = ::fcntl(fd, F_GETFL);
    if (flags != -1) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    textattach(out, fd, name, routine);
}

void textattach(textout& out, int fd, const std::string& name, const std::string& routine)
{
    out.name = name;
    out.routine = routine;
    errno = 0;
    out.file = ::fdopen(fd, "wb");
    if (!out.file) {
        std::string why = reason();
        ::close(fd);
        stoponerror("Cannot open file " + name + " for writing" + why + "!", routine);
    }
    std::setvbuf(out.file, nullptr, _IOFBF, 1 << 20);
}

void textwrite(textout& out, const std::string& text)
{
    errno = 0;
    if (std::fwrite(text.data(), 1, text.size(), out.file) != text.size()) {
        std::string why = reason();
        std::fclose(out.file);
        out.file = nullptr;
        stoponerror("Error writing file " + out.name + why + "!", out.routine);
    }
}

void textclose(textout& out)
{
    if (!out.file) return;
    errno = 0;
    bool bad = std::fflush(out.file) != 0 || std::ferror(out.file);
    std::string why = reason();
    bad = (std::fclose(out.file) != 0) || bad;
    out.file = nullptr;
    if (bad) stoponerror("Error writing file " + out.name + why + "!", out.routine);
}
