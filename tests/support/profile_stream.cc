#include "support/profile_stream.h"

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "common/name_checksum.h"
#include "qb/tokens.h"
#include "support/qb_stream.h"

namespace qbkit::test {
namespace {

using namespace qbkit::qb;

class ProfileGenerator {
 public:
  ProfileGenerator(size_t size, uint32_t seed, Switches switches) : size_(size), rng_(seed), switches_(switches) {
    make_names();
  }

  Bytes run() {
    // The name records take about a tenth of the bytes; the statements fill the rest.
    while (s_.size() < size_ - size_ / 10) function();
    s_.op(kLineBreak);
    for (const Name& n : names_) s_.name_record(n.checksum, n.text);
    s_.op(kEnd);
    return s_.take();
  }

 private:
  struct Name {
    uint32_t checksum;
    std::string text;
  };

  uint32_t pick(uint32_t n) { return static_cast<uint32_t>(rng_() % n); }
  bool chance(uint32_t percent) { return pick(100) < percent; }

  // Names of 4 to 30 characters, median about 14, as in real scripts: "skater_update12".
  void make_names() {
    static const char* const kStems[] = {"skater", "ped",    "menu",  "goal",  "trick",
                                         "camera", "sound",  "anim",  "level", "score",
                                         "params", "career", "board", "panel", "viewer"};
    static const char* const kTails[] = {"_init", "_update", "_time", "_id",  "_name", "_on",
                                         "_off",  "_script", "",      "_max", "_speed", "_Flag"};
    const size_t count = size_ / 177 + 16;  // 44 k names in 7.8 MB, as in the game's files
    names_.reserve(count);
    for (size_t i = 0; i < count; ++i) {
      std::string text = kStems[pick(15)];
      text += kTails[pick(12)];
      if (chance(5)) text += kStems[pick(15)];
      text += std::to_string(i);
      // Each with the game's checksum of it, as in the game's own files.
      const uint32_t checksum = name_checksum(text);
      names_.push_back({checksum, std::move(text)});
    }
  }

  // Names are used about fifteen times each, some far more often than others.
  void name() {
    const size_t n = names_.size();
    const size_t i = chance(30) ? pick(static_cast<uint32_t>(n / 64 + 1)) : pick(static_cast<uint32_t>(n));
    s_.op32(kName, names_[i].checksum);
  }

  void value() {
    const uint32_t r = pick(100);
    if (r < 22) {
      s_.op32(kInteger, chance(80) ? pick(200) : static_cast<uint32_t>(rng_()));
    } else if (r < 58) {
      name();
    } else if (r < 68) {
      s_.op(kGlobal);
      name();
    } else if (r < 80) {
      string(kString);
    } else if (r < 82) {
      string(kLocalString);
    } else if (r < 91) {
      s_.op(kFloat).f32(static_cast<float>(pick(4000)) / 8.0f - 100.0f);
    } else if (r < 96) {
      if (chance(20)) s_.op(kRandomRange);
      s_.op(kVector2).f32(static_cast<float>(pick(640))).f32(static_cast<float>(pick(480)));
    } else {
      s_.op(kParenOpen);
      name();
      s_.op(chance(50) ? kPlus : kMultiply);
      s_.op32(kInteger, pick(10));
      s_.op(kParenClose);
    }
  }

  // Printable text of median length about 21, never a double quote.
  void string(uint8_t kind) {
    static const char kChars[] = "abcdefghijklmnopqrstuvwxyz ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_.,!";
    std::string text;
    const size_t length = chance(85) ? 4 + pick(34) : 30 + pick(90);
    for (size_t i = 0; i < length; ++i) text += kChars[pick(sizeof kChars - 1)];
    s_.string(kind, text);
  }

  void assignment() {
    name();
    s_.op(kEquals);
    value();
  }

