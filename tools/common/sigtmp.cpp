#include "sigtmp.hpp"
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace {

// The temporary names, where the signal handler can reach them.
constexpr int maxtmp = 16;
char* volatile sigtmp[maxtmp];

extern "C" void onsignal(int s)
{
    for (char* p : sigtmp)
        if (p)
            unlink(p);
    std::signal(s, SIG_DFL);
    std::raise(s);
}

} // namespace

void sigkeep(const std::string& name)
{
    for (auto& p : sigtmp)
        if (!p) {
            p = strdup(name.c_str());
            return;
        }
}

void sigdrop(const std::string& name)
{
    for (auto& p : sigtmp)
        if (p && name == p) {
            char* q = p;
            p = nullptr;
            std::free(q);
        }
}

void sigsetup()
{
    for (int s : {SIGINT, SIGTERM, SIGHUP, SIGQUIT})
        std::signal(s, onsignal);
    std::signal(SIGPIPE, SIG_IGN);
}
