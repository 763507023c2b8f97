#include "samefiles.hpp"
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <vector>
#include "repstate.hpp"

namespace {

struct fileid {
    bool exists = false, regular = false;
    dev_t dev = 0;
    ino_t ino = 0;
    std::string last;   // the last part of a name that does not exist
};

fileid idof(const std::string& name)
{
    fileid f;
    struct stat st {};
    if (::stat(name.c_str(), &st) == 0) {
        f.exists = true;
        f.regular = S_ISREG(st.st_mode);
        f.dev = st.st_dev;
        f.ino = st.st_ino;
        return f;
    }
    std::filesystem::path p(name);
    std::string dir = p.parent_path().string();
    f.last = p.filename().string();
    if (::stat(dir.empty() ? "." : dir.c_str(), &st) == 0) {
        f.dev = st.st_dev;
        f.ino = st.st_ino;
    } else {
        // a missing folder: the name as written, made absolute
        f.last = std::filesystem::absolute(p).lexically_normal().string();
    }
    return f;
}

bool same(const fileid& a, const fileid& b)
{
    return a.exists == b.exists && a.dev == b.dev && a.ino == b.ino && a.last == b.last;
}

struct named {
    const char* what;
    const std::string* name;
    fileid id;
};

} // namespace

void checksame()
{
    std::vector<named> in{{"the results file", &rep.infile, {}}};
    if (rep.hasmle)
        in.push_back({"the maximum-likelihood table", &rep.mlename, {}});
    if (rep.hasmap)
        in.push_back({"the identifier map", &rep.idsname, {}});
    std::vector<named> out{{"the pair table", &rep.pairsname, {}},
                           {"the kinship table", &rep.kinname, {}},
                           {"the individual table", &rep.indivname, {}},
                           {"the plot", &rep.svgname, {}}};
    if (rep.related)
        out.push_back({"the related-pairs table", &rep.relname, {}});
    for (auto* v : {&in, &out})
        for (named& x : *v)
            x.id = idof(*x.name);
    for (const named& o : out)
        for (const named& i : in)
            if (same(o.id, i.id))
                repstop(std::string(o.what) + " " + *o.name + " would overwrite " + i.what +
                        " " + *i.name + " (the same file on disk); choose another name");
    for (size_t a = 0; a < out.size(); a++)
        for (size_t b = a + 1; b < out.size(); b++)
            if (same(out[a].id, out[b].id) && !(out[a].id.exists && !out[a].id.regular))
                repstop(std::string(out[a].what) + " " + *out[a].name + " and " + out[b].what +
                        " " + *out[b].name +
                        " are the same file: one would overwrite the other; give them "
                        "different names");
}
