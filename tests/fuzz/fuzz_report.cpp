// kinex-report's reader of results files.  The first byte sets the read
// buffer (1..96 bytes, or the program's own size when it is 0) and the
// largest number of plotted points; the rest is the results file.  Files
// that declare more than 300 individuals are passed over: their IBD table
// alone would be too big to find within the fuzzer's limits.
#include <charconv>
#include <filesystem>
#include <string>
#include <string_view>

#include "fuzzrun.hpp"
#include "outfiles.hpp"
#include "repopts.hpp"
#include "reprun.hpp"
#include "repstate.hpp"

namespace {

bool smallsample(std::string_view text)
{
    const std::string_view label = "Number of individuals = ";
    for (std::size_t p = text.find(label); p != std::string_view::npos; p = text.find(label, p + 1)) {
        std::size_t q = p + label.size();
        while (q < text.size() && text[q] == '0') ++q;
        std::size_t digits = 0;
        while (q + digits < text.size() && text[q + digits] >= '0' && text[q + digits] <= '9') ++digits;
        int64_t n = 0;
        if (digits > 6) return false;
        std::from_chars(text.data() + q, text.data() + q + digits, n);
        if (n > 300) return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzzsetup();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1) return 0;
    std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
    if (!smallsample(text)) return 0;
    fuzzwrite("res.out", data + 1, size - 1);
    resetrep();
    const std::string points = "--max-points=" + std::to_string((data[0] >> 4) * 3);
    const char* argv[] = {"kinex-report", "res.out", points.c_str()};
    bool done = false;
    try {
        readopts(3, argv);
        if (data[0] != 0) rep.bufsize = 1 + data[0] % 96;
        report();
        done = true;
    } catch (const repfail&) {
        outdiscard();
    }
    namespace fs = std::filesystem;
    std::error_code ec;
    for (const char* name : {"res.pairs.tsv", "res.kinship.tsv", "res.indiv.tsv", "res.svg"}) {
        fuzzcheck(fs::exists(name, ec) == done, done ? "an output is missing" : "an output was left after a failure");
        fs::remove(name, ec);
    }
    // No temporary file may stay behind either way.
    for (const auto& e : fs::directory_iterator(".", ec)) {
        std::string name = e.path().filename().string();
        fuzzcheck(name == "res.out", "a stray file in the working folder");
    }
    resetrep();
    return 0;
}
