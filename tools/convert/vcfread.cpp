#include "vcfread.hpp"
#include "convstate.hpp"
#include "idcheck.hpp"
#include "infiles.hpp"
#include "keepfile.hpp"
#include "sitefilter.hpp"

#ifdef KINEX_HTS
#include "chrcodes.hpp"
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <htslib/vcf.h>

namespace {

// htslib's handles of one file, released on every way out.
struct vcfhandles {
    htsFile* fp = nullptr;
    bcf_hdr_t* hdr = nullptr;
    bcf1_t* rec = nullptr;
    int32_t* gt = nullptr;
    kstring_t line = {0, 0, nullptr};
    ~vcfhandles()
    {
        std::free(gt);
        std::free(line.s);
        if (rec)
            bcf_destroy(rec);
        if (hdr)
            bcf_hdr_destroy(hdr);
        if (fp)
            hts_close(fp);
    }
};

std::string where(const bcf_hdr_t* hdr, const bcf1_t* rec)
{
    return std::string(bcf_seqname_safe(hdr, rec)) + ":" + std::to_string(rec->pos + 1);
}

// The next record of a VCF text file, or false at its end.  htslib reads a
// row with more sample columns than the header names without a word (the
// genotypes then go to the wrong samples), so every row's columns are
// counted first: the eight fixed ones, FORMAT and one per sample.
bool nextvcfrow(vcfhandles& h)
{
    int ret = hts_getline(h.fp, '\n', &h.line);
    if (ret == -1)
        return false;
    std::string at = cv.vcf + " line " + std::to_string(h.fp->lineno);
    if (ret < -1)
        convstop("error reading " + at + ": the file is truncated or damaged");
    int64_t want = 9 + cv.numindiv, cols = 1;
    for (size_t k = 0; k < h.line.l; k++)
        cols += h.line.s[k] == '\t';
    if (h.line.l == 0)
        convstop(at + " is empty; a row holds " + std::to_string(want) +
                 " tab-separated columns (9 and one per sample)");
    if (cols != want)
        convstop(at + " has " + std::to_string(cols) + " tab-separated columns, but the header "
                 "line has " + std::to_string(want) + " (9 and one per sample): every row "
                 "needs one genotype column per sample");
    if (vcf_parse(&h.line, h.hdr, h.rec) != 0)
        convstop(at + " is not a valid VCF row (htslib's message above says why)");
    return true;
}

// Stores one site's calls.  Allele 1 of a biallelic site is its ALT
// allele; a site's alleles are numbered 1 (REF) to K in the multi store.
void storesite(const bcf_hdr_t* hdr, const bcf1_t* rec, const int32_t* gt, int ploidy)
{
    int nal = rec->n_allele;
    bool multi = nal > 2;
    uint8_t* s = multi ? newmultisite() : newbisite();
    cv.numallele.push_back(uint8_t(nal));
    cv.siteidx.push_back(uint32_t(multi ? cv.nummulti - 1 : cv.numbi - 1));
    if (nal > cv.maxallele)
        cv.maxallele = nal;
    for (int64_t i = 0; i < cv.numindiv; i++) {
        if (!cv.indivon[size_t(i)]) {   // left out by --keep or --remove: not read
            if (multi)
                s[2 * i] = s[2 * i + 1] = 0;
            else
                s[i / 4] |= uint8_t(1 << (2 * (i % 4)));
            continue;
        }
        const int32_t* g = gt + i * ploidy;
        int k = 0;
        while (k < ploidy && g[k] != bcf_int32_vector_end)
            k++;
        bool missing;
        if (k == 1 && bcf_gt_is_missing(g[0]))
            missing = true;   // a lone "." is a missing call, not a haploid one
        else if (k != 2)
            convstop("sample " + cv.ids[size_t(i)] + " has a " +
                     (k == 1 ? std::string("haploid call") :
                               "polyploid call (" + std::to_string(k) + " alleles)") +
                     " at " + where(hdr, rec) + " (" + cv.vcf +
                     "); KINEX needs diploid genotypes" +
                     (chrnum(bcf_seqname_safe(hdr, rec)) > 22
                          ? ", and its model is autosomal: --chr 1-22 leaves out X, Y, XY and MT"
                          : ""));
        else
            missing = bcf_gt_is_missing(g[0]) || bcf_gt_is_missing(g[1]);
        int a = 0, b = 0;
        if (!missing) {
            a = bcf_gt_allele(g[0]);
            b = bcf_gt_allele(g[1]);
            if (a < 0 || b < 0 || a >= nal || b >= nal)
                convstop("sample " + cv.ids[size_t(i)] + " at " + where(hdr, rec) + " (" +
                         cv.vcf + ") calls an allele that the site does not list");
        }
        if (multi) {
            s[2 * i] = uint8_t(missing ? 0 : a + 1);
            s[2 * i + 1] = uint8_t(missing ? 0 : b + 1);
        } else {
            // codes by copies of ALT: two 0, one 2, none 3; missing 1
            static const int bycopies[3] = {3, 2, 0};
            int code = missing ? 1 : bycopies[(a > 0) + (b > 0)];
            s[i / 4] |= uint8_t(code << (2 * (i % 4)));
        }
    }
}

} // namespace

