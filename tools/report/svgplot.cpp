#include "svgplot.hpp"
#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include "plotdata.hpp"
#include "repstate.hpp"

namespace {

// Page, scatter panel and the two histogram panels, in pixels.
constexpr double pagew = 1000, pageh = 660;
constexpr double sx0 = 80, sy0 = 70, sw = 500, sh = 500;
constexpr double hx0 = 670, hw = 290;
constexpr double ry0 = 70, rh = 200;     // histogram of r(1,2)
constexpr double fy0 = 390, fh = 180;    // histogram of F_Mean

// Expected (Delta9, r(1,2)) of outbred relatives.
struct expected {
    double d9, r;
    const char* name;
};
const expected expectedmarks[] = {{0.0, 0.25, "parent-offspring"},
                              {0.25, 0.25, "full sibs"},
                              {0.5, 0.125, "half sibs"},
                              {0.75, 0.0625, "first cousins"},
                              {1.0, 0.0, "unrelated"}};

// Counts in plain digits, large ones as powers of ten.
std::string counttext(double v)
{
    char b[32];
    if (v < 1e6)
        std::snprintf(b, sizeof b, "%.0f", v);
    else
        std::snprintf(b, sizeof b, "1e%.0f", std::log10(v));
    return b;
}

// A step of 1, 2 or 5 times a power of ten giving at most five ticks.
double nicestep(double top)
{
    double p = std::pow(10.0, std::floor(std::log10(std::max(top, 1.0))));
    for (double m : {0.1, 0.2, 0.5, 1.0, 2.0, 5.0, 10.0})
        if (m * p >= 1 && top / (m * p) <= 5)
            return m * p;
    return 10 * p;
}

// Colours of the relationship calls (index into ::relations).
const char* const callcolour[numcalls] = {"#000000", "#6a3d9a", "#e31a1c", "#ff7f00",
                                          "#33a02c", "#1f78b4", "#9e9e9e"};

// The kinship axis: whole tenths from 0.3 (the expected places all fit) up
// to 1, at least 0.02 above the largest kinship of the data.
double axistop()
{
    int t = int(std::ceil((rep.maxr + 0.02) * 10 - 1e-9));
    return std::clamp(t, 3, 10) / 10.0;
}

void diamond(std::string& s, double x, double y, double a)
{
    svgadd(s, "<path class=\"exp\" d=\"M%.1f %.1fL%.1f %.1fL%.1f %.1fL%.1f %.1fZ\"/>\n", x, y - a,
        x + a, y, x, y + a, x - a, y);
}

// Frame, ticks and labels of a panel whose x runs 0..xmax.
void xaxis(std::string& s, double x0, double y0, double w, double h, double xmax, double step,
           const char* label)
{
    svgadd(s, "<rect class=\"frame\" x=\"%.1f\" y=\"%.1f\" width=\"%.1f\" height=\"%.1f\"/>\n", x0,
        y0, w, h);
    int n = int(std::lround(xmax / step));
    for (int k = 0; k <= n; k++) {
        double x = x0 + w * k / n;
        svgadd(s, "<line class=\"tick\" x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\"/>\n", x,
            y0 + h, x, y0 + h + 5);
        svgadd(s, "<text x=\"%.1f\" y=\"%.1f\" text-anchor=\"middle\">%.*f</text>\n", x,
            y0 + h + 18, step < 0.1 ? 2 : 1, k * step);
    }
    svgadd(s, "<text class=\"label\" x=\"%.1f\" y=\"%.1f\" text-anchor=\"middle\">%s</text>\n",
        x0 + w / 2, y0 + h + 38, label);
}

void ylabel(std::string& s, double x, double y, const char* label)
{
    svgadd(s,
        "<text class=\"label\" x=\"%.1f\" y=\"%.1f\" text-anchor=\"middle\" "
        "transform=\"rotate(-90 %.1f %.1f)\">%s</text>\n",
        x, y, x, y, label);
}

void scatter(std::string& s, double rmax)
{
    auto px = [](double d9) { return sx0 + d9 * sw; };
    auto py = [rmax](double r) { return sy0 + sh - std::min(r, rmax) / rmax * sh; };
    s += "<g id=\"scatter\">\n";
    // grid lines
    double ystep = rmax > 0.5 ? 0.1 : 0.05;
    for (int k = 1; k < 10; k++)
        svgadd(s, "<line class=\"grid\" x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\"/>\n",
            px(k * 0.1), sy0, px(k * 0.1), sy0 + sh);
    for (int k = 1; k * ystep < rmax - 1e-9; k++)
        svgadd(s, "<line class=\"grid\" x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\"/>\n", sx0,
            py(k * ystep), sx0 + sw, py(k * ystep));
    xaxis(s, sx0, sy0, sw, sh, 1.0, 0.1, "Delta9 (share of loci with no gene identical by descent)");
    for (int k = 0; k * ystep < rmax + 1e-9; k++) {
        double y = py(k * ystep);
        svgadd(s, "<line class=\"tick\" x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\"/>\n",
            sx0 - 5, y, sx0, y);
        svgadd(s, "<text x=\"%.1f\" y=\"%.1f\" text-anchor=\"end\">%.2f</text>\n", sx0 - 8, y + 4,
            k * ystep);
    }
    ylabel(s, sx0 - 50, sy0 + sh / 2, "kinship r(1,2)");

    if (rep.binned) {
        // rows of the grid are 0.005 of r; merged two by two when r runs to 1
        int merge = rmax > 0.5 ? 2 : 1, rows = int(std::lround(rmax / (1.0 / gridy))) / merge;
        std::vector<uint64_t> cell(size_t(rows) * gridx, 0);
        for (int y = 0; y < rows * merge && y < gridy; y++)
            for (int x = 0; x < gridx; x++)
                cell[size_t(y / merge) * gridx + size_t(x)] += rep.grid[size_t(y) * gridx + size_t(x)];
        // pairs above the plotted range are drawn in the top row
        for (int y = rows * merge; y < gridy; y++)
            for (int x = 0; x < gridx; x++)
                cell[size_t(rows - 1) * gridx + size_t(x)] += rep.grid[size_t(y) * gridx + size_t(x)];
        uint64_t cmax = *std::max_element(cell.begin(), cell.end());
        double cw = sw / gridx, ch = sh / rows, lmax = std::log10(1.0 + double(cmax));
        s += "<g id=\"cells\">\n";
        for (int y = 0; y < rows; y++)
            for (int x = 0; x < gridx; x++) {
                uint64_t c = cell[size_t(y) * gridx + size_t(x)];
                if (c == 0)
                    continue;
                double t = lmax > 0 ? std::log10(1.0 + double(c)) / lmax : 1;
                // from light blue (few) to dark blue (many)
                int r = int(158 - t * (158 - 8)), g = int(202 - t * (202 - 48)),
                    b = int(225 - t * (225 - 107));
                svgadd(s,
                    "<rect class=\"cell\" x=\"%.2f\" y=\"%.2f\" width=\"%.2f\" height=\"%.2f\" "
                    "fill=\"#%02x%02x%02x\"/>\n",
                    sx0 + x * cw, sy0 + sh - (y + 1) * ch, cw, ch, r, g, b);
            }
        s += "</g>\n";
    }
    // the pairs one by one; with calls, the unrelated first and the closest
    // relatives last, on top
    double rad = rep.ptr.size() <= 2000 ? 3.0 : 1.8;
    s += "<g id=\"points\">\n";
    bool calls = rep.hasmle;
    for (int c = calls ? numcalls - 1 : 0; c >= 0; c--)
        for (size_t k = 0; k < rep.ptr.size(); k++)
            if (!calls || rep.ptcall[k] == c)
                svgadd(s, "<circle class=\"%s\" cx=\"%.1f\" cy=\"%.1f\" r=\"%.1f\"/>\n",
                    calls ? ("pt c" + std::to_string(c)).c_str() : "pt", px(rep.ptd9[k]),
                    py(rep.ptr[k]), rad);
    s += "</g>\n";

    s += "<g id=\"expected\">\n";
    for (const expected& e : expectedmarks) {
        double x = px(e.d9), y = py(e.r);
        diamond(s, x, y, 6);
        bool left = e.d9 > 0.9;
        svgadd(s, "<text class=\"explabel\" x=\"%.1f\" y=\"%.1f\" text-anchor=\"%s\">%s</text>\n",
            left ? x - 9 : x + 9, left ? y - 14 : y - 8, left ? "end" : "start", e.name);
    }
    s += "</g>\n";

    // legend: the points (or cells), the calls that occur, the expected places
    std::vector<int> shown;
    if (calls)
        for (int c = 1; c < numcalls; c++)
            if (rep.callcount[c] > 0 && !(rep.binned && c == 6))   // binned: in the cells
                shown.push_back(c);
    bool plain = !calls || rep.binned;
    double lx = sx0 + sw - 215, ly = sy0 + 10;
    double lh = 20 + 16 * (double(shown.size()) + (plain ? 2 : 1));
    s += "<g id=\"legend\">\n";
    svgadd(s, "<rect class=\"legend\" x=\"%.1f\" y=\"%.1f\" width=\"205\" height=\"%.0f\"/>\n",
        lx, ly, lh);
    double y = ly + 20;
    if (rep.binned)
        svgadd(s,
            "<rect x=\"%.1f\" y=\"%.1f\" width=\"8\" height=\"8\" fill=\"#3a6fa8\"/>\n"
            "<text x=\"%.1f\" y=\"%.1f\">pairs binned (darker: more)</text>\n",
            lx + 10, y - 8, lx + 26, y);
    else if (!calls)
        svgadd(s,
            "<circle class=\"legendpt\" cx=\"%.1f\" cy=\"%.1f\" r=\"3.5\"/>\n"
            "<text x=\"%.1f\" y=\"%.1f\">pair of individuals</text>\n",
            lx + 14, y - 4, lx + 26, y);
    if (plain)
        y += 16;
    for (int c : shown) {
        svgadd(s,
            "<circle class=\"legendpt c%d\" cx=\"%.1f\" cy=\"%.1f\" r=\"3.5\"/>\n"
            "<text x=\"%.1f\" y=\"%.1f\">called %s (%lld)</text>\n",
            c, lx + 14, y - 4, lx + 26, y, ::relations[c].name, (long long)rep.callcount[c]);
        y += 16;
    }
    diamond(s, lx + 14, y - 4, 5);
    svgadd(s, "<text x=\"%.1f\" y=\"%.1f\">expected for the relationship</text>\n", lx + 26, y);
    s += "</g>\n";
    s += "</g>\n";
}

void rhistogram(std::string& s, double rmax)
{
    int nb = int(std::lround(rmax * rbins));
    std::vector<int64_t> h(rep.rhist.begin(), rep.rhist.begin() + nb);
    for (int k = nb; k < rbins; k++)
        h[size_t(nb - 1)] += rep.rhist[size_t(k)];
    int64_t cmax = std::max<int64_t>(1, *std::max_element(h.begin(), h.end()));
    double lmax = std::log10(1.0 + double(cmax)), bw = hw / nb;
    auto py = [&](double c) { return ry0 + rh - std::log10(1.0 + c) / lmax * rh; };
    s += "<g id=\"rhist\">\n";
    svgadd(s, "<text class=\"panel\" x=\"%.1f\" y=\"%.1f\">kinship r(1,2) of %s pairs</text>\n",
        hx0, ry0 - 10, rep.haspairs ? "all" : "the streamed");
    for (int k = 0; k < nb; k++)
        if (h[size_t(k)] > 0)
            svgadd(s,
                "<rect class=\"bar\" x=\"%.2f\" y=\"%.2f\" width=\"%.2f\" height=\"%.2f\"/>\n",
                hx0 + k * bw, py(double(h[size_t(k)])), bw, ry0 + rh - py(double(h[size_t(k)])));
    xaxis(s, hx0, ry0, hw, rh, rmax, 0.1, "kinship r(1,2)");
    for (double c = 1; c <= double(cmax); c *= 10) {
        svgadd(s, "<line class=\"tick\" x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\"/>\n",
            hx0 - 5, py(c), hx0, py(c));
        svgadd(s, "<text x=\"%.1f\" y=\"%.1f\" text-anchor=\"end\">%s</text>\n", hx0 - 8,
            py(c) + 4, counttext(c).c_str());
    }
    ylabel(s, hx0 - 48, ry0 + rh / 2, "pairs (log scale)");
    s += "</g>\n";
}

void fhistogram(std::string& s)
{
    int64_t cmax = std::max<int64_t>(1, *std::max_element(rep.fhist.begin(), rep.fhist.end()));
    double step = nicestep(double(cmax)), top = std::ceil(double(cmax) / step) * step;
    double bw = hw / fbins;
    auto py = [&](double c) { return fy0 + fh - c / top * fh; };
    s += "<g id=\"fhist\">\n";
    svgadd(s, "<text class=\"panel\" x=\"%.1f\" y=\"%.1f\">F_Mean of all individuals</text>\n",
        hx0, fy0 - 10);
    for (int k = 0; k < fbins; k++)
        if (rep.fhist[size_t(k)] > 0)
            svgadd(s,
                "<rect class=\"bar\" x=\"%.2f\" y=\"%.2f\" width=\"%.2f\" height=\"%.2f\"/>\n",
                hx0 + k * bw, py(double(rep.fhist[size_t(k)])), bw,
                fy0 + fh - py(double(rep.fhist[size_t(k)])));
    xaxis(s, hx0, fy0, hw, fh, 1.0, 0.2, "F_Mean (inbreeding)");
    for (double c = 0; c <= top + 1e-9; c += step) {
        svgadd(s, "<line class=\"tick\" x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\"/>\n",
            hx0 - 5, py(c), hx0, py(c));
        svgadd(s, "<text x=\"%.1f\" y=\"%.1f\" text-anchor=\"end\">%s</text>\n", hx0 - 8,
            py(c) + 4, counttext(c).c_str());
    }
    ylabel(s, hx0 - 48, fy0 + fh / 2, "individuals");
    s += "</g>\n";
}

} // namespace

