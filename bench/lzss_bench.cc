// Speed of the LZSS codec on generated script-like data, beside zlib for scale.
// bytes_per_second is the throughput over the uncompressed size in every row.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include "../tests/pre/script_like_data.h"
#include "pre/lzss.h"

namespace {

using qbkit::Bytes;

constexpr size_t kCorpusSize = 6 << 20;

const Bytes& corpus() {
  static const Bytes data = qbkit::test::script_like_data(kCorpusSize, 2024);
  return data;
}

const Bytes& compressed_corpus() {
  static const Bytes data = qbkit::pre::compress_fast(corpus());
  return data;
}

void report(benchmark::State& state, size_t compressed_size) {
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * corpus().size()));
  state.counters["ratio"] = static_cast<double>(compressed_size) / static_cast<double>(corpus().size());
}

void BM_CompressReference(benchmark::State& state) {
  size_t size = 0;
  for (auto _ : state) size = qbkit::pre::compress_reference(corpus()).size();
  report(state, size);
}
BENCHMARK(BM_CompressReference)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_CompressFast(benchmark::State& state) {
  size_t size = 0;
  for (auto _ : state) size = qbkit::pre::compress_fast(corpus()).size();
  report(state, size);
}
BENCHMARK(BM_CompressFast)->Unit(benchmark::kMillisecond);

// Many small members, as an archive of scripts holds: the per-call set-up counts here.
void BM_CompressFastSmallMembers(benchmark::State& state) {
  const size_t member = 4096;
  size_t size = 0;
  for (auto _ : state) {
    size = 0;
    for (size_t at = 0; at < corpus().size(); at += member) {
      size_t n = std::min(member, corpus().size() - at);
      size += qbkit::pre::compress_fast(qbkit::ByteSpan(corpus()).subspan(at, n)).size();
    }
  }
  report(state, size);
}
BENCHMARK(BM_CompressFastSmallMembers)->Unit(benchmark::kMillisecond);

void BM_Zlib(benchmark::State& state) {
  const int level = static_cast<int>(state.range(0));
  Bytes out(compressBound(static_cast<uLong>(corpus().size())));
  uLongf size = 0;
  for (auto _ : state) {
    size = static_cast<uLongf>(out.size());
    compress2(out.data(), &size, corpus().data(), static_cast<uLong>(corpus().size()), level);
  }
  report(state, size);
}
BENCHMARK(BM_Zlib)->Arg(1)->Arg(6)->Unit(benchmark::kMillisecond);

void BM_DecompressMember(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(qbkit::pre::decompress_member(compressed_corpus(), corpus().size()));
  report(state, compressed_corpus().size());
}
BENCHMARK(BM_DecompressMember)->Unit(benchmark::kMillisecond);

void BM_DecompressRaw(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(qbkit::pre::decompress_raw(compressed_corpus()));
  report(state, compressed_corpus().size());
}
BENCHMARK(BM_DecompressRaw)->Unit(benchmark::kMillisecond);

void BM_DecompressReference(benchmark::State& state) {
  for (auto _ : state)
    benchmark::DoNotOptimize(qbkit::pre::decompress_reference(compressed_corpus(), corpus().size()));
  report(state, compressed_corpus().size());
}
BENCHMARK(BM_DecompressReference)->Unit(benchmark::kMillisecond);

void BM_ZlibDecompress(benchmark::State& state) {
  Bytes packed(compressBound(static_cast<uLong>(corpus().size())));
  uLongf packed_size = static_cast<uLongf>(packed.size());
  compress2(packed.data(), &packed_size, corpus().data(), static_cast<uLong>(corpus().size()), 6);
  Bytes out(corpus().size());
  for (auto _ : state) {
    uLongf size = static_cast<uLongf>(out.size());
    uncompress(out.data(), &size, packed.data(), packed_size);
  }
  report(state, packed_size);
}
BENCHMARK(BM_ZlibDecompress)->Unit(benchmark::kMillisecond);

}  // namespace
