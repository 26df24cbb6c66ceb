// Speed of the LZSS codec beside zlib and memcpy for scale, in one run.
//
// Every row reports bytes_per_second over the uncompressed size, so ratios between rows of
// the same corpus read straight off. Corpora: /0 is script-like data shaped like the game's
// scripts (files of the game's sizes one after another), /1 the earlier generator's data.
// The archive rows compress 210 script-like members of 3.2 MB together one by one, as `pack`
// does with the game matcher (and its one-insert-at-a-time reference) and `add` with the plain
// encoder.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstring>

#include "lzss/decoder.h"
#include "lzss/game_encoder.h"
#include "lzss/plain_encoder.h"
#include "support/lzss_buffers.h"
#include "support/script_like_data.h"

namespace {

using qbkit::Bytes;
using qbkit::ByteSpan;

constexpr size_t kCorpusSize = 6 << 20;

const Bytes& corpus(int64_t which) {
  static const Bytes script_like = qbkit::test::script_like_data(kCorpusSize, 2024);
  static const Bytes one_vocabulary = qbkit::test::one_vocabulary_data(kCorpusSize, 2024);
  return which == 0 ? script_like : one_vocabulary;
}

const Bytes& compressed_corpus(int64_t which) {
  static const Bytes streams[2] = {qbkit::lzss::compress_plain(corpus(0)), qbkit::lzss::compress_plain(corpus(1))};
  return streams[which];
}

const std::vector<Bytes>& archive_members() {
  static const std::vector<Bytes> members = qbkit::test::script_like_archive(210, 3200 * 1000, 14);
  return members;
}

void report(benchmark::State& state, size_t input_size, size_t compressed_size) {
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * input_size));
  state.counters["ratio"] = static_cast<double>(compressed_size) / static_cast<double>(input_size);
}

template <Bytes (*compress)(ByteSpan)>
void BM_Compress(benchmark::State& state) {
  const Bytes& in = corpus(state.range(0));
  size_t size = 0;
  for (auto _ : state) size = compress(in).size();
  report(state, in.size(), size);
}
BENCHMARK_TEMPLATE(BM_Compress, qbkit::lzss::compress_plain)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_Compress, qbkit::test::compress_game)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The brute-force reference on the first 256 KB only: it takes seconds per megabyte.
void BM_CompressReference(benchmark::State& state) {
  const ByteSpan in = ByteSpan(corpus(state.range(0))).first(256 * 1024);
  size_t size = 0;
  for (auto _ : state) size = qbkit::lzss::compress_plain_reference(in).size();
  report(state, in.size(), size);
}
BENCHMARK(BM_CompressReference)->Arg(0)->Iterations(1)->Unit(benchmark::kMillisecond);

// zlib at level 1 and 6 on corpus 0 and 1.
void BM_Zlib(benchmark::State& state) {
  const int level = static_cast<int>(state.range(0));
  const Bytes& in = corpus(state.range(1));
  Bytes out(compressBound(static_cast<uLong>(in.size())));
  uLongf size = 0;
  for (auto _ : state) {
    size = static_cast<uLongf>(out.size());
    compress2(out.data(), &size, in.data(), static_cast<uLong>(in.size()), level);
  }
  report(state, in.size(), size);
}
BENCHMARK(BM_Zlib)->ArgsProduct({{1, 6}, {0, 1}})->Unit(benchmark::kMillisecond);

// The members of an archive compressed one by one.
template <Bytes (*compress)(ByteSpan)>
void BM_CompressArchive(benchmark::State& state) {
  size_t input = 0, size = 0;
  for (auto _ : state) {
    input = size = 0;
    for (const Bytes& member : archive_members()) {
      input += member.size();
      size += compress(member).size();
    }
  }
  report(state, input, size);
  state.counters["members"] = static_cast<double>(archive_members().size());
}
BENCHMARK_TEMPLATE(BM_CompressArchive, qbkit::lzss::compress_plain)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_CompressArchive, qbkit::test::compress_game)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_CompressArchive, qbkit::lzss::compress_game_reference)->Unit(benchmark::kMillisecond);

// Decoding as extraction does it: member after member into one buffer, cleared only when it
// grows.
void BM_DecompressMember(benchmark::State& state) {
  const int64_t which = state.range(0);
  Bytes buffer;
  for (auto _ : state) {
    benchmark::DoNotOptimize(qbkit::lzss::decompress_member_into(compressed_corpus(which), corpus(which).size(), buffer));
    benchmark::DoNotOptimize(buffer.data());
  }
  report(state, corpus(which).size(), compressed_corpus(which).size());
}
BENCHMARK(BM_DecompressMember)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The same into a fresh buffer each time, cleared as it is made.
void BM_DecompressMemberFresh(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(qbkit::test::decompress_member(compressed_corpus(0), corpus(0).size()));
  report(state, corpus(0).size(), compressed_corpus(0).size());
}
BENCHMARK(BM_DecompressMemberFresh)->Unit(benchmark::kMillisecond);

void BM_DecompressRaw(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(qbkit::lzss::decompress_raw(compressed_corpus(0)));
  report(state, corpus(0).size(), compressed_corpus(0).size());
}
BENCHMARK(BM_DecompressRaw)->Unit(benchmark::kMillisecond);

void BM_DecompressReference(benchmark::State& state) {
  for (auto _ : state)
    benchmark::DoNotOptimize(qbkit::lzss::decompress_reference(compressed_corpus(0), corpus(0).size()));
  report(state, corpus(0).size(), compressed_corpus(0).size());
}
BENCHMARK(BM_DecompressReference)->Unit(benchmark::kMillisecond);

// The decoder's yardstick: copying the decoded size into a buffer already in memory.
void BM_Memcpy(benchmark::State& state) {
  const Bytes& in = corpus(0);
  Bytes out(in.size());
  for (auto _ : state) {
    std::memcpy(out.data(), in.data(), in.size());
    benchmark::DoNotOptimize(out.data());
  }
  report(state, in.size(), in.size());
}
BENCHMARK(BM_Memcpy)->Unit(benchmark::kMillisecond);

void BM_ZlibDecompress(benchmark::State& state) {
  const Bytes& in = corpus(0);
  Bytes packed(compressBound(static_cast<uLong>(in.size())));
  uLongf packed_size = static_cast<uLongf>(packed.size());
  compress2(packed.data(), &packed_size, in.data(), static_cast<uLong>(in.size()), 6);
  Bytes out(in.size());
  for (auto _ : state) {
    uLongf size = static_cast<uLongf>(out.size());
    uncompress(out.data(), &size, packed.data(), packed_size);
  }
  report(state, in.size(), packed_size);
}
BENCHMARK(BM_ZlibDecompress)->Unit(benchmark::kMillisecond);

}  // namespace