void svgadd(std::string& s, const char* fmt, ...)
{
    char b[512];
    va_list ap;
    va_start(ap, fmt);
    int n = std::vsnprintf(b, sizeof b, fmt, ap);
    va_end(ap);
    s.append(b, size_t(std::clamp(n, 0, int(sizeof b) - 1)));
}

std::string xmltext(const std::string& t)
{
    std::string s;
    for (char c : t) {
        switch (c) {
        case '&': s += "&amp;"; break;
        case '<': s += "&lt;"; break;
        case '>': s += "&gt;"; break;
        case '"': s += "&quot;"; break;
        default:
            // control characters are not allowed in XML 1.0
            if (static_cast<unsigned char>(c) >= 0x20 || c == '\t')
                s += c;
        }
    }
    return s;
}

namespace {

// The lines under the plot: how the pairs are drawn, and what is not.
std::vector<std::string> notes(double rmax)
{
    std::vector<std::string> v;
    v.push_back(rep.binned ? std::to_string(drawnpairs()) +
                                 " pairs, too many to draw one by one: binned in cells of 0.01 "
                                 "of Delta9 by " +
                                 (rmax > 0.5 ? "0.01" : "0.005") +
                                 " of kinship, the darker the more pairs (log scale)"
                           : std::to_string(drawnpairs()) + " pairs, one point each");
    if (!rep.haspairs)
        v.push_back("only the " + std::to_string(rep.kinwritten) + " of " +
                    std::to_string(rep.numpairs) + " pairs that KIN:" + rep.kinx +
                    " streamed, those of kinship " + rep.kinx + " or more, are drawn and counted");
    if (rep.binned && rep.hasmle)
        v.push_back("pairs called related drawn on top of the cells" +
                    (rep.relnotdrawn > 0 ? " (" + std::to_string(rep.relnotdrawn) +
                                               " of them past --max-points only in the cells)"
                                         : std::string()));
    if (rep.numnapairs > 0)
        v.push_back(std::to_string(rep.numnapairs) + " pairs without a common locus not drawn");
    if (rep.numnoindiv > 0)
        v.push_back(std::to_string(rep.numnoindiv) +
                    " individuals without a genotype not counted");
    return v;
}

} // namespace

