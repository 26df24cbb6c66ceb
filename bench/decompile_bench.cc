// Decompile throughput in-process on a stream shaped like the game's scripts (token mix,
// names and strings as in real files). Two sizes, 1 MiB and 8 MiB, show that the time grows
// linearly with the input. The text goes to a stream that discards it, as a decompile to a
// file or a pipe hands it on in pieces and keeps none of it.
#include <benchmark/benchmark.h>

#include <ostream>
#include <streambuf>

#include "common/bytes.h"
#include "common/settings.h"
#include "decompiler/decompiler.h"
#include "support/profile_stream.h"

namespace {

using namespace qbkit;

// Counts the bytes written to it and keeps none.
class CountingBuf : public std::streambuf {
 public:
  size_t count = 0;

 protected:
  std::streamsize xsputn(const char*, std::streamsize n) override {
    count += static_cast<size_t>(n);
    return n;
  }
  int_type overflow(int_type c) override {
    ++count;
    return traits_type::not_eof(c);
  }
};

void BM_Decompile(benchmark::State& state) {
  const Bytes data = test::generate_profile_stream(static_cast<size_t>(state.range(0)) << 20);
  const Settings settings;
  CountingBuf buf;
  std::ostream out(&buf);
  for (auto _ : state) {
    qb::NameTable names = decompile_to(data, "bench.qb", settings, out);
    benchmark::DoNotOptimize(names.size());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(data.size()));
  state.counters["input_bytes"] = static_cast<double>(data.size());
  state.counters["text_bytes"] =
      static_cast<double>(buf.count) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_Decompile)->Arg(1)->Arg(8)->Unit(benchmark::kMillisecond)->MinTime(3);

}  // namespace
