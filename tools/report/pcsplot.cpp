#include "pcsplot.hpp"
#include <algorithm>
#include <cmath>
#include <numeric>
#include <vector>
#include "repstate.hpp"
#include "svgplot.hpp"

const char* const pcsmark =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?><!-- kinex-report: ancestry components -->";

namespace {

// Page and scatter panel in pixels; the legend stands right of the panel.
constexpr double pagew = 900, pageh = 660;
constexpr double ox = 80, oy = 70, w = 500, h = 500, lx = 610;
constexpr int numcolours = 12;
const char* const colours[numcolours] = {"#1f77b4", "#ff7f0e", "#2ca02c", "#d62728",
                                         "#9467bd", "#8c564b", "#e377c2", "#7f7f7f",
                                         "#bcbd22", "#17becf", "#393b79", "#b15928"};

// An axis: its range with a margin, and ticks at a step of 1, 2 or 5
// times a power of ten.
struct axis {
    double lo = 0, hi = 1, step = 1;
};

axis axisof(double lo, double hi)
{
    axis a;
    double pad = hi > lo ? (hi - lo) * 0.05 : std::max(std::fabs(lo) * 0.1, 0.001);
    a.lo = lo - pad;
    a.hi = hi + pad;
    double raw = (a.hi - a.lo) / 7, p = std::pow(10.0, std::floor(std::log10(raw)));
    a.step = 10 * p;
    for (double m : {1.0, 2.0, 5.0})
        if (m * p >= raw) {
            a.step = m * p;
            break;
        }
    return a;
}

// A tick's text: as many decimals as the step needs, no "-0".
std::string ticktext(double v, double step)
{
    int dec = std::max(0, int(-std::floor(std::log10(step) + 1e-9)));
    if (std::fabs(v) < step * 1e-6)
        v = 0;
    char b[40];
    std::snprintf(b, sizeof b, "%.*f", dec, v);
    return b;
}

std::string pclabel(int c)
{
    char b[64];
    std::snprintf(b, sizeof b, "PC%d (%.2f%%)", c, rep.pcvar[size_t(c)] * 100);
    return b;
}

// The points and groups of the plot.
struct pcsplot {
    bool one = false, pop = false;   // one component only; population labels
    std::vector<int64_t> who;        // the individuals with components
    std::vector<double> xs, ys;      // their places, by individual
    std::vector<std::string> names;  // the groups
    std::vector<int64_t> count;      // individuals per group
    axis ax, ay;
    double px(double v) const { return ox + (v - ax.lo) / (ax.hi - ax.lo) * w; }
    double py(double v) const { return oy + h - (v - ay.lo) / (ay.hi - ay.lo) * h; }
    // the group of individual i: its population label, or 0 for the
    // unrelated set and 1 for the others
    int group(int64_t i) const { return pop ? rep.popof[size_t(i)] : rep.unrel[size_t(i)] ? 0 : 1; }
};

// x and y of the individuals with components; with one component x is the
// rank of PC1 (1 the lowest); and the axes around them.
void placepoints(pcsplot& p)
{
    const int64_t n = rep.numindiv;
    for (int64_t i = 1; i <= n; i++)
        if (!rep.pcna[size_t(i)])
            p.who.push_back(i);
    p.xs.assign(size_t(n) + 1, 0.0);
    p.ys.assign(size_t(n) + 1, 0.0);
    if (p.one) {
        std::vector<int64_t> order = p.who;
        std::stable_sort(order.begin(), order.end(),
                         [](int64_t a, int64_t b) { return rep.pc1[size_t(a)] < rep.pc1[size_t(b)]; });
        for (size_t r = 0; r < order.size(); r++) {
            p.xs[size_t(order[r])] = double(r + 1);
            p.ys[size_t(order[r])] = rep.pc1[size_t(order[r])];
        }
    } else {
        for (int64_t i : p.who) {
            p.xs[size_t(i)] = rep.pc1[size_t(i)];
            p.ys[size_t(i)] = rep.pc2[size_t(i)];
        }
    }
    double xlo = 0, xhi = 1, ylo = 0, yhi = 1;
    if (!p.who.empty()) {
        const std::vector<double>& xs = p.xs;
        const std::vector<double>& ys = p.ys;
        auto [xa, xb] = std::minmax_element(p.who.begin(), p.who.end(), [&](int64_t a, int64_t b) {
            return xs[size_t(a)] < xs[size_t(b)];
        });
        auto [ya, yb] = std::minmax_element(p.who.begin(), p.who.end(), [&](int64_t a, int64_t b) {
            return ys[size_t(a)] < ys[size_t(b)];
        });
        xlo = xs[size_t(*xa)], xhi = xs[size_t(*xb)], ylo = ys[size_t(*ya)], yhi = ys[size_t(*yb)];
    }
    p.ax = axisof(xlo, xhi);
    p.ay = axisof(ylo, yhi);
}

// The lines under the panel: what is drawn, how it is coloured, what is not.
std::vector<std::string> plotnotes(const pcsplot& p)
{
    std::vector<std::string> notes;
    notes.push_back(std::to_string(p.who.size()) + " individuals, one point each: " +
                    (p.one ? "PC1 of " + rep.pcsname + " (the only component) against its rank"
                           : "PC1 and PC2 of the " + std::to_string(rep.numpcs) +
                                 " components of " + rep.pcsname));
    if (!p.pop)
        notes.push_back("the components were found on the unrelated set; the other individuals "
                        "are projected onto them");
    else
        notes.push_back("coloured by the population labels of " + rep.popname +
                        (p.names.size() > size_t(numcolours)
                             ? ": " + std::to_string(p.names.size()) + " labels and " +
                                   std::to_string(numcolours) + " colours, so from label " +
                                   std::to_string(numcolours + 1) +
                                   " on labels share colours (in the legend's order)"
                             : std::string()));
    if (rep.numpcna > 0)
        notes.push_back(std::to_string(rep.numpcna) + " individuals without components (NA) not drawn");
    return notes;
}

void putstyle(std::string& s, const pcsplot& p)
{
    s += "<style>\n"
         "text{font-family:DejaVu Sans,Arial,sans-serif;font-size:12px;fill:#222}\n"
         ".title{font-size:17px;font-weight:bold}.label{font-size:13px}"
         ".note{font-size:12px;fill:#444}\n"
         ".frame{fill:none;stroke:#444;stroke-width:1}.tick{stroke:#444;stroke-width:1}\n"
         ".grid{stroke:#e3e3e3;stroke-width:1}.zero{stroke:#bbb;stroke-width:1}\n"
         ".pt,.legendpt{fill-opacity:0.75;stroke:none}\n"
         ".legend{fill:#fff;stroke:#999}\n";
    for (size_t g = 0; g < p.names.size() && g < size_t(numcolours); g++)
        svgadd(s, ".g%zu{fill:%s}\n", g, colours[g]);
    s += "</style>\n<rect width=\"100%\" height=\"100%\" fill=\"#fff\"/>\n";
}

// Frame, grid, ticks, zero lines and the axes' labels.
void putaxes(std::string& s, const pcsplot& p)
{
    const axis& ax = p.ax;
    const axis& ay = p.ay;
    s += "<g id=\"axes\">\n";
    for (double v = std::ceil(ax.lo / ax.step) * ax.step; v <= ax.hi; v += ax.step) {
        svgadd(s, "<line class=\"grid\" x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\"/>\n",
               p.px(v), oy, p.px(v), oy + h);
        svgadd(s, "<line class=\"tick\" x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\"/>\n",
               p.px(v), oy + h, p.px(v), oy + h + 5);
        svgadd(s, "<text x=\"%.1f\" y=\"%.1f\" text-anchor=\"middle\">%s</text>\n", p.px(v),
               oy + h + 18, ticktext(v, ax.step).c_str());
    }
    for (double v = std::ceil(ay.lo / ay.step) * ay.step; v <= ay.hi; v += ay.step) {
        svgadd(s, "<line class=\"grid\" x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\"/>\n",
               ox, p.py(v), ox + w, p.py(v));
        svgadd(s, "<line class=\"tick\" x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\"/>\n",
               ox - 5, p.py(v), ox, p.py(v));
        svgadd(s, "<text x=\"%.1f\" y=\"%.1f\" text-anchor=\"end\">%s</text>\n", ox - 8,
               p.py(v) + 4, ticktext(v, ay.step).c_str());
    }
    // the zero lines of the components
    if (!p.one && ax.lo < 0 && ax.hi > 0)
        svgadd(s, "<line class=\"zero\" x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\"/>\n",
               p.px(0), oy, p.px(0), oy + h);
    if (ay.lo < 0 && ay.hi > 0)
        svgadd(s, "<line class=\"zero\" x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\"/>\n",
               ox, p.py(0), ox + w, p.py(0));
    svgadd(s, "<rect class=\"frame\" x=\"%.1f\" y=\"%.1f\" width=\"%.1f\" height=\"%.1f\"/>\n",
           ox, oy, w, h);
    svgadd(s, "<text class=\"label\" x=\"%.1f\" y=\"%.1f\" text-anchor=\"middle\">%s</text>\n",
           ox + w / 2, oy + h + 38,
           p.one ? "rank of the individual by PC1 (1 the lowest)" : pclabel(1).c_str());
    const std::string yl = pclabel(p.one ? 1 : 2);
    svgadd(s,
           "<text class=\"label\" x=\"%.1f\" y=\"%.1f\" text-anchor=\"middle\" "
           "transform=\"rotate(-90 %.1f %.1f)\">%s</text>\n",
           ox - 55, oy + h / 2, ox - 55, oy + h / 2, yl.c_str());
    s += "</g>\n";
}

// The individuals in file order, each with its name as a tooltip.
void putpoints(std::string& s, const pcsplot& p)
{
    const double rad = p.who.size() <= 2000 ? 3.5 : 2.0;
    s += "<g id=\"points\">\n";
    for (int64_t i : p.who) {
        int g = p.group(i);
        std::string name = rep.cols[size_t(i)];
        std::replace(name.begin(), name.end(), '\t', ' ');
        svgadd(s, "<circle class=\"pt g%d\" cx=\"%.2f\" cy=\"%.2f\" r=\"%.1f\"><title>", g % numcolours,
               p.px(p.xs[size_t(i)]), p.py(p.ys[size_t(i)]), rad);
        s += xmltext(name + " (" + p.names[size_t(g)] + ")") + "</title></circle>\n";
    }
    s += "</g>\n";
}

// The legend: every group with its count.
void putlegend(std::string& s, const pcsplot& p, double legendh)
{
    s += "<g id=\"legend\">\n";
    svgadd(s, "<rect class=\"legend\" x=\"%.1f\" y=\"%.1f\" width=\"%.0f\" height=\"%.0f\"/>\n",
           lx, oy, pagew - lx - 10, legendh);
    svgadd(s, "<text class=\"label\" x=\"%.1f\" y=\"%.1f\">%s</text>\n", lx + 10, oy + 20,
           p.pop ? "population label (individuals)" : "individuals (count)");
    for (size_t g = 0; g < p.names.size(); g++) {
        double y = oy + 40 + 16 * double(g);
        svgadd(s, "<circle class=\"legendpt g%zu\" cx=\"%.1f\" cy=\"%.1f\" r=\"4\"/>\n",
               g % numcolours, lx + 14, y - 4);
        svgadd(s, "<text x=\"%.1f\" y=\"%.1f\">", lx + 26, y);
        s += xmltext(p.names[g]) + " (" + std::to_string(p.count[g]) + ")</text>\n";
    }
    s += "</g>\n";
}

} // namespace

