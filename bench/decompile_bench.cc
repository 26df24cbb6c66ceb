// Decompile throughput in-process on a stream shaped like the game's scripts (token mix,
// names and strings as in real files). Two sizes, 1 MiB and 8 MiB, show that the time grows
// linearly with the input; the second argument is the number of printing threads. The text goes
// to a sink that counts and discards it, as a decompile to a file or a pipe hands it on in
// pieces and keeps none of it.
#include <benchmark/benchmark.h>

#include "common/bytes.h"
#include "common/settings.h"
#include "decompiler/decompiler.h"
#include "support/profile_stream.h"

namespace {

using namespace qbkit;

// Counts the bytes written to it and keeps none.
class CountingSink final : public decompiler::TextSink {
 public:
  size_t count = 0;
  void write(std::string_view piece) override { count += piece.size(); }
};

void BM_Decompile(benchmark::State& state) {
  const Bytes data = test::generate_profile_stream(static_cast<size_t>(state.range(0)) << 20);
  const Settings settings;
  DecompileOptions options;
  options.threads = static_cast<unsigned>(state.range(1));
  CountingSink text;
  CountingSink table;
  for (auto _ : state) {
    decompile_to(data, "bench.qb", settings, text, &table, options);
    benchmark::DoNotOptimize(table.count);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(data.size()));
  state.counters["input_bytes"] = static_cast<double>(data.size());
  state.counters["text_bytes"] =
      static_cast<double>(text.count) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_Decompile)->Args({1, 1})->Args({8, 1})->Args({8, 2})->Unit(benchmark::kMillisecond)->MinTime(3)->UseRealTime();

}  // namespace
