#include "families.hpp"

namespace {

struct mtpl {
    const char* role;
    int fa, mo;     // template indices of the parents, -1 for founders
    int sex;
    bool out;       // sampled
};

struct ftpl {
    const char* name;
    const char* what;
    bool inbred;
    std::vector<mtpl> m;
    std::vector<const char*> rel;   // labels of the sampled pairs, in file order
};

// Roles: fa/mo father and mother, ch child, c1/c2 children, gf/gm
// grandparents, cp common parent, cg common grandparent, m1/m2 mates,
// p1/p2 and pa parents, s1/s2 and sp spouses, ua uncle or aunt, ne nephew
// or niece, g1/g2 grandmothers, i a lone founder.
const std::vector<ftpl>& tpls()
{
    static const std::vector<ftpl> t = {
        {"un", "one unrelated founder", false,
         {{"i", -1, -1, 1, true}},
         {}},
        {"po", "father, mother and their child", false,
         {{"fa", -1, -1, 1, true}, {"mo", -1, -1, 2, true}, {"ch", 0, 1, 1, true}},
         {"UN", "PO", "PO"}},
        {"fs", "two full sibs", false,
         {{"fa", -1, -1, 1, false}, {"mo", -1, -1, 2, false},
          {"c1", 0, 1, 1, true}, {"c2", 0, 1, 2, true}},
         {"FS"}},
        {"hs", "two half sibs", false,
         {{"cp", -1, -1, 1, false}, {"m1", -1, -1, 2, false}, {"m2", -1, -1, 2, false},
          {"c1", 0, 1, 1, true}, {"c2", 0, 2, 2, true}},
         {"HS"}},
        {"fc", "two first cousins", false,
         {{"gf", -1, -1, 1, false}, {"gm", -1, -1, 2, false},
          {"p1", 0, 1, 1, false}, {"p2", 0, 1, 2, false},
          {"s1", -1, -1, 2, false}, {"s2", -1, -1, 1, false},
          {"c1", 2, 4, 1, true}, {"c2", 5, 3, 2, true}},
         {"FC"}},
        {"av", "uncle or aunt and nephew or niece", false,
         {{"gf", -1, -1, 1, false}, {"gm", -1, -1, 2, false},
          {"ua", 0, 1, 1, true}, {"pa", 0, 1, 2, false},
          {"sp", -1, -1, 1, false}, {"ne", 4, 3, 2, true}},
         {"AV"}},
        {"fsm", "full sibs and their child", true,
         {{"gf", -1, -1, 1, false}, {"gm", -1, -1, 2, false},
          {"fa", 0, 1, 1, true}, {"mo", 0, 1, 2, true}, {"ch", 2, 3, 1, true}},
         {"FS", "PO_FSM", "PO_FSM"}},
        {"hsm", "half sibs and their child", true,
         {{"cg", -1, -1, 1, false}, {"g1", -1, -1, 2, false}, {"g2", -1, -1, 2, false},
          {"fa", 0, 1, 1, true}, {"mo", 0, 2, 2, true}, {"ch", 3, 4, 2, true}},
         {"HS", "PO_HSM", "PO_HSM"}},
        {"ifs", "two full sibs whose parents are full sibs", true,
         {{"gf", -1, -1, 1, false}, {"gm", -1, -1, 2, false},
          {"fa", 0, 1, 1, false}, {"mo", 0, 1, 2, false},
          {"c1", 2, 3, 1, true}, {"c2", 2, 3, 2, true}},
         {"FS_FSM"}},
    };
    return t;
}

int digits(long long v)
{
    int d = 1;
    while (v >= 10) {
        v /= 10;
        d++;
    }
    return d;
}

// Kinship coefficients of all members of one family, founders unrelated
// and not inbred; phi[i*k+i] = (1 + F_i) / 2.
std::vector<double> kinships(const ftpl& f)
{
    size_t k = f.m.size();
    std::vector<double> phi(k * k, 0);
    for (size_t i = 0; i < k; i++) {
        const mtpl& x = f.m[i];
        for (size_t j = 0; j < i; j++) {
            double v = x.fa < 0 ? 0 : (phi[x.fa * k + j] + phi[x.mo * k + j]) / 2;
            phi[i * k + j] = phi[j * k + i] = v;
        }
        phi[i * k + i] = x.fa < 0 ? 0.5 : (1 + phi[x.fa * k + x.mo]) / 2;
    }
    return phi;
}

void addfamily(sample& s, int t, long long no, int width)
{
    const ftpl& f = tpls()[t];
    size_t k = f.m.size();
    int base = int(s.fa.size());
    std::string num = std::to_string(no);
    std::string famname = "f" + std::string(width > int(num.size()) ? width - num.size() : 0, '0') +
                          num + "_" + f.name;
    std::vector<double> phi = kinships(f);
    std::vector<int> sidx(k, -1);
    s.nfam = no;
    for (size_t i = 0; i < k; i++) {
        const mtpl& x = f.m[i];
        s.fa.push_back(x.fa < 0 ? -1 : base + x.fa);
        s.mo.push_back(x.mo < 0 ? -1 : base + x.mo);
        s.famof.push_back(int(no - 1));
        if (!x.out)
            continue;
        sidx[i] = int(s.who.size());
        s.who.push_back(base + int(i));
        s.id.push_back(famname + "_" + x.role);
        s.fam.push_back(famname);
        s.role.push_back(x.role);
        s.sex.push_back(x.sex);
        s.pat.push_back(x.fa < 0 ? -1 : sidx[x.fa]);
        s.mat.push_back(x.mo < 0 ? -1 : sidx[x.mo]);
        s.fexp.push_back(x.fa < 0 ? 0 : phi[x.fa * k + x.mo]);
    }
    size_t r = 0;
    for (size_t i = 0; i < k; i++)
        for (size_t j = i + 1; j < k; j++)
            if (sidx[i] >= 0 && sidx[j] >= 0) {
                const char* rel = r < f.rel.size() ? f.rel[r] : "?";
                r++;
                s.pairs.push_back({sidx[i], sidx[j], rel, phi[i * k + j]});
            }
}

} // namespace

