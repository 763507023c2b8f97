#include "linereader.hpp"
#include <algorithm>
#include <cerrno>
#include <cstring>
#include "repstate.hpp"

namespace {

void fill()
{
    rep.bufpos = 0;
    rep.buflen = std::fread(rep.buf.data(), 1, rep.buf.size(), rep.in);
    if (rep.buflen < rep.buf.size()) {
        if (std::ferror(rep.in))
            repstop("error reading " + rep.infile + ": " + std::strerror(errno));
        rep.ineof = rep.buflen == 0;
    }
}
} // namespace

void lineopen()
{
    rep.in = std::fopen(rep.infile.c_str(), "rb");
    if (!rep.in)
        repstop("cannot read " + rep.infile + ": " + std::strerror(errno));
    rep.buf.resize(std::max<size_t>(1, rep.bufsize));
    rep.bufpos = rep.buflen = 0;
    rep.ineof = false;
    rep.lineno = 0;
}

bool nextline(std::string_view& l)
{
    rep.line.clear();
    bool carry = false;   // part of the line is in rep.line
    while (true) {
        if (rep.bufpos >= rep.buflen) {
            if (rep.ineof)
                break;
            fill();
            if (rep.ineof)
                break;
        }
        const char* b = rep.buf.data() + rep.bufpos;
        size_t left = rep.buflen - rep.bufpos;
        const char* nl = static_cast<const char*>(std::memchr(b, '\n', left));
        if (!nl) {
            rep.line.append(b, left);
            carry = true;
            rep.bufpos = rep.buflen;
            continue;
        }
        size_t len = size_t(nl - b);
        rep.bufpos += len + 1;
        if (carry) {
            rep.line.append(b, len);
            l = rep.line;
        } else {
            l = std::string_view(b, len);
        }
        if (!l.empty() && l.back() == '\r')
            l.remove_suffix(1);
        rep.lineno++;
        return true;
    }
    if (!carry)
        return false;
    // a last line without LF
    l = rep.line;
    if (!l.empty() && l.back() == '\r')
        l.remove_suffix(1);
    rep.lineno++;
    return true;
}

void lineclose()
{
    if (rep.in)
        std::fclose(rep.in);
    rep.in = nullptr;
}
