// The PLINK binary files hold what the .ped and .map hold.
#include <gtest/gtest.h>
#include <sstream>
#include "simopts.hpp"
#include "simrun.hpp"
#include "simtest.hpp"

namespace {

std::vector<std::string> fields(const std::string& line)
{
    std::stringstream ss(line);
    std::vector<std::string> out;
    for (std::string w; ss >> w;)
        out.push_back(w);
    return out;
}

} // namespace

TEST(bed, BinaryFilesHoldThePedAndMap)
{
    // 37 individuals (not a multiple of 4), loci over several blocks of
    // simulation, missing genotypes and errors; layout 1 writes no matrix.
    const size_t n = 37, L = 600;
    for (const char* layout : {"1", "2"}) {
        std::vector<const char*> argv = {"kinex-sim", "--individuals", "37", "--loci", "600",
                                         "--missing", "0.05", "--error", "0.01", "--plink",
                                         "--bed", "--layout", layout};
        opts o;
        std::string err;
        ASSERT_TRUE(parseopts(int(argv.size()), argv.data(), o, err)) << err;
        o.out = tmpprefix(std::string("b") + layout);
        ASSERT_TRUE(runsim(o, err)) << err;

        std::vector<std::string> ped = linesof(slurp(o.out + ".ped"));
        std::vector<std::string> fam = linesof(slurp(o.out + ".fam"));
        std::vector<std::string> map = linesof(slurp(o.out + ".map"));
        std::vector<std::string> bim = linesof(slurp(o.out + ".bim"));
        std::string bed = slurp(o.out + ".bed");
        ASSERT_EQ(ped.size(), n);
        ASSERT_EQ(fam.size(), n);
        ASSERT_EQ(map.size(), L);
        ASSERT_EQ(bim.size(), L);
        const size_t per = (n + 3) / 4;
        ASSERT_EQ(bed.size(), 3 + L * per);
        EXPECT_EQ(bed.substr(0, 3), "\x6c\x1b\x01");
        for (size_t l = 0; l < L; l++) {
            std::vector<std::string> m = fields(map[l]);
            m.insert(m.end(), {"A", "G"});
            ASSERT_EQ(fields(bim[l]), m) << l;
        }
        // PLINK's two bits: 00 two copies of A1 (A), 10 one, 11 none, 01 missing.
        const char* gt[4] = {"AA", "00", "AG", "GG"};
        int missing = 0;
        for (size_t k = 0; k < n; k++) {
            std::vector<std::string> p = fields(ped[k]), f = fields(fam[k]);
            ASSERT_EQ(p.size(), 6 + 2 * L);
            ASSERT_EQ(std::vector<std::string>(p.begin(), p.begin() + 6), f) << k;
            for (size_t l = 0; l < L; l++) {
                unsigned char byte = bed[3 + l * per + k / 4];
                int two = (byte >> (2 * (k % 4))) & 3;
                ASSERT_EQ(p[6 + 2 * l] + p[7 + 2 * l], gt[two]) << "individual " << k << " SNP "
                                                                 << l;
                missing += two == 1;
            }
        }
        // Unused bits of a SNP's last byte are zero.
        for (size_t l = 0; l < L; l++) {
            ASSERT_EQ((unsigned char)bed[3 + l * per + per - 1] >> (2 * (n % 4)), 0) << l;
        }
        EXPECT_GT(missing, 0);
    }
}
