// VCF and BCF through htslib: biallelic data to layout 2 counting ALT
// copies, multi-allelic data to layout 0, and the calls KINEX cannot take.
#include <random>
#include "convtest.hpp"

#ifdef KINEX_HTS
#include <htslib/vcf.h>

namespace {

const std::string head =
    "##fileformat=VCFv4.2\n"
    "##contig=<ID=1>\n"
    "##FORMAT=<ID=GT,Number=1,Type=String,Description=\"Genotype\">\n"
    "##FORMAT=<ID=DP,Number=1,Type=Integer,Description=\"Depth\">\n"
    "#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT\ts1\ts2\ts3\n";

std::string site(int pos, const std::string& alt, const std::string& calls)
{
    return "1\t" + std::to_string(pos) + "\t.\tA\t" + alt + "\t.\t.\t.\tGT\t" + calls + "\n";
}

class vcf : public convdir {
protected:
    // The same records written as BCF by htslib.
    void tobcf(const std::string& from, const std::string& to)
    {
        htsFile* in = hts_open(at(from).c_str(), "r");
        htsFile* out = hts_open(at(to).c_str(), "wb");
        ASSERT_TRUE(in && out);
        bcf_hdr_t* h = bcf_hdr_read(in);
        ASSERT_EQ(bcf_hdr_write(out, h), 0);
        bcf1_t* r = bcf_init();
        while (bcf_read(in, h, r) == 0)
            ASSERT_EQ(bcf_write(out, h, r), 0);
        bcf_destroy(r);
        bcf_hdr_destroy(h);
        hts_close(in);
        hts_close(out);
    }
};

} // namespace

TEST_F(vcf, BiallelicSitesCountAltCopies)
{
    put("b.vcf", head + site(10, "G", "0/0\t0|1\t1/1") + site(20, "T", "1|0\t./.\t.") +
                     site(30, ".", "0/0\t0/0\t0|0") + site(40, "C", "./1\t1/.\t1|1"));
    ASSERT_EQ(run({"--vcf", at("b.vcf")}), "");
    EXPECT_EQ(get("b.gen"), "s1 s2 s3\n010-\n1-0-\n2-02\n");
    std::string par = get("b.par");
    EXPECT_EQ(par.substr(0, par.find("DataForm")), "3 number of individuals\n4 number of loci\n2 ");
    EXPECT_NE(par.find("allele 1 = the VCF's ALT allele"), std::string::npos);
}

TEST_F(vcf, AMultiallelicSiteTurnsTheFileToLayout0)
{
    put("m.vcf", head + site(10, "G", "0/0\t0|1\t1/1") + site(20, "G,T,C", "0/3\t2|1\t./.") +
                     site(30, ".", "0/0\t.\t0/0") + site(40, "G", "1/0\t./.\t0/1"));
    ASSERT_EQ(run({"--vcf", at("m.vcf"), "--out", at("m2")}), "");
    // REF = 1, the k-th ALT = k + 1; biallelic sites keep IDs 1 and 2
    EXPECT_EQ(get("m2.gen"), "s1 1 1 1 4 1 1 1 2\n"
                             "s2 1 2 3 2 0 0 0 0\n"
                             "s3 2 2 0 0 1 1 1 2\n");
    std::string par = get("m2.par");
    EXPECT_NE(par.find("\n0 DataForm"), std::string::npos);
    EXPECT_EQ(par.substr(0, par.find("DataForm")), "3 number of individuals\n4 number of loci\n0 ");

    tobcf("m.vcf", "m.bcf");
    ASSERT_EQ(run({"--vcf", at("m.bcf"), "--out", at("mb")}), "");
    EXPECT_EQ(get("mb.gen"), get("m2.gen"));
}