std::string pcssvg(const std::string& title)
{
    const int64_t n = rep.numindiv;
    pcsplot p;
    p.one = rep.numpcs == 1;
    p.pop = rep.haspop;
    placepoints(p);
    p.names = p.pop ? rep.popnames
                    : std::vector<std::string>{"unrelated set", "projected onto the components"};
    p.count.assign(p.names.size(), 0);
    for (int64_t i = 1; i <= n; i++)
        p.count[size_t(p.group(i))]++;
    const std::vector<std::string> notes = plotnotes(p);
    const double legendh = 32 + 16 * double(p.names.size());
    const double height =
        std::max(pageh + 16 * double(notes.size() - 1), oy + legendh + 30);

    std::string s = pcsmark;
    svgadd(s,
           "\n<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%.0f\" height=\"%.0f\" "
           "viewBox=\"0 0 %.0f %.0f\">\n",
           pagew, height, pagew, height);
    putstyle(s, p);
    svgadd(s, "<text class=\"title\" x=\"%.1f\" y=\"32\">Ancestry components of ", ox);
    s += xmltext(title);
    svgadd(s, ": %lld individuals</text>\n", (long long)n);
    putaxes(s, p);
    putpoints(s, p);
    putlegend(s, p, legendh);
    for (size_t k = 0; k < notes.size(); k++) {
        svgadd(s, "<text class=\"note\" x=\"%.1f\" y=\"%.1f\">", ox, oy + h + 62 + 16 * double(k));
        s += xmltext(notes[k]) + "</text>\n";
    }
    s += "</svg>\n";
    return s;
}
