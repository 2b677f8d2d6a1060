// Encode and decode throughput of the LZFSE codec next to zlib level 6, on
// English-like text and on snapshot JSON. Throughput is counted in
// uncompressed bytes for both directions; compressed sizes are reported as
// counters.

#include "snapshot/lzfse/Lzfse.h"

#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

const Bytes& corpus(const std::string& stem) {
    static std::vector<std::pair<std::string, Bytes>> cache;
    for (const auto& [name, data] : cache)
        if (name == stem) return data;
    const std::string path = std::string(QV_LZFSE_VECTORS_DIR) + "/valid/" + stem + ".bin";
    std::ifstream f(path, std::ios::binary);
    if (!f) throw std::runtime_error("cannot open " + path);
    cache.emplace_back(stem, Bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>()));
    return cache.back().second;
}

Bytes zlibCompress(const Bytes& in) {
    uLongf size = compressBound(static_cast<uLong>(in.size()));
    Bytes out(size);
    if (compress2(out.data(), &size, in.data(), static_cast<uLong>(in.size()), 6) != Z_OK)
        throw std::runtime_error("compress2 failed");
    out.resize(size);
    return out;
}

void setCounters(benchmark::State& state, std::size_t raw, std::size_t compressed) {
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * raw));
    state.counters["raw_bytes"] = static_cast<double>(raw);
    state.counters["compressed_bytes"] = static_cast<double>(compressed);
    state.counters["ratio"] = static_cast<double>(raw) / static_cast<double>(compressed);
}

void BM_LzfseEncode(benchmark::State& state, const char* stem) {
    const Bytes& in = corpus(stem);
    std::size_t size = 0;
    for (auto _ : state) {
        Bytes out = qv::lzfse::encode(in);
        size = out.size();
        benchmark::DoNotOptimize(out.data());
    }
    setCounters(state, in.size(), size);
}

void BM_LzfseDecode(benchmark::State& state, const char* stem) {
    const Bytes& in = corpus(stem);
    const Bytes stream = qv::lzfse::encode(in);
    Bytes out;
    for (auto _ : state) {
        if (!qv::lzfse::decode(stream, out)) state.SkipWithError("decode failed");
        benchmark::DoNotOptimize(out.data());
    }
    if (out != in) state.SkipWithError("round trip mismatch");
    setCounters(state, in.size(), stream.size());
}

void BM_ZlibEncode(benchmark::State& state, const char* stem) {
    const Bytes& in = corpus(stem);
    std::size_t size = 0;
    for (auto _ : state) {
        Bytes out = zlibCompress(in);
        size = out.size();
        benchmark::DoNotOptimize(out.data());
    }
    setCounters(state, in.size(), size);
}

void BM_ZlibDecode(benchmark::State& state, const char* stem) {
    const Bytes& in = corpus(stem);
    const Bytes stream = zlibCompress(in);
    Bytes out(in.size());
    for (auto _ : state) {
        uLongf size = static_cast<uLongf>(out.size());
        if (uncompress(out.data(), &size, stream.data(), static_cast<uLong>(stream.size())) != Z_OK)
            state.SkipWithError("uncompress failed");
        benchmark::DoNotOptimize(out.data());
    }
    if (out != in) state.SkipWithError("round trip mismatch");
    setCounters(state, in.size(), stream.size());
}

} // namespace

BENCHMARK_CAPTURE(BM_LzfseEncode, english_1m, "english_1m")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ZlibEncode, english_1m, "english_1m")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_LzfseDecode, english_1m, "english_1m")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ZlibDecode, english_1m, "english_1m")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_LzfseEncode, snapshot_json_2m, "snapshot_json_2m")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ZlibEncode, snapshot_json_2m, "snapshot_json_2m")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_LzfseDecode, snapshot_json_2m, "snapshot_json_2m")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ZlibDecode, snapshot_json_2m, "snapshot_json_2m")->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
