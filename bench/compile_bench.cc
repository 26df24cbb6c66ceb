// Compile throughput, in MB/s of script text (the text and its table file), on generated text
// shaped like the game's own scripts: a third of the tokens name references, a fifth line
// breaks, a seventh '='; thousands of declared names of about 14 characters, each used many
// times; strings of about 21 characters; calls with arguments, structures, arrays, nested
// conditionals. Also the growth from one size to eight times that size.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <ctime>
#include <sstream>
#include <string>
#include <vector>

#include "common/format.h"
#include "compiler/compiler.h"

namespace {

using qbkit::Bytes;

class Random {
 public:
  explicit Random(uint64_t seed) : state_(seed) {}
  uint64_t next() {  // splitmix64
    uint64_t z = (state_ += 0x9e3779b97f4a7c15u);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9u;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebu;
    return z ^ (z >> 31);
  }
  double unit() { return static_cast<double>(next() >> 11) / 9007199254740992.0; }
  int between(int lo, int hi) { return lo + static_cast<int>(next() % static_cast<uint64_t>(hi - lo + 1)); }
  template <typename T>
  const T& pick(const std::vector<T>& v) {
    return v[next() % v.size()];
  }

 private:
  uint64_t state_;
};

const std::vector<std::string> kSyllables = {"ped",  "skater", "trick", "score", "menu",  "goal",   "cam",
                                             "anim", "park",   "level", "text",  "board", "spin",   "grind",
                                             "flip", "mode",   "time",  "career", "bail", "combo",  "item",
                                             "sound", "fx",    "node",  "show"};
const std::vector<std::string> kWords = {"the",   "skater", "goal",  "press", "start",  "to",       "continue",
                                         "select", "level", "high",  "score", "combo",  "\\c2",     "trick",
                                         "career", "complete", "bonus", "time", "gap",  "%s"};

// A script text and its table file, as the decompiler writes them.
struct Script {
  std::string text;
  std::string table;
  size_t size() const { return text.size() + table.size(); }
};

class ScriptWriter {
 public:
  explicit ScriptWriter(size_t target) : rng_(target) {
    // About one declared name per 400 bytes of text, as in a whole game's worth of scripts.
    const size_t count = std::max<size_t>(64, target / 400);
    for (size_t i = 0; i < count; ++i) {
      std::string name;
      const int parts = rng_.between(1, 4);
      for (int p = 0; p < parts; ++p) {
        if (p > 0) name += '_';
        name += rng_.pick(kSyllables);
      }
      name.resize(std::min<size_t>(name.size(), static_cast<size_t>(rng_.between(6, 22))));
      if (rng_.unit() < 0.3) name[0] = static_cast<char>(name[0] - 'a' + 'A');
      name += std::to_string(i);
      names_.push_back(name);
      qbkit::append_format(script_.table, "#addx 0x%08x \"%s\"\n", static_cast<unsigned>(rng_.next()), name.c_str());
    }
    script_.text = "#/ QB Script version 2\n%include \"bench.qb_table.qbi\"   #/ Table file\n\n";
    while (script_.size() < target) function();
    script_.text += ":i :end\n\n\n#/ END\n";
  }
  Script take() { return std::move(script_); }

