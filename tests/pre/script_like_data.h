// Generated data shaped like compiled game scripts: token streams with name checksums,
// integers, floats, strings and vectors, followed by the name records. Used by the codec's
// differential tests and benchmarks, where real scripts are not at hand.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "common/bytes.h"
#include "qb/tokens.h"

namespace qbkit::test {

inline Bytes script_like_data(size_t size, uint32_t seed) {
  std::mt19937 rng(seed);
  const char* stems[] = {"skater", "ped",   "menu",  "goal",   "trick", "camera", "sound",
                         "anim",   "level", "score", "params", "pause", "career", "board"};
  const char* tails[] = {"_init", "_update", "_time", "_id", "_name", "_on", "_off", "_script",
                         "", "_2", "_max", "_speed"};
  struct Name {
    std::string text;
    uint32_t checksum;
  };
  std::vector<Name> names;
  for (int i = 0; i < 400; ++i) {
    std::string text = stems[rng() % 14];
    text += tails[rng() % 12];
    if (rng() % 3 == 0) {
      text += '_';
      text += std::to_string(rng() % 40);
    }
    names.push_back({text, static_cast<uint32_t>(rng())});
  }
  const char* strings[] = {"Press START to continue", "Level Complete", "textures/menu/icon",
                           "Loading...", "Trick Attack", "Goals", "options", "Restart Level"};

  Bytes out;
  auto op = [&](qb::Op o) { out.push_back(static_cast<uint8_t>(o)); };
  auto u32 = [&](uint32_t v) { append_u32le(out, v); };
  // Names are used with a skewed frequency, as in real scripts.
  auto name = [&] {
    op(qb::kName);
    size_t k = rng() % 400;
    u32(names[k * k / 400].checksum);
  };
  auto value = [&] {
    switch (rng() % 6) {
      case 0: op(qb::kInteger); u32(rng() % 5 == 0 ? rng() : rng() % 100); break;
      case 1: {
        op(qb::kFloat);
        float f = static_cast<float>(rng() % 2000) / 4.0f;
        u32(float_to_bits(f));
        break;
      }
      case 2: {
        op(qb::kString);
        std::string s = strings[rng() % 8];
        u32(static_cast<uint32_t>(s.size() + 1));
        out.insert(out.end(), s.begin(), s.end());
        out.push_back(0);
        break;
      }
      default: name(); break;
    }
  };
  while (out.size() + 8000 < size) {  // room for the name records
    op(qb::kLineBreak);
    op(qb::kFunction);
    name();
    int lines = 3 + static_cast<int>(rng() % 20);
    for (int l = 0; l < lines; ++l) {
      op(qb::kLineBreak);
      switch (rng() % 4) {
        case 0:  // name = value
          name(); op(qb::kEquals); value(); break;
        case 1:  // call with parameters
          name();
          for (int p = static_cast<int>(rng() % 4); p > 0; --p) { name(); op(qb::kEquals); value(); }
          break;
        case 2:  // if condition
          op(qb::kIf); op(qb::kParenOpen); name(); op(qb::kLess); value(); op(qb::kParenClose);
          op(qb::kLineBreak); name(); op(qb::kLineBreak); op(qb::kEndIf);
          break;
        default:  // a structure
          name(); op(qb::kEquals); op(qb::kStructOpen);
          for (int p = static_cast<int>(rng() % 3) + 1; p > 0; --p) { name(); op(qb::kEquals); value(); }
          op(qb::kStructClose);
      }
    }
    op(qb::kLineBreak);
    op(qb::kEndFunction);
  }
  for (const Name& n : names) {
    op(qb::kNameRecord);
    u32(n.checksum);
    out.insert(out.end(), n.text.begin(), n.text.end());
    out.push_back(0);
  }
  op(qb::kEnd);
  out.resize(size);
  return out;
}

}  // namespace qbkit::test
