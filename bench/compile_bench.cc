// Compile throughput on a generated script text using every construct, in MB/s of text,
// and the growth from one size to eight times that size.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <ctime>
#include <sstream>
#include <string>

#include "common/format.h"
#include "compiler/compiler.h"

namespace {

using qbkit::Bytes;

// A script of about `target` bytes: #addx declarations, then functions that use every
// construct of the language.
std::string make_script(size_t target) {
  std::string text = "#/ QB Script version 2\n";
  const int names = 2000;
  for (int i = 0; i < names; ++i) qbkit::append_format(text, "#addx 0x%08x \"name_%d\"\n", 0x1000u + i, i);
  qbkit::append_format(text, "#addx 0x%08x \"Birdhouse Team\"\n", 0xbeefu);
  int n = 0;
  while (text.size() < target) {
    const int a = n % names, b = (n * 7 + 3) % names;
    qbkit::append_format(
        text,
        ":i function $name_%d$ :i :u(02:%08x)\n"
        "\t:i $name_%d$ = %%i(%d,%08x) + %%f(%d.500000) * %%vec3(1.000000,-2.500000,0.125000)\n"
        "\t:i $Birdhouse Team$ = %%s(5,\"hello\") ; %%sc(3,\"abc\") . %%vec2(0.5,1.0) %%GLOBAL%%\n"
        "\t:i if NOT $name_%d$ isNull OR (%%i(1,00000001) < %%i(2,00000002)) AND $name_%d$ > %%i(,ff)\n"
        "\t\t:i call $name_%d$ arguments $name_%d$ :s{ :a{ :a} :s}\n"
        "\t:i else\n\t\t:i doIf $name_%d$ :i doElse :i return :i endif\n"
        "\t:i endif\n"
        "\t:i while\n\t\t:i switch $name_%d$\n"
        "\t\t\t:i case %%i(1,00000001) :i continue :i\n"
        "\t\t\tendcase default :i :BREAKTO(%d) :i\n"
        "\t\tend_switch\n"
        "\t:i loop_to :POS(%d) :i RandomRange -> select(2f,2, 01 00 a0 01) :OFFSET(%d):OFFSET(%d)\n"
        ":i :POS(%d) :POS(%d) endfunction\n",
        a, static_cast<unsigned>(n), b, n, static_cast<unsigned>(n), n % 100, a, b, a, b, a, b, 4 * n, 4 * n,
        4 * n + 1, 4 * n + 2, 4 * n + 1, 4 * n + 2);
    ++n;
  }
  text += "#/ END\n";
  return text;
}

const qbkit::SourceLoader kNoIncludes;

Bytes compile(const std::string& text) {
  std::ostringstream out;
  return qbkit::compile_text(Bytes(text.begin(), text.end()), "bench", qbkit::Settings{}, kNoIncludes, out);
}

void BM_Compile(benchmark::State& state) {
  const std::string text = make_script(static_cast<size_t>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(compile(text));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_Compile)->Arg(8 << 20)->Unit(benchmark::kMillisecond);

// time(8x) / time(x) for 1 MiB and 8 MiB of text: near 8 when compiling is linear.
void BM_CompileGrowth(benchmark::State& state) {
  const std::string small = make_script(1 << 20);
  const std::string large = make_script(8 << 20);
  auto seconds = [](const std::string& text) {
    double best = 1e9;
    // Best of several runs in process CPU time, so that other load on the machine counts less.
    for (int i = 0; i < 5; ++i) {
      const std::clock_t t0 = std::clock();
      benchmark::DoNotOptimize(compile(text));
      best = std::min(best, static_cast<double>(std::clock() - t0) / CLOCKS_PER_SEC);
    }
    return best;
  };
  double ratio = 0;
  for (auto _ : state) {
    ratio = seconds(large) / seconds(small) * (static_cast<double>(small.size()) / static_cast<double>(large.size())) * 8;
  }
  state.counters["ratio_8x"] = ratio;
}
BENCHMARK(BM_CompileGrowth)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
