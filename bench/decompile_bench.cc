// Decompile throughput on a generated QB stream: many functions, thousands of distinct names,
// every token kind, nested structures and forward jumps. Two sizes, 1 MiB and 8 MiB, show
// that the time grows linearly with the input.
#include <benchmark/benchmark.h>

#include <cstdint>
#if defined(__GLIBC__)
#include <malloc.h>
#endif
#include <string>

#include "common/bytes.h"
#include "common/settings.h"
#include "decompiler/decompiler.h"
#include "qb/tokens.h"

namespace {

using namespace qbkit;

class StreamBuilder {
 public:
  void op(uint8_t b) { bytes_.push_back(b); }
  void u16(uint16_t v) {
    bytes_.push_back(static_cast<uint8_t>(v));
    bytes_.push_back(static_cast<uint8_t>(v >> 8));
  }
  void u32(uint32_t v) { append_u32le(bytes_, v); }
  void name(uint32_t checksum) {
    op(qb::kName);
    u32(checksum);
  }
  void integer(int32_t v) {
    op(qb::kInteger);
    u32(static_cast<uint32_t>(v));
  }
  void flt(float v) {
    op(qb::kFloat);
    u32(float_to_bits(v));
  }
  void str(uint8_t kind, const std::string& s) {
    op(kind);
    u32(static_cast<uint32_t>(s.size() + 1));
    bytes_.insert(bytes_.end(), s.begin(), s.end());
    bytes_.push_back(0);
  }
  // A short offset to be filled in once its target is known; returns where it stands.
  size_t short_hole() {
    size_t at = bytes_.size();
    u16(0);
    return at;
  }
  void fill_short(size_t at, size_t target) {
    store_u16le(&bytes_[at], static_cast<uint16_t>(target - at));
  }
  size_t long_hole() {
    size_t at = bytes_.size();
    u32(0);
    return at;
  }
  void fill_long(size_t at, size_t target) {
    store_u32le(&bytes_[at], static_cast<uint32_t>(static_cast<int64_t>(target) -
                                                   static_cast<int64_t>(at + 4)));
  }
  size_t size() const { return bytes_.size(); }
  Bytes& bytes() { return bytes_; }

