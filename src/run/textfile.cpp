#include "run/textfile.hpp"

#include <cerrno>
#include <cstring>

#include "run/stop.hpp"

static std::string reason() { return errno ? std::string(" (") + std::strerror(errno) + ")" : std::string(); }

void textopen(textout& out, const std::string& name, bool append, const std::string& routine)
{
    out.name = name;
    out.routine = routine;
    errno = 0;
    out.file = std::fopen(name.c_str(), append ? "ab" : "wb");
    if (!out.file) stoponerror("Cannot open file " + name + " for writing" + reason() + "!", routine);
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
