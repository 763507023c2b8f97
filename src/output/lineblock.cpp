#include "output/lineblock.hpp"

#include <new>

#include "run/alloc.hpp"

void blockopen(lineblock& lb, textout& out, int slots, std::size_t width)
{
    lb.out = &out;
    lb.slots = slots;
    lb.count = 0;
    lb.mark = 0;
    allocarray(lb.ends, std::size_t(slots) + 1, std::size_t(0), allocfailmessage("a line block"), "Output");
    try {
        lb.buf.clear();
        lb.buf.reserve(std::size_t(slots) * (width + 2) + 1);
    } catch (const std::bad_alloc&) {
        stoponerror(allocfailmessage("a line block"), "Output");
    } catch (const std::length_error&) {
        stoponerror(allocfailmessage("a line block"), "Output");
    }
}

std::string& blockline(lineblock& lb)
{
    if (lb.count == lb.slots) {
        lb.buf += '\n';
        textwrite(*lb.out, lb.buf);
        lb.buf.clear();
        lb.count = 0;
    }
    if (lb.count > 0) lb.buf += "\r\n";
    lb.mark = lb.buf.size();
    return lb.buf;
}

void blockend(lineblock& lb)
{
    std::size_t end = lb.buf.size();
    while (end > lb.mark && lb.buf[end - 1] == ' ') --end;
    lb.buf.resize(end);
    ++lb.count;
    lb.ends[std::size_t(lb.count)] = end;
}

void blockadd(lineblock& lb, const std::string& line)
{
    blockline(lb).append(line);
    blockend(lb);
}

void blockflush(lineblock& lb)
{
    if (lb.count == 0) return;
    std::string lines;
    lines.reserve(lb.buf.size() + 1);
    std::size_t start = 0;
    for (int c = 1; c <= lb.count; ++c) {
        std::size_t end = lb.ends[std::size_t(c)];
        lines.append(lb.buf, start, end - start);
        lines += '\n';
        start = end + 2;  // past the CR LF that joined the next line
    }
    textwrite(*lb.out, lines);
    lb.buf.clear();
    lb.count = 0;
}