  // One statement line, at the given nesting depth of conditionals.
  void line(int depth) {
    s_.op(kLineBreak);
    const uint32_t r = pick(100);
    if (r < 40) {
      assignment();
    } else if (r < 62) {  // a call with parameters: the first two names take the call form
      name();
      const uint32_t params = 1 + pick(3);
      for (uint32_t i = 0; i < params; ++i) {
        if (chance(40)) name();
        else assignment();
      }
    } else if (r < 75) {  // a structure of parameters
      name();
      s_.op(kStructOpen);
      const uint32_t fields = 1 + pick(3);
      for (uint32_t i = 0; i < fields; ++i) {
        if (i > 0 && chance(30)) s_.op(kLineBreak);
        assignment();
      }
      s_.op(kStructClose);
    } else if (r < 82) {  // an array
      name();
      s_.op(kEquals).op(kArrayOpen);
      const uint32_t items = 1 + pick(4);
      for (uint32_t i = 0; i < items; ++i) value();
      s_.op(kArrayClose);
    } else if (r < 91 && depth < 3) {
      // Streams without switches draw exactly what they did before switches existed.
      if (switches_ != Switches::kNone && r >= 88) {
        switch_block(depth);
      } else {
        conditional(depth);
      }
    } else {
      name();
    }
  }

  void conditional(int depth) {
    const bool offsets = chance(55);
    size_t hole = 0;
    if (offsets) {
      s_.op(kIf);
      hole = s_.short_hole();
    } else {
      s_.op(kDoIf);
    }
    if (chance(30)) {
      s_.op(kParenOpen);
      name();
      s_.op(kIsNull).op(kParenClose);
    } else {
      if (chance(20)) s_.op(kNot);
      name();
    }
    const uint32_t lines = 1 + pick(4);
    for (uint32_t i = 0; i < lines; ++i) line(depth + 1);
    s_.op(kLineBreak);
    // The if's offset leads past the endif token.
    if (offsets) s_.fill_short(hole, s_.size() + 1);
    s_.op(kEndIf);
  }

  // A switch on a name with up to three branches, the last one maybe a default. Standard
  // layout: each head carries the endcase token and a short offset to the next head (the last
  // one to end_switch), each branch but the last ends with an endcase token whose offset leads
  // past end_switch, and the next head follows it at once. THUG1 layout: the heads are bare
  // tokens, and nothing ends a branch.
  void switch_block(int depth) {
    const bool standard = switches_ == Switches::kStandard;
    s_.op(kSwitch);
    name();
    s_.op(kLineBreak);
    const uint32_t branches = 1 + pick(3);
    size_t pending = 0;
    std::vector<size_t> breaks;
    for (uint32_t i = 0; i < branches; ++i) {
      const bool is_default = i + 1 == branches && chance(50);
      if (standard && i > 0) s_.fill_short(pending, s_.size());
      s_.op(is_default ? kDefault : kCase);
      if (standard) {
        s_.op(kEndCase);
        pending = s_.short_hole();
      }
      if (!is_default) s_.op32(kInteger, pick(10));
      const uint32_t lines = 1 + pick(3);
      for (uint32_t k = 0; k < lines; ++k) line(depth + 1);
      s_.op(kLineBreak);
      if (standard && i + 1 < branches) {
        s_.op(kEndCase);
        breaks.push_back(s_.short_hole());
      }
    }
    s_.op(kEndSwitch);
    if (standard) {
      s_.fill_short(pending, s_.size() - 1);
      for (const size_t b : breaks) s_.fill_short(b, s_.size());
    }
  }

  void function() {
    s_.op(kLineBreak).op(kFunction);
    name();
    const uint32_t lines = 4 + pick(24);
    for (uint32_t i = 0; i < lines; ++i) line(0);
    s_.op(kLineBreak).op(kEndFunction);
  }

  size_t size_;
  std::mt19937 rng_;
  Switches switches_;
  std::vector<Name> names_;
  QbStream s_;
};

}  // namespace

std::vector<Bytes> generate_profile_scripts(size_t count, size_t total, uint32_t seed, Switches switches) {
  std::mt19937 rng(seed);
  std::vector<double> sizes(count);
  double sum = 0;
  for (double& size : sizes) {
    const double z = std::normal_distribution<double>(0.0, 1.0)(rng);
    sum += size = std::clamp(6100.0 * std::exp(1.34 * z), 200.0, 294000.0);
  }
  std::vector<Bytes> scripts;
  for (size_t k = 0; k < count; ++k) {
    const auto size = static_cast<size_t>(sizes[k] * static_cast<double>(total) / sum);
    scripts.push_back(generate_profile_stream(std::max<size_t>(size, 64), seed + static_cast<uint32_t>(k),
                                              k % 4 == 3 ? switches : Switches::kNone));
  }
  return scripts;
}

Bytes generate_profile_stream(size_t size, uint32_t seed, Switches switches) {
  return ProfileGenerator(size, seed, switches).run();
}

}  // namespace qbkit::test
