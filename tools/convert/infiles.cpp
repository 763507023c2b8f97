#include "infiles.hpp"
#include <sys/stat.h>
#include <vector>
#include "convlog.hpp"
#include "convstate.hpp"
#include "headline.hpp"

namespace {

struct named {
    std::string name;
    fileid id;
};

std::vector<named> ids(const std::vector<std::string>& names)
{
    std::vector<named> v;
    for (const std::string& n : names)
        if (!n.empty())
            v.push_back({n, idof(n)});
    return v;
}

std::vector<named> inputs()
{
    std::vector<named> in = cv.bfile.empty() ? ids({cv.vcf})
                                             : ids({cv.bfile + ".bed", cv.bfile + ".bim",
                                                    cv.bfile + ".fam"});
    for (const named& n : ids({cv.keepfile, cv.removefile}))
        in.push_back(n);
    return in;
}

} // namespace

void checkinput(const std::string& name, const char* what)
{
    struct stat st {};
    if (::stat(name.c_str(), &st) == 0 && !S_ISREG(st.st_mode))
        convstop("cannot read " + name + ": it is " + kindof(name) + ", not " + what +
                 " (only regular files are read)");
}

void checksame()
{
    std::string genname = cv.out + ".gen", parfile = cv.out + ".par";
    std::vector<named> in = inputs();
    std::vector<named> out = ids({genname, parfile, cv.mapname, cv.logname});
    for (const named& o : out)
        if (o.id.exists && kindof(o.name) != "a regular file")
            convstop("cannot write " + o.name + ": it is " + kindof(o.name) +
                     ", and kinex reads regular files only; choose another --out");
    for (const named& o : out)
        for (const named& i : in)
            if (samefile(o.id, i.id))
                convstop("the output " + o.name + " would overwrite the input " + i.name +
                         " (the same file on disk); choose another --out");
    for (size_t a = 0; a < out.size(); a++)
        for (size_t b = a + 1; b < out.size(); b++)
            if (samefile(out[a].id, out[b].id))
                convstop("the outputs " + out[a].name + " and " + out[b].name +
                         " are the same file on disk; choose another --out");
    // PLINK writes its log as PREFIX.log too, beside the fileset it made
    if (!cv.logname.empty() && idof(cv.logname).exists && headline(cv.logname) != loghead)
        convstop("cannot write " + cv.logname + ": it is there and is not a kinex-convert log "
                 "(PLINK writes its log under such a name); choose another --out");
    fileid r = idof(cv.results);
    for (const named& i : in)
        if (samefile(r, i.id))
            convstop("the results file " + cv.results + " would overwrite the input " + i.name +
                     " (the same file on disk) when kinex runs; choose another --results");
    for (const named& o : out)
        if (samefile(r, o.id))
            convstop("the results file " + cv.results + " would overwrite " + o.name +
                     " (the same file on disk), which kinex or kinex-report reads; choose "
                     "another --results");
}

std::string mapbeside(const std::string& results)
{
    std::string stem = results;
    if (stem.size() > 4 && stem.compare(stem.size() - 4, 4, ".out") == 0)
        stem.resize(stem.size() - 4);
    return stem + ".ids.tsv";
}

void findstale()
{
    std::vector<named> keep = inputs();
    for (const named& n :
         ids({cv.out + ".gen", cv.out + ".par", cv.mapname, cv.logname, cv.results}))
        keep.push_back(n);
    std::vector<std::string> maybe{mapbeside(cv.results)};
    if (!cv.shortids)
        maybe.push_back(cv.out + ".ids.tsv");
    for (const std::string& m : maybe) {
        fileid id = idof(m);
        bool mine = id.exists && id.regular;
        for (const named& k : keep)
            mine = mine && !samefile(id, k.id);
        std::string head = mine ? headline(m) : "";
        if (head != "ID\tFID\tIID" && head != "ID\tIID")
            continue;
        cv.stalenames.push_back(m);
        keep.push_back({m, id});
    }
    // the log of an earlier conversion that filtered, which this one did not
    std::string log = cv.out + ".log";
    fileid id = idof(log);
    bool mine = cv.logname.empty() && id.exists && id.regular;
    for (const named& k : keep)
        mine = mine && !samefile(id, k.id);
    if (mine && headline(log) == loghead)
        cv.stalenames.push_back(log);
}