TEST_F(vcf, MixedSitesInGroupsOfIndividuals)
{
    // 11 samples, 40 sites of 1 to 5 alleles, calls drawn at random; the
    // expected line of each sample is built from the calls directly
    std::mt19937 g(9);
    const int n = 11;
    std::string text = "##fileformat=VCFv4.2\n##contig=<ID=1>\n"
                       "##FORMAT=<ID=GT,Number=1,Type=String,Description=\"Genotype\">\n"
                       "#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT";
    std::vector<std::string> want(n);
    for (int i = 0; i < n; i++) {
        text += "\tp" + std::to_string(i);
        want[size_t(i)] = "p" + std::to_string(i);
    }
    text += "\n";
    const char* bases[] = {"C", "G", "T", "AC"};
    for (int s = 0; s < 40; s++) {
        int k = 1 + int(g() % 5);
        std::string alt = k == 1 ? "." : "";
        for (int a = 1; a < k; a++)
            alt += (a > 1 ? "," : "") + std::string(bases[a - 1]);
        text += "1\t" + std::to_string(s + 1) + "\t.\tA\t" + alt + "\t.\t.\t.\tGT";
        for (int i = 0; i < n; i++) {
            int a = int(g() % unsigned(k)), b = int(g() % unsigned(k));
            bool miss = g() % 7 == 0;
            text += "\t" + (miss ? std::string("./.") : std::to_string(a) + (g() % 2 ? "|" : "/") +
                                                        std::to_string(b));
            want[size_t(i)] += miss ? " 0 0" : " " + std::to_string(a + 1) + " " + std::to_string(b + 1);
        }
        text += "\n";
    }
    put("r.vcf", text);
    std::string all;
    for (auto& w : want)
        all += w + "\n";
    for (int64_t gb : {1, 700, 0}) {
        ASSERT_EQ(run({"--vcf", at("r.vcf")}, gb), "");
        std::string got = get("r.gen");
        std::vector<std::string> gl, wl;
        std::stringstream a(got), b(all);
        for (std::string l; std::getline(a, l);)
            gl.push_back(l);
        for (std::string l; std::getline(b, l);)
            wl.push_back(l);
        ASSERT_EQ(gl.size(), wl.size());
        for (size_t i = 0; i < gl.size(); i++) {
            // sites of two alleles lose the order of a heterozygote's alleles
            std::stringstream x(gl[i]), y(wl[i]);
            std::vector<std::string> xs, ys;
            for (std::string t; x >> t;)
                xs.push_back(t);
            for (std::string t; y >> t;)
                ys.push_back(t);
            ASSERT_EQ(xs.size(), ys.size());
            EXPECT_EQ(xs[0], ys[0]);
            for (size_t t = 1; t + 1 < xs.size(); t += 2) {
                std::string p = xs[t] + " " + xs[t + 1], q = ys[t] + " " + ys[t + 1],
                            qr = ys[t + 1] + " " + ys[t];
                EXPECT_TRUE(p == q || (p == "1 2" && qr == p)) << "sample " << i << ": " << p
                                                                 << " for " << q;
            }
        }
    }
}

TEST_F(vcf, AllelesUpTo127)
{
    std::string alts;
    for (int k = 1; k <= 126; k++)
        alts += (k > 1 ? "," : "") + std::string("<A") + std::to_string(k) + ">";
    put("w.vcf", head + site(10, alts, "126/0\t125|126\t0/1"));
    ASSERT_EQ(run({"--vcf", at("w.vcf")}), "");
    EXPECT_EQ(get("w.gen"), "s1 127 1\ns2 126 127\ns3 1 2\n");

    put("w.vcf", head + site(10, alts + ",<A127>", "0/0\t0/1\t1/1"));
    std::string m = run({"--vcf", at("w.vcf")});
    EXPECT_NE(m.find("has 128 alleles at 1:10; KINEX takes at most 127"), std::string::npos) << m;
}

