#include "pairlines.hpp"
#include "idmap.hpp"
#include "numtext.hpp"
#include "outfiles.hpp"
#include "plotdata.hpp"
#include "repstate.hpp"

const char* degreeof(int k4)
{
    return k4 > 3540   ? "duplicate"
           : k4 >= 1770 ? "first-degree"
           : k4 >= 884  ? "second-degree"
           : k4 >= 442  ? "third-degree"
                        : "unrelated";
}

std::string pairhead()
{
    std::string s = colhead("id", "1") + '\t' + colhead("id", "2") +
                    "\td1\td2\td3\td4\td5\td6\td7\td8\td9\tr";
    // the streamed pairs of KIN: carry no IIS counts
    if (!rep.kinrun)
        s += "\tnIIS1\tnIIS2\tnIIS3\tnIIS4\tnIIS5\tnIIS6\tnIIS7\tnIIS8\tnIIS9";
    if (rep.hasmle)
        s += "\tnloci\tlnl\tlrt\tcall\tgap\titer\tconv";
    return s + '\n';
}

std::string kinhead()
{
    return colhead("ID", "1") + '\t' + colhead("ID", "2") +
           "\tNSNP\tKINSHIP\tD1\tD2\tD3\tD4\tD5\tD6\tD7\tD8\tD9\t" +
           (rep.hasmle ? "CALL" : "DEGREE") + '\n';
}

std::string relhead()
{
    std::string s = kinhead();
    s.pop_back();
    return s + (rep.hasmle ? "\tLRT\tGAP\n" : "\n");
}

void pairlines(const pairrow& p, std::string& pairs, std::string& kin, std::string& rel)
{
    bool na = p.nloci == 0;
    const std::string& a = rep.cols[size_t(p.j)];
    const std::string& b = rep.cols[size_t(p.k)];
    pairs += a;
    pairs += '\t';
    pairs += b;
    for (int t = 9; t < 19; t++) {
        pairs += '\t';
        pairs += na ? "NA" : p.t[t];
    }
    for (int t = 0; t < 9 && !rep.kinrun; t++) {
        pairs += '\t';
        pairs += p.t[t];
    }
    if (p.m)
        for (int f = 2; f < 9; f++) {
            pairs += '\t';
            pairs += p.m->f[f];
        }
    pairs += '\n';

    int k4 = na ? -1 : fourint(p.t[18]);
    bool inkin = !rep.minkinset || (!na && atleast(k4, rep.minkin));
    bool inrel = rep.related && (rep.relkinset ? !na && atleast(k4, rep.relkin)
                                               : p.m && p.m->call > 0 && p.m->call < 6);
    if (!inkin && !inrel)
        return;
    size_t at = kin.size();
    kin += a;
    kin += '\t';
    kin += b;
    kin += '\t';
    kin += std::to_string(p.nloci);
    kin += '\t';
    kin += na ? "NA" : p.t[18];
    for (int t = 9; t < 18; t++) {
        kin += '\t';
        kin += na ? "NA" : p.t[t];
    }
    kin += '\t';
    if (p.m) {
        kin += p.m->f[5];
        if (!na && !p.m->conv)
            kin += " (not converged)";
    } else
        kin += na ? "NA" : degreeof(k4);
    if (inrel) {
        rel.append(kin, at, std::string::npos);
        if (p.m) {
            rel += '\t';
            rel += p.m->f[4];
            rel += '\t';
            rel += p.m->f[6];
        }
        rel += '\n';
        rep.numrel++;
    }
    if (inkin) {
        kin += '\n';
        rep.numkin++;
    } else {
        kin.resize(at);
    }
}

void pairout(const pairrow& p, std::string_view r, std::string_view delta9, FILE* pairs, FILE* kin, FILE* rel,
             std::string& pbuf, std::string& kbuf, std::string& rbuf)
{
    if (p.m) {
        rep.callcount[p.m->call]++;
        if (p.nloci > 0 && !p.m->conv)
            rep.numunconv++;
    }
    pairlines(p, pbuf, kbuf, rbuf);
    outflush(pairs, pbuf, rep.pairsname, false);
    outflush(kin, kbuf, rep.kinname, false);
    outflush(rel, rbuf, rep.relname, false);
    if (p.nloci == 0)
        rep.numnapairs++;
    else
        addpair(fourvalue(r), fourvalue(delta9), p.m ? p.m->call : -1);
}
