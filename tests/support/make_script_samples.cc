// Writes QB files whose decompiled text the editor checks tokenise: streams shaped like the
// game's scripts, random streams of every token kind in both layouts, and one stream per
// layout that holds every text form once, with the names, strings and numbers that make
// highlighting hard. A file's name starts with the layout it is decompiled in ("std-" or
// "thug1-"); "std-stopped.qb" ends at a byte outside the format.
#include <cfloat>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "qb/tokens.h"
#include "support/data_files.h"
#include "support/profile_stream.h"
#include "support/qb_stream.h"
#include "support/stream_generator.h"

namespace fs = std::filesystem;
using qbkit::test::write_data_file;
using namespace qbkit::qb;
using qbkit::Bytes;
using qbkit::test::QbStream;

namespace {

// Names as the game writes them: blanks, punctuation, digits first, a backslash path, words
// of the language, an accented letter, the empty name; the last has no record.
const char* const kNames[] = {
    "Birdhouse Team", "T-shirt", "Shorty's", "68 Skate",
    "models\\gameobjects\\skate\\letter_e\\letter_e.tex", "if", "endfunction", "",
    "caf\xe9", "#/ not a comment", "100% (x)", "unnamed"};
constexpr size_t kNamedCount = std::size(kNames) - 1;

uint32_t checksum(size_t i) { return 0x1000A3C5u * static_cast<uint32_t>(i + 1) ^ 0x9E3779B9u; }

class FormsStream {
 public:
  explicit FormsStream(bool thug1) : thug1_(thug1) {}

  Bytes build() {
    line().op(kFunction);
    name(0);
    line();
    name(1).op(kEquals).string(kString, "Caf\xe9 cr\xe8me br\xfbl\xe9" "e, na\xef" "ve");
    line();
    name(2).op(kEquals).string(kLocalString, "two lines\nand $no name$ #/ %i(1,2) :i");
    line();
    name(3).op(kEquals).string(kString, "");
    line();
    name(5).op(kEquals);
    name(6).op(kPlus);
    name(7).op(kMinus);
    name(11);  // no record: printed as its checksum
    line();
    name(4);  // a name followed by names takes the call form
    name(8);
    name(9);
    name(10).op(kEquals).op(kGlobal);
    name(0);
    values();
    conditionals();
    loop_and_jump();
    switch_block();
    selects();
    line().op(kReturn);
    line().op(kEndFunction);
    line().op(kUnknown84);
    line();
    for (size_t i = 0; i < kNamedCount; ++i) s_.name_record(checksum(i), kNames[i]);
    s_.op(kEnd);
    return s_.take();
  }

 private:
  QbStream& line() { return s_.op(kLineBreak); }
  QbStream& name(size_t i) { return s_.op32(kName, checksum(i)); }

  void values() {
    line();
    name(0).op(kEquals).op32(kInteger, 0xFFFFFFFFu).op(kMultiply).op(kFloat).f32(-0.5f);
    s_.op(kDivide).op(kFloat).f32(FLT_MAX).op(kPlus).op(kFloat).f32(1e-45f);
    line();
    name(1).op(kEquals).op(kRandomRange).op(kVector2).f32(1.0f).f32(2.5f);
    s_.op(kVector3).f32(-1.0f).f32(0.1f).f32(1e10f);
    line();
    name(2).op(kArrow);
    name(3).op(kDot);
    name(5).op(kSeparator).op(kStructOpen);
    name(6).op(kEquals).op(kArrayOpen).op32(kInteger, 1).op32(kInteger, 2).op(kArrayClose);
    s_.op(kStructClose);
    s_.op(kLineValue).u32(0x0A0B0C0Du);
  }

  void conditionals() {
    line().op(kIf).u16(0).op(kNot).op(kParenOpen);
    name(0).op(kLess).op32(kInteger, 3).op(kParenClose).op(kOr);
    name(1).op(kGreater).op32(kInteger, 4).op(kAnd).op(kIsNull);
    name(2);
    line().op(kDoIf);
    name(3);
    line().op(kDoElse);
    line().op(kEndIf).op(kElse).u16(0);  // keywords that touch
    line().op(kEndIf);
  }

  void loop_and_jump() {
    line().op(kWhile);
    line().op(kBreakTo);
    const size_t forward = s_.long_hole();
    line().op(kContinue);
    line().op(kBreakTo);
    s_.fill_long(s_.long_hole(), 0);  // backwards: no marker
    s_.fill_long(forward, s_.size());
    line().op(kLoopTo);
  }

  void switch_block() {
    line().op(kSwitch);
    name(0);
    line();
    branch(kCase).op32(kInteger, 1);
    line().op(kReturn);
    line();
    if (!thug1_) s_.op(kEndCase).u16(0);
    branch(kDefault);
    line().op(kContinue);
    line().op(kEndSwitch);
  }

  QbStream& branch(uint8_t op) { return thug1_ ? s_.op(op) : s_.op(op).op(kEndCase).u16(0); }

  // A select of two branches, one with bytes that print with a leading letter, and an empty one.
  void selects() {
    line().op(kSelect2F).u32(2).raw({0xA0, 0xFF, 0x03, 0x00});
    const size_t first = s_.long_hole();
    const size_t second = s_.long_hole();
    line();
    s_.fill_long(first, s_.size());
    s_.fill_long(second, s_.size());
    name(0);
    line().op(kSelect41).u32(0);
  }

  bool thug1_;
  QbStream s_;
};

Bytes stopped_stream() {
  QbStream s;
  s.op(kLineBreak).op(kFunction).op32(kName, 1).op(kLineBreak).op(0x1D).op(kEnd);
  return s.take();
}

Bytes random_choices(uint32_t seed) {
  std::mt19937 rng(seed);
  Bytes choices(4000);
  for (uint8_t& b : choices) b = static_cast<uint8_t>(rng());
  return choices;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_script_samples FOLDER\n");
    return 1;
  }
  const fs::path dir = argv[1];
  fs::create_directories(dir);
  for (uint32_t seed = 1; seed <= 2; ++seed)
    write_data_file(dir / ("std-profile-" + std::to_string(seed) + ".qb"), qbkit::test::generate_profile_stream(20'000, seed));
  for (uint32_t seed = 1; seed <= 6; ++seed) {
    const std::string n = std::to_string(seed) + ".qb";
    write_data_file(dir / ("std-generated-" + n), qbkit::test::generate_stream(random_choices(seed), false));
    write_data_file(dir / ("thug1-generated-" + n), qbkit::test::generate_stream(random_choices(seed), true));
  }
  write_data_file(dir / "std-forms.qb", FormsStream(false).build());
  write_data_file(dir / "thug1-forms.qb", FormsStream(true).build());
  write_data_file(dir / "std-stopped.qb", stopped_stream());
  return 0;
}
