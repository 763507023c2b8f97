#include "samefiles.hpp"
#include <filesystem>
#include <initializer_list>
#include <string>
#include <sys/stat.h>
#include <vector>
#include "fileid.hpp"
#include "headline.hpp"
#include "pcsplot.hpp"
#include "repstate.hpp"

namespace {

struct named {
    const char* what;
    const std::string* name;
    fileid id;
};

// The outputs this run writes.
std::vector<named> outputs()
{
    std::vector<named> out{{"the kinship table", &rep.kinname, {}},
                           {"the individual table", &rep.indivname, {}},
                           {"the plot", &rep.svgname, {}}};
    if (rep.haspairs)
        out.insert(out.begin(), {"the pair table", &rep.pairsname, {}});
    if (rep.related)
        out.push_back({"the related-pairs table", &rep.relname, {}});
    if (rep.haspcs)
        out.push_back({"the components plot", &rep.pcssvgname, {}});
    for (named& x : out)
        x.id = idof(*x.name);
    return out;
}

// The folder kinex ran in: the results file's absolute name without the
// recorded relative one at its end; "" when they do not tell it.
std::string runfolder()
{
    namespace fs = std::filesystem;
    fs::path o = fs::path(rep.recout).lexically_normal();
    std::error_code ec;
    fs::path p = fs::absolute(rep.infile, ec).lexically_normal();
    if (rep.recout.empty() || o.is_absolute() || ec)
        return "";
    std::vector<fs::path> pc(p.begin(), p.end()), oc(o.begin(), o.end());
    if (oc.size() >= pc.size())
        return "";
    size_t keep = pc.size() - oc.size();
    for (size_t k = 0; k < oc.size(); k++)
        if (oc[k] == ".." || oc[k] != pc[keep + k])
            return "";
    fs::path f;
    for (size_t k = 0; k < keep; k++)
        f /= pc[k];
    return f.string();
}

} // namespace

void checkrun()
{
    std::vector<named> out = outputs();
    std::string folder = runfolder();
    for (const std::string* rec : {&rep.recpar, &rep.recgen}) {
        if (rec->empty())
            continue;
        std::vector<std::string> names{*rec};
        if (!folder.empty() && (*rec)[0] != '/')
            names.push_back((std::filesystem::path(folder) / *rec).string());
        const char* what = rec == &rep.recgen ? "the genotype file" : "the parameter file";
        for (const std::string& n : names) {
            fileid id = idof(n);
            for (const named& o : out)
                if (id.exists && samefile(o.id, id))
                    repstop(std::string(o.what) + " " + *o.name + " would overwrite " + what +
                            " " + n + " that kinex read (named in the run record of " +
                            rep.infile + "; the same file on disk); choose another name");
        }
    }
}

void checksame()
{
    std::vector<named> in{{"the results file", &rep.infile, {}}};
    if (rep.hasmle)
        in.push_back({"the maximum-likelihood table", &rep.mlename, {}});
    if (rep.hasmap)
        in.push_back({"the identifier map", &rep.idsname, {}});
    if (rep.hasinb)
        in.push_back({"the inbreeding table", &rep.inbname, {}});
    if (rep.haspcs)
        in.push_back({"the components table", &rep.pcsname, {}});
    if (rep.haspop)
        in.push_back({"the population labels", &rep.popname, {}});
    std::vector<named> out = outputs();
    for (named& x : in)
        x.id = idof(*x.name);
    for (const named& o : out)
        for (const named& i : in)
            if (samefile(o.id, i.id))
                repstop(std::string(o.what) + " " + *o.name + " would overwrite " + i.what +
                        " " + *i.name + " (the same file on disk); choose another name");
    for (size_t a = 0; a < out.size(); a++)
        for (size_t b = a + 1; b < out.size(); b++)
            if (samefile(out[a].id, out[b].id) && !(out[a].id.exists && !out[a].id.regular))
                repstop(std::string(out[a].what) + " " + *out[a].name + " and " + out[b].what +
                        " " + *out[b].name +
                        " are the same file: one would overwrite the other; give them "
                        "different names");
}

namespace {

// An earlier report's output at name, when it is a regular file that is
// none of this run's inputs and outputs, and its first line is one of
// heads.
bool earlier(const std::string& name, std::initializer_list<const char*> heads)
{
    fileid id = idof(name);
    if (!id.exists || !id.regular)
        return false;
    for (const std::string* n :
         {&rep.infile, &rep.mlename, &rep.idsname, &rep.inbname, &rep.pcsname, &rep.popname,
          &rep.pairsname, &rep.kinname, &rep.indivname, &rep.svgname, &rep.relname,
          &rep.pcssvgname})
        if (!n->empty() && *n != name && samefile(id, idof(*n)))
            return false;
    std::string head = headline(name);
    for (const char* h : heads)
        if (head.rfind(h, 0) == 0)
            return true;
    return false;
}

} // namespace

std::string nopairs()
{
    return "KIN:" + rep.kinx + " streamed only the pairs of kinship " + rep.kinx + " or more (" +
           std::to_string(rep.kinwritten) + " of " + std::to_string(rep.numpairs) + ")";
}

void findstale()
{
    // the related-pairs table has the kinship table's columns first
    if (!rep.related && earlier(rep.relname, {"ID1\tID2\tNSNP\tKINSHIP\t",
                                              "FID1\tID1\tFID2\tID2\tNSNP\tKINSHIP\t"}))
        rep.stale.push_back({rep.relname, "the related-pairs table",
                             "no maximum-likelihood table was merged and --related-kinship was "
                             "not given"});
    if (!rep.haspairs && earlier(rep.pairsname, {"id1\tid2\td1\t", "fid1\tid1\tfid2\tid2\td1\t"}))
        rep.stale.push_back({rep.pairsname, "the pair table", nopairs()});
    if (!rep.haspcs && earlier(rep.pcssvgname, {pcsmark}))
        rep.stale.push_back({rep.pcssvgname, "the components plot",
                             "no components table " + rep.pcsname + " was merged"});
}
