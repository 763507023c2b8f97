#include "truth.hpp"
#include <cstdio>
#include "jacquard.hpp"
#include "outfile.hpp"

void truthinit(truth& t, const sample& s)
{
    t.st.assign(s.pairs.size() * 9, 0);
    t.az.assign(s.who.size(), 0);
    t.own.assign(s.who.size(), 0);
    t.loci = 0;
}

void truthadd(truth& t, const sample& s, const uint32_t* lab)
{
    for (size_t p = 0; p < s.pairs.size(); p++) {
        const uint32_t* x = lab + 2 * s.who[s.pairs[p].a];
        const uint32_t* y = lab + 2 * s.who[s.pairs[p].b];
        t.st[9 * p + jstate(x[0], x[1], y[0], y[1]) - 1]++;
    }
    for (size_t k = 0; k < s.who.size(); k++) {
        const uint32_t* x = lab + 2 * s.who[k];
        t.az[k] += x[0] == x[1];
    }
    t.loci++;
}

void truthorigin(truth& t, const sample& s, const uint32_t* lab, const uint8_t* org)
{
    for (size_t k = 0; k < s.who.size(); k++) {
        const uint32_t* x = lab + 2 * s.who[k];
        t.own[k] += org[x[0]] + org[x[1]];
    }
}

void truthdeltas(const truth& t, size_t p, double d[9])
{
    for (int i = 0; i < 9; i++)
        d[i] = t.loci ? double(t.st[9 * p + i]) / double(t.loci) : 0;
}

double truthf(const truth& t, size_t k)
{
    return t.loci ? double(t.az[k]) / double(t.loci) : 0;
}

double truthq(const truth& t, size_t k)
{
    return t.loci ? double(t.own[k]) / double(2 * t.loci) : 0;
}

bool writetruth(const std::string& prefix, const sample& s, const truth& t, const popset& p,
                std::string& err)
{
    char num[64];
    std::string path = prefix + ".truth.pairs.tsv";
    FILE* f = outopen(path, err);
    if (!f)
        return false;
    put(f, "# Only pairs within one family are listed. Different families share no"
           " ancestor, so every other pair is unrelated: realized Delta9 = 1, kinship 0.\n"
           "id1\tid2\trelation\td1\td2\td3\td4\td5\td6\td7\td8\td9\tkinship\tkinship_exp\n");
    for (size_t p = 0; p < s.pairs.size(); p++) {
        const relpair& q = s.pairs[p];
        double d[9];
        truthdeltas(t, p, d);
        std::string line = s.id[q.a] + "\t" + s.id[q.b] + "\t" + q.rel;
        for (double v : d) {
            std::snprintf(num, sizeof num, "\t%.6f", v);
            line += num;
        }
        std::snprintf(num, sizeof num, "\t%.6f\t%.6f\n", kinship(d), q.kexp);
        line += num;
        put(f, line);
    }
    if (!outclose(f, path, err))
        return false;

    path = prefix + ".truth.indiv.tsv";
    f = outopen(path, err);
    if (!f)
        return false;
    const bool pops = p.k > 1;
    put(f, pops ? "id\tfamily\trole\tF\tF_exp\tpop\tq\tq_exp\n"
                : "id\tfamily\trole\tF\tF_exp\n");
    for (size_t k = 0; k < s.who.size(); k++) {
        std::snprintf(num, sizeof num, "\t%.6f\t%.6f", truthf(t, k), s.fexp[k]);
        std::string line = s.id[k] + "\t" + s.fam[k] + "\t" + s.role[k] + num;
        if (pops) {
            int m = s.who[k];
            std::snprintf(num, sizeof num, "\t%.6f\t%.6f", truthq(t, k), p.qexp[m]);
            line += "\t" + popname(p, s.famof[m]) + num;
        }
        put(f, line + "\n");
    }
    return outclose(f, path, err);
}