 private:
  Bytes bytes_;
};

constexpr uint32_t kNames = 4096;
uint32_t checksum_of(uint32_t i) { return i * 2654435761u + 0x9e3779b9u; }

void add_function(StreamBuilder& b, uint32_t f) {
  auto nm = [&](uint32_t k) { return checksum_of((f * 7 + k) % kNames); };
  b.op(qb::kLineBreak);
  b.op(qb::kFunction);
  b.name(nm(0));
  b.op(qb::kLineBreak);
  b.name(nm(1));
  b.name(nm(2));  // call form
  b.op(qb::kEquals);
  b.integer(static_cast<int32_t>(f));
  b.op(qb::kLineBreak);
  b.name(nm(3));
  b.op(qb::kEquals);
  b.flt(static_cast<float>(f) * 0.25f);
  b.op(qb::kLineBreak);
  b.name(nm(4));
  b.op(qb::kEquals);
  b.op(qb::kRandomRange);
  b.op(qb::kVector2);
  b.u32(float_to_bits(1.5f));
  b.u32(float_to_bits(2.0f));
  b.op(qb::kVector3);
  b.u32(float_to_bits(1.0f / 3.0f));
  b.u32(float_to_bits(-4.0f));
  b.u32(float_to_bits(100.125f));
  b.op(qb::kLineBreak);
  b.str(qb::kString, "a string of some length");
  b.str(qb::kLocalString, "local");
  b.op(qb::kLineValue);
  b.u32(f);
  // if / else / endif with a nested structure and array
  b.op(qb::kIf);
  size_t if_hole = b.short_hole();
  b.op(qb::kParenOpen);
  b.name(nm(5));
  b.op(qb::kGreater);
  b.integer(3);
  b.op(qb::kParenClose);
  b.op(qb::kLineBreak);
  b.op(qb::kStructOpen);
  b.name(nm(6));
  b.op(qb::kArrayOpen);
  b.integer(1);
  b.integer(2);
  b.op(qb::kArrayClose);
  b.op(qb::kStructClose);
  b.op(qb::kLineBreak);
  b.op(qb::kElse);
  size_t else_hole = b.short_hole();
  b.fill_short(if_hole, b.size());
  b.op(qb::kLineBreak);
  b.op(qb::kNot);
  b.name(nm(7));
  b.op(qb::kIsNull);
  b.op(qb::kLineBreak);
  b.op(qb::kEndIf);
  b.fill_short(else_hole, b.size());
  // switch with two cases and a default
  b.op(qb::kLineBreak);
  b.op(qb::kSwitch);
  b.name(nm(8));
  size_t next_case = 0, endcases[2];
  for (int c = 0; c < 3; ++c) {
    b.op(qb::kLineBreak);
    if (c > 0) b.fill_short(next_case, b.size());
    b.op(c < 2 ? qb::kCase : qb::kDefault);
    b.op(qb::kEndCase);
    next_case = b.short_hole();
    b.integer(c);
    b.op(qb::kLineBreak);
    b.name(nm(9 + c));
    b.op(qb::kPlus);
    b.name(nm(12 + c));
    b.op(qb::kDot);
    b.name(nm(15));
    if (c < 2) {
      b.op(qb::kLineBreak);
      b.op(qb::kEndCase);
      endcases[c] = b.short_hole();
    }
  }
  b.op(qb::kLineBreak);
  b.fill_short(next_case, b.size());
  b.op(qb::kEndSwitch);
  for (size_t h : endcases) b.fill_short(h, b.size());
  // loop with a jump and a select jumping forward
  b.op(qb::kLineBreak);
  b.op(qb::kWhile);
  b.op(qb::kLineBreak);
  b.op(qb::kDoIf);
  b.name(nm(16));
  b.op(qb::kOr);
  b.name(nm(17));
  b.op(qb::kAnd);
  b.op(qb::kGlobal);
  b.name(nm(18));
  b.op(qb::kLineBreak);
  b.op(qb::kContinue);
  b.op(qb::kLineBreak);
  b.op(qb::kDoElse);
  b.op(qb::kLineBreak);
  b.op(qb::kBreakTo);
  size_t break_hole = b.long_hole();
  b.op(qb::kLineBreak);
  b.op(qb::kEndIf);
  b.op(qb::kLineBreak);
  b.op(qb::kSelect2F);
  b.u32(2);
  b.u16(0x0001);
  b.u16(0x0003);
  size_t sel_a = b.long_hole();
  size_t sel_b = b.long_hole();
  // A select leaves the indentation one step deeper; two line breaks in a row take it back.
  b.op(qb::kLineBreak);
  b.op(qb::kLineBreak);
  b.fill_long(sel_a, b.size());
  b.name(nm(19));
  b.op(qb::kMinus);
  b.integer(-1);
  b.op(qb::kMultiply);
  b.flt(3.5f);
  b.op(qb::kDivide);
  b.integer(2);
  b.op(qb::kLineBreak);
  b.fill_long(sel_b, b.size());
  b.fill_long(break_hole, b.size());
  b.op(qb::kLoopTo);
  b.integer(4);
  b.op(qb::kLineBreak);
  b.op(qb::kReturn);
  b.op(qb::kLineBreak);
  b.op(qb::kEndFunction);
}

Bytes make_stream(size_t target_size) {
  StreamBuilder b;
  for (uint32_t f = 0; b.size() < target_size; ++f) add_function(b, f);
  b.op(qb::kLineBreak);
  for (uint32_t i = 0; i < kNames; ++i) {
    b.op(qb::kNameRecord);
    b.u32(checksum_of(i));
    std::string name = "name_" + std::to_string(i);
    b.bytes().insert(b.bytes().end(), name.begin(), name.end());
    b.op(0);
  }
  b.op(qb::kEnd);
  return std::move(b.bytes());
}

// Every iteration allocates some tens of MiB for records and text. glibc hands blocks that big
// out as fresh mappings and gives them back on free, so each iteration would mostly measure
// the kernel zeroing new pages. Keeping freed memory in the heap measures the decompiler.
void keep_freed_memory() {
#if defined(__GLIBC__)
  mallopt(M_MMAP_MAX, 0);
  mallopt(M_TRIM_THRESHOLD, 1 << 30);
#endif
}

void BM_Decompile(benchmark::State& state) {
  keep_freed_memory();
  const Bytes data = make_stream(static_cast<size_t>(state.range(0)) << 20);
  const Settings settings;
  for (auto _ : state) {
    Decompiled result = decompile(data, "bench.qb", settings);
    benchmark::DoNotOptimize(result.text.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(data.size()));
  state.counters["input_bytes"] = static_cast<double>(data.size());
}
BENCHMARK(BM_Decompile)->Arg(1)->Arg(8)->Unit(benchmark::kMillisecond)->MinTime(3);

}  // namespace