 private:
  // Some names are used far more often than others.
  const std::string& name() {
    const double u = rng_.unit();
    return u < 0.5 ? names_[static_cast<size_t>(std::pow(rng_.unit(), 3) * static_cast<double>(names_.size()))]
                   : rng_.pick(names_);
  }
  std::string ref() { return "$" + name() + "$"; }
  std::string integer() {
    const uint32_t choices[] = {0, 1, 2, 3, 5, 10, 100, 255, static_cast<uint32_t>(rng_.next() % 1000),
                                static_cast<uint32_t>(rng_.next())};
    const uint32_t v = choices[rng_.next() % 10];
    return qbkit::format("%%i(%u,%08x)", v, v);
  }
  std::string real() { return qbkit::format("%%f(%f)", rng_.unit() * 1000.0 - 500.0); }
  std::string string() {
    const size_t n = std::max<size_t>(1, static_cast<size_t>(std::exp(3.1 + 0.6 * gauss())));
    std::string s;
    while (s.size() < n) {
      s += rng_.pick(kWords);
      s += ' ';
    }
    s.resize(n);
    while (s.back() == ' ') s.pop_back();  // the first word is never blank
    return qbkit::format("%%s(%zu,\"%s\")", s.size(), s.c_str());
  }
  double gauss() { return (rng_.unit() + rng_.unit() + rng_.unit() + rng_.unit() - 2.0) * 1.7; }
  std::string value(int depth) {
    const double r = rng_.unit();
    if (r < 0.36) return ref();
    if (r < 0.54) return integer();
    if (r < 0.70) return string();
    if (r < 0.75) return real();
    if (r < 0.78) return qbkit::format("%%vec2(%f,%f)", rng_.unit() * 10 - 5, rng_.unit() * 10 - 5);
    if (r < 0.79) return qbkit::format("%%vec3(%f,%f,%f)", rng_.unit(), -rng_.unit(), rng_.unit() * 3);
    if (r < 0.81) return "%sc(5,\"local\")";
    if (depth >= 2) return integer();
    std::string s = r < 0.94 ? ":s{ " : ":a{ ";
    for (int i = rng_.between(1, 3); i > 0; --i) {
      if (r < 0.94) s += ref() + " = ";
      s += value(depth + 1) + " ";
    }
    return s + (r < 0.94 ? ":s}" : ":a}");
  }
  void line(int indent, const std::string& s) {
    script_.text.append(static_cast<size_t>(indent), '\t');
    script_.text += ":i " + s + "\n";
  }
  void statement(int indent, int depth) {
    const double r = rng_.unit();
    if (r < 0.50) {
      line(indent, ref() + " = " + value(0));
    } else if (r < 0.72) {
      std::string s = "call " + ref() + " arguments \n" + std::string(static_cast<size_t>(indent + 1), '\t');
      for (int i = rng_.between(1, 2); i > 0; --i) {
        s += ref() + " = " + (rng_.unit() < 0.5 ? "%GLOBAL%" + ref() : value(1));
      }
      line(indent, s);
    } else if (r < 0.78 && depth < 3) {
      line(indent, rng_.unit() < 0.5 ? "if  (" + ref() + " = " + value(2) + ") " : "if " + ref() + " isNull ");
      for (int i = rng_.between(1, 3); i > 0; --i) statement(indent + 1, depth + 1);
      if (rng_.unit() < 0.3) {
        line(indent, "else ");
        for (int i = rng_.between(1, 2); i > 0; --i) statement(indent + 1, depth + 1);
      }
      line(indent, "endif");
    } else if (r < 0.84 && depth < 3) {
      line(indent, "doIf " + ref());
      for (int i = rng_.between(1, 3); i > 0; --i) statement(indent + 1, depth + 1);
      if (rng_.unit() < 0.3) {
        line(indent, "doElse");
        statement(indent + 1, depth + 1);
      }
      line(indent, "endif");
    } else if (r < 0.87) {
      line(indent, ref() + " = RandomRange " + qbkit::format("%%vec2(%f,%f)", rng_.unit() * 5, 5 + rng_.unit() * 5));
    } else if (r < 0.89) {
      line(indent, ref() + " = " + ref() + " + " + integer());
    } else {
      line(indent, ref());
    }
  }
  void function() {
    line(0, "function " + ref());
    for (int i = rng_.between(3, 20); i > 0; --i) statement(1, 0);
    line(0, "endfunction");
  }

  Random rng_;
  std::vector<std::string> names_;
  Script script_;
};

// The text as read from disk: with the capacity for the lexer's terminating zero byte.
Bytes source_of(const std::string& text) {
  Bytes bytes;
  bytes.reserve(text.size() + 1);
  bytes.assign(text.begin(), text.end());
  return bytes;
}

Bytes compile(const Script& script, Bytes text) {
  const qbkit::SourceLoader table = [&script](const std::string&, const std::string&) -> qbkit::LoadedSource {
    return {source_of(script.table), "table", {}};
  };
  struct Ignored : qbkit::DiagnosticSink {
    void report(const qbkit::Diagnostic&) override {}
  } ignored;
  std::ostringstream out;
  return qbkit::compile_text({std::move(text), "bench", "bench"}, {}, table, ignored, &out);
}
Bytes compile(const Script& script) { return compile(script, source_of(script.text)); }

void BM_Compile(benchmark::State& state) {
  const Script script = ScriptWriter(static_cast<size_t>(state.range(0))).take();
  for (auto _ : state) {
    state.PauseTiming();
    Bytes text = source_of(script.text);
    state.ResumeTiming();
    benchmark::DoNotOptimize(compile(script, std::move(text)));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(script.size()));
}
BENCHMARK(BM_Compile)->Arg(20 << 20)->Unit(benchmark::kMillisecond);

// time(8x) / time(x) for 1 MiB and 8 MiB of text: near 8 when compiling is linear.
void BM_CompileGrowth(benchmark::State& state) {
  const Script small = ScriptWriter(1 << 20).take();
  const Script large = ScriptWriter(8 << 20).take();
  auto seconds = [](const Script& script) {
    double best = 1e9;
    // Best of several runs in process CPU time, so that other load on the machine counts less.
    for (int i = 0; i < 5; ++i) {
      const std::clock_t t0 = std::clock();
      benchmark::DoNotOptimize(compile(script));
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