TEST_F(vcf, CallsKinexCannotTakeStopTheRun)
{
    std::string ok = site(10, "G", "0/0\t0/1\t1/1");
    put("h.vcf", head + ok + site(20, "G", "0/0\t1\t1/1"));
    std::string m = run({"--vcf", at("h.vcf")});
    EXPECT_NE(m.find("sample s2 has a haploid call at 1:20"), std::string::npos) << m;

    put("h.vcf", head + ok + site(20, "G", "0/0\t0/1\t1/1/1"));
    m = run({"--vcf", at("h.vcf")});
    EXPECT_NE(m.find("sample s3 has a polyploid call (3 alleles) at 1:20"), std::string::npos)
        << m;

    put("h.vcf", head + ok + "1\t20\t.\tA\tG\t.\t.\t.\tDP\t3\t4\t5\n");
    EXPECT_NE(run({"--vcf", at("h.vcf")}).find("no GT calls at 1:20"), std::string::npos);

    put("h.vcf", head + ok + site(20, "G", "0/0\t0/2\t1/1"));
    EXPECT_NE(run({"--vcf", at("h.vcf")}).find("calls an allele that the site does not list"),
              std::string::npos);

    put("h.vcf", head + ok + "1\t20\t.\tA\tG\t.\t.\t.\tGT\t0/0\t0/");
    EXPECT_NE(run({"--vcf", at("h.vcf")}).find(at("h.vcf") + " line 7 has 11 tab-separated "
                                                           "columns, but the header line has 12"),
              std::string::npos);

    put("h.vcf", head);
    EXPECT_NE(run({"--vcf", at("h.vcf")}).find("holds no sites"), std::string::npos);

    put("h.vcf", "this is not a VCF file\n1 2 3\n");
    m = run({"--vcf", at("h.vcf")});
    EXPECT_TRUE(m.find("not a VCF or BCF file") != std::string::npos ||
                m.find("no valid VCF header") != std::string::npos)
        << m;

    std::string one = head;
    one.replace(one.find("\ts2\ts3"), 6, "");
    put("h.vcf", one + "1\t10\t.\tA\tG\t.\t.\t.\tGT\t0/1\n");
    EXPECT_NE(run({"--vcf", at("h.vcf")}).find("holds 1 sample; KINEX needs at least 2"),
              std::string::npos);

    EXPECT_EQ(files(), std::vector<std::string>{"h.vcf"});
}

TEST_F(vcf, SampleNamesAreCheckedBeforeAnyGenotype)
{
    std::string bad = head;
    bad.replace(bad.find("s1\ts2\ts3"), 8, "s 1\tabcdefghijklmnopqrstu\tabcdefghijklmnopqrstv");
    // the genotypes are broken too: the names are reported first
    put("n.vcf", bad + site(10, "G", "0\t0/1\t1/1"));
    std::string m = run({"--vcf", at("n.vcf")});
    EXPECT_NE(m.find("3 identifiers cannot be used"), std::string::npos) << m;
    EXPECT_NE(m.find("'s 1' (individual 1): holds a blank"), std::string::npos) << m;
    EXPECT_NE(m.find("(individual 3): longer than 20 bytes; cut to 20 bytes, "
                     "collides with 'abcdefghijklmnopqrstu'"),
              std::string::npos)
        << m;
    // htslib itself refuses a header that repeats a sample name
    bad = head;
    bad.replace(bad.find("s1\ts2\ts3"), 8, "s1\ts2\ts2");
    put("n.vcf", bad + site(10, "G", "0/0\t0/1\t1/1"));
    m = run({"--vcf", at("n.vcf")});
    EXPECT_NE(m.find("no valid VCF header"), std::string::npos) << m;
    EXPECT_EQ(files(), std::vector<std::string>{"n.vcf"});
}

#else

TEST(vcf, BuiltWithoutHtslib)
{
    resetconv();
    cv.vcf = "x.vcf";
    cv.out = "x";
    try {
        convert();
        FAIL() << "VCF input without htslib";
    } catch (const convfail& e) {
        EXPECT_NE(e.msg.find("built without htslib"), std::string::npos);
    }
    EXPECT_NE(helptext().find("NOT AVAILABLE"), std::string::npos);
}

#endif
