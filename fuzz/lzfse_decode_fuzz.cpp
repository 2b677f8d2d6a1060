// Fuzz target for the LZFSE decoder. Besides memory safety it checks two
// properties: output never exceeds the limit, and anything that decodes
// survives an encode/decode round trip.

#include "snapshot/lzfse/Lzfse.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {
// Large enough for the vectors, small enough to keep bombs cheap.
constexpr std::size_t kLimit = 64u << 20;
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::uint8_t> out;
    std::string error;
    if (!qv::lzfse::decode({data, size}, out, &error, kLimit)) {
        if (!out.empty() || error.empty()) std::abort();
        return 0;
    }
    if (out.size() > kLimit) std::abort();
    const std::vector<std::uint8_t> again = qv::lzfse::encode(out);
    std::vector<std::uint8_t> back;
    if (!qv::lzfse::decode(again, back) || back != out) std::abort();
    return 0;
}

#ifdef QV_FUZZ_STANDALONE_MAIN
// Replays the given files through the target (no mutation).
int main(int argc, char** argv) {
    int failures = 0;
    for (int i = 1; i < argc; ++i) {
        std::FILE* f = std::fopen(argv[i], "rb");
        if (!f) {
            std::fprintf(stderr, "cannot open %s\n", argv[i]);
            ++failures;
            continue;
        }
        std::vector<std::uint8_t> data;
        std::uint8_t buf[65536];
        std::size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) data.insert(data.end(), buf, buf + n);
        std::fclose(f);
        LLVMFuzzerTestOneInput(data.data(), data.size());
    }
    std::printf("ran %d input(s)\n", argc - 1 - failures);
    return failures == 0 ? 0 : 1;
}
#endif