int familytypes() { return int(tpls().size()); }
const char* familyname(int t) { return tpls()[t].name; }
const char* familywhat(int t) { return tpls()[t].what; }

int familysize(int t)
{
    int n = 0;
    for (const mtpl& x : tpls()[t].m)
        n += x.out;
    return n;
}

bool parsefamilies(const std::string& list, std::vector<int>& types, std::string& err)
{
    types.clear();
    size_t pos = 0;
    while (pos <= list.size()) {
        size_t end = list.find(',', pos);
        if (end == std::string::npos)
            end = list.size();
        std::string w = list.substr(pos, end - pos);
        pos = end + 1;
        bool found = false;
        for (int t = 0; t < familytypes(); t++) {
            const ftpl& f = tpls()[t];
            if (w == f.name || w == "all" || (w == "outbred" && !f.inbred) ||
                (w == "inbred" && f.inbred)) {
                types.push_back(t);
                found = true;
            }
        }
        if (!found) {
            err = "unknown family type '" + w + "' in --families";
            return false;
        }
    }
    return true;
}

void buildsample(long long n, const std::vector<int>& types, sample& s)
{
    s = sample();
    int width = digits(n) < 4 ? 4 : digits(n);
    long long left = n, no = 0;
    size_t next = 0;
    while (left > 0) {
        int t = 0;  // "un" when nothing else fits
        for (size_t k = 0; k < types.size(); k++) {
            int c = types[(next + k) % types.size()];
            if (familysize(c) <= left) {
                t = c;
                next = next + k + 1;
                break;
            }
        }
        addfamily(s, t, ++no, width);
        left -= familysize(t);
    }
}
