// Packing an archive of 210 script-like members (3.2 MB, sizes spread as in the game's own
// script archive): the game's matcher with its store rule, as `pack` and `update` run it,
// beside the plain encoder that `add` uses, on the same bytes.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "lzss/plain_encoder.h"
#include "support/lzss_buffers.h"
#include "support/script_like_data.h"

namespace {

using qbkit::Bytes;

const std::vector<Bytes>& members() {
  static const std::vector<Bytes> all = [] {
    // Median about 6 KB, a long tail up to the largest script (294 KB), 3.2 MB in all.
    std::mt19937 rng(7);
    std::lognormal_distribution<double> size(std::log(6100.0), 1.35);
    std::vector<double> sizes(210);
    double total = 0;
    for (double& s : sizes) total += (s = std::clamp(size(rng), 200.0, 293936.0));
    std::vector<Bytes> out;
    for (size_t i = 0; i < sizes.size(); ++i) {
      auto n = static_cast<size_t>(std::clamp(sizes[i] * 3.2e6 / total, 500.0, 293936.0));
      out.push_back(qbkit::test::script_like_data(n, 1000 + static_cast<uint32_t>(i)));
    }
    return out;
  }();
  return all;
}

void report(benchmark::State& state, size_t packed) {
  size_t total = 0;
  for (const Bytes& m : members()) total += m.size();
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * total));
  state.counters["ratio"] = static_cast<double>(packed) / static_cast<double>(total);
}

void BM_Pack210Game(benchmark::State& state) {
  size_t packed = 0;
  for (auto _ : state) {
    packed = 0;
    for (const Bytes& m : members()) {
      const size_t c = m.empty() ? 0 : qbkit::test::compress_game(m).size();
      packed += (c == 0 || 100 * c > 85 * m.size()) ? m.size() : c;
    }
  }
  report(state, packed);
}
BENCHMARK(BM_Pack210Game)->Unit(benchmark::kMillisecond);

void BM_Pack210Plain(benchmark::State& state) {
  size_t packed = 0;
  for (auto _ : state) {
    packed = 0;
    for (const Bytes& m : members()) packed += qbkit::lzss::compress_plain(m).size();
  }
  report(state, packed);
}
BENCHMARK(BM_Pack210Plain)->Unit(benchmark::kMillisecond);

}  // namespace