std::string svgtext(const std::string& title)
{
    double rmax = axistop();
    std::vector<std::string> note = notes(rmax);
    double height = pageh + 16 * double(note.size() - 1);
    std::string s;
    s.reserve(rep.binned ? size_t(4) << 20 : size_t(rep.ptr.size()) * 60 + 20000);
    svgadd(s,
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%.0f\" height=\"%.0f\" "
        "viewBox=\"0 0 %.0f %.0f\">\n",
        pagew, height, pagew, height);
    s += "<style>\n"
         "text{font-family:DejaVu Sans,Arial,sans-serif;font-size:12px;fill:#222}\n"
         ".title{font-size:17px;font-weight:bold}.panel{font-size:13px;font-weight:bold}\n"
         ".label{font-size:13px}.note{font-size:12px;fill:#444}\n"
         ".frame{fill:none;stroke:#444;stroke-width:1}.tick{stroke:#444;stroke-width:1}\n"
         ".grid{stroke:#e3e3e3;stroke-width:1}\n"
         ".pt,.legendpt{fill:#1f5fa8;fill-opacity:0.55;stroke:none}\n";
    for (int c = 1; c < numcalls && rep.hasmle; c++)
        svgadd(s, ".c%d{fill:%s;fill-opacity:%s}\n", c, callcolour[c], c == 6 ? "0.45" : "0.85");
    s += ".exp{fill:#fff;fill-opacity:0.6;stroke:#d62728;stroke-width:2}\n"
         ".explabel{fill:#b01c1c;font-size:12px;font-weight:bold;paint-order:stroke;stroke:#fff;stroke-width:3px;stroke-linejoin:round}\n"
         ".bar{fill:#4a7fb8;stroke:#fff;stroke-width:0.3}\n"
         ".legend{fill:#fff;fill-opacity:0.85;stroke:#999}\n"
         "</style>\n"
         "<rect width=\"100%\" height=\"100%\" fill=\"#fff\"/>\n";
    svgadd(s, "<text class=\"title\" x=\"%.1f\" y=\"32\">Relationships in ", sx0);
    s += xmltext(title);
    if (rep.haspairs)
        svgadd(s, ": %lld individuals, %lld pairs</text>\n", (long long)rep.numindiv,
            (long long)rep.numpairs);
    else
        svgadd(s, ": %lld individuals, %lld of %lld pairs (KIN:%s)</text>\n",
            (long long)rep.numindiv, (long long)rep.kinwritten, (long long)rep.numpairs,
            xmltext(rep.kinx).c_str());
    scatter(s, rmax);
    rhistogram(s, rmax);
    fhistogram(s);
    for (size_t k = 0; k < note.size(); k++)
        svgadd(s, "<text class=\"note\" x=\"%.1f\" y=\"%.1f\">%s</text>\n", sx0,
            sy0 + sh + 62 + 16 * double(k), xmltext(note[k]).c_str());
    s += "</svg>\n";
    return s;
}