void readvcf()
{
    vcfhandles h;
    checkinput(cv.vcf, "a VCF or BCF file");
    errno = 0;
    h.fp = hts_open(cv.vcf.c_str(), "r");
    if (!h.fp)
        convstop("cannot read " + cv.vcf + (errno ? ": " + std::string(std::strerror(errno)) : ""));
    if (h.fp->format.category != variant_data)
        convstop(cv.vcf + " is not a VCF or BCF file");
    h.hdr = bcf_hdr_read(h.fp);
    if (!h.hdr)
        convstop(cv.vcf + " has no valid VCF header (htslib's message above says why; a "
                         "repeated sample name is one cause)");
    cv.numindiv = bcf_hdr_nsamples(h.hdr);
    if (cv.numindiv > maxnumindiv)
        convstop(cv.vcf + " holds " + std::to_string(cv.numindiv) +
                 " samples; KINEX takes at most " + std::to_string(maxnumindiv));
    for (int64_t i = 0; i < cv.numindiv; i++) {
        cv.ids.push_back(h.hdr->samples[i]);
        cv.iids.push_back(h.hdr->samples[i]);
    }
    if (cv.numindiv < 2)
        convstop(cv.vcf + " holds " + std::to_string(cv.numindiv) +
                 (cv.numindiv == 1 ? " sample" : " samples") + "; KINEX needs at least 2");
    keepsamples(cv.vcf);
    checkids();
    initstores();
    h.rec = bcf_init();
    int ngtarr = 0;
    bool text = h.fp->format.format == vcf;
    int ret = 0;
    while (text ? nextvcfrow(h) : (ret = bcf_read(h.fp, h.hdr, h.rec)) == 0) {
        if (h.rec->errcode)
            convstop(cv.vcf + " has a faulty record at " + where(h.hdr, h.rec));
        bcf_unpack(h.rec, BCF_UN_STR);
        int nal = h.rec->n_allele;
        if (!keepsite(bcf_seqname_safe(h.hdr, h.rec), h.rec->d.allele, nal, nal, false))
            continue;
        if (h.rec->n_allele > 127)
            convstop(cv.vcf + " has " + std::to_string(h.rec->n_allele) + " alleles at " +
                     where(h.hdr, h.rec) + "; KINEX takes at most 127 alleles per locus");
        int ngt = bcf_get_genotypes(h.hdr, h.rec, &h.gt, &ngtarr);
        if (ngt <= 0)
            convstop(cv.vcf + " has no GT calls at " + where(h.hdr, h.rec));
        storesite(h.hdr, h.rec, h.gt, int(ngt / cv.numindiv));
        cv.siteon.push_back(1);
        if (cv.bpspace > 0) {
            while (int64_t(cv.chrnames.size()) <= h.rec->rid)
                cv.chrnames.push_back(bcf_hdr_id2name(h.hdr, int(cv.chrnames.size())));
            cv.sitechr.push_back(h.rec->rid);
            cv.sitepos.push_back(h.rec->pos + 1);
        }
    }
    if (ret < -1)
        convstop("error reading " + cv.vcf + " at site " + std::to_string(cv.sitesin + 1) +
                 ": the file is truncated or damaged");
    cv.numloci = int64_t(cv.numallele.size());
    if (cv.sitesin < 1)
        convstop(cv.vcf + " holds no sites");
    saysites(cv.vcf);
    cv.allele1 = "the VCF's ALT allele";
}

#else

void readvcf()
{
    convstop("this kinex-convert was built without htslib, so it cannot read VCF or BCF "
             "files; install libhts-dev and rebuild, or convert with plink --make-bed first");
}

#endif
