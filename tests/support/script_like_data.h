// Generated data shaped like the game's compiled scripts, for the codec's differential tests
// and benchmarks, where real scripts are not at hand.
//
// What the shape follows, measured on the game's own scripts: a third of the tokens are name
// references (5 bytes each), then line breaks and `=`; name records are 6% of the tokens but
// 28% of the bytes, strings 2% of the tokens and 16% of the bytes. A file declares each name
// it uses once, in a record after the statements, and uses a name a few times. File sizes:
// median about 6 KB, one in ten above 34 KB, none above 294 KB. Names are 14 characters
// (median), strings 21. Popular names (the skater, the menus) recur in many files.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "common/bytes.h"
#include "qb/tokens.h"

namespace qbkit::test {

namespace script_like {

struct Name {
  std::string text;
  uint32_t checksum;
};

// Every name a game could use, most popular first; the same for every seed.
inline const std::vector<Name>& vocabulary() {
  static const std::vector<Name> names = [] {
    std::mt19937 rng(977);
    const char* stems[] = {"skater", "ped",   "menu",  "goal",   "trick", "camera", "sound",
                           "anim",   "level", "score", "params", "pause", "career", "board",
                           "gap",    "combo", "rail",  "grind",  "manual", "vert",  "cas",
                           "panel",  "sprite", "text", "element", "screen", "object", "spawn"};
    const char* parts[] = {"_init", "_update", "_time", "_id", "_name", "_on", "_off", "_script",
                           "_max", "_speed", "_state", "_flags", "_pos", "_type", "_anim",
                           "_handler", "_menu", "_text", "_color", "_scale", "_alpha", "_wait"};
    std::vector<Name> out;
    for (int i = 0; i < 6000; ++i) {
      std::string text = stems[rng() % std::size(stems)];
      for (int k = static_cast<int>(rng() % 4) / 2; k >= 0; --k) text += parts[rng() % std::size(parts)];
      if (rng() % 4 == 0) {
        text += '_';
        text += std::to_string(rng() % 30);
      }
      out.push_back({text, static_cast<uint32_t>(rng())});
    }
    return out;
  }();
  return names;
}

// One script of about `size` bytes: functions of statements, then a name record for each name
// used, then the end token.
class FileWriter {
 public:
  FileWriter(std::mt19937& rng, size_t size) : rng_(rng) {
    // About one distinct name per 55 bytes of file; popular names are likelier in any file.
    size_t distinct = std::max<size_t>(8, size / 55);
    const std::vector<Name>& all = vocabulary();
    for (size_t i = 0; i < distinct; ++i) {
      double u = uniform();
      pool_.push_back(static_cast<uint32_t>(static_cast<double>(all.size()) * u * u * u));
    }
    used_.assign(all.size(), false);
    while (out_.size() + used_names_ * 20 < size) function();
    for (size_t k = 0; k < all.size(); ++k) {
      if (!used_[k]) continue;
      op(qb::kNameRecord);
      append_u32le(out_, all[k].checksum);
      out_.insert(out_.end(), all[k].text.begin(), all[k].text.end());
      out_.push_back(0);
    }
    op(qb::kEnd);
  }

  Bytes take() { return std::move(out_); }

 private:
  double uniform() { return std::uniform_real_distribution<double>(0.0, 1.0)(rng_); }
  unsigned pick(unsigned n) { return static_cast<unsigned>(rng_() % n); }
  void op(qb::Op o) { out_.push_back(static_cast<uint8_t>(o)); }
  void u32(uint32_t v) { append_u32le(out_, v); }

  // A name of the file's pool, the first ones used most.
  void name() {
    double u = uniform();
    uint32_t k = pool_[static_cast<size_t>(static_cast<double>(pool_.size()) * u * u)];
    used_names_ += used_[k] ? 0 : 1;
    used_[k] = true;
    op(qb::kName);
    u32(vocabulary()[k].checksum);
  }

  void string_operand(qb::Op o) {
    static const char* words[] = {"Press", "START", "to", "continue", "Level", "Complete",
                                  "textures/menu/", "icon", "Loading...", "Trick", "Attack",
                                  "Goals", "options", "Restart", "the", "a", "Skater", "Score"};
    std::string s = words[pick(std::size(words))];
    size_t length = 5 + pick(24) + (pick(6) == 0 ? pick(40) : 0);
    while (s.size() < length) {
      s += ' ';
      s += words[pick(std::size(words))];
    }
    op(o);
    u32(static_cast<uint32_t>(s.size() + 1));
    out_.insert(out_.end(), s.begin(), s.end());
    out_.push_back(0);
  }

  void float_operand() {
    static const float common[] = {0.0f, 0.5f, 1.0f, 2.0f, 0.25f, 10.0f, 100.0f, 0.1f, 1.5f, 3.0f};
    u32(float_to_bits(pick(3) == 0 ? static_cast<float>(pick(2000)) / 8.0f : common[pick(10)]));
  }

  void value() {
    unsigned k = pick(100);
    if (k < 30) {
      op(qb::kInteger);
      u32(pick(6) == 0 ? static_cast<uint32_t>(rng_()) : pick(pick(4) == 0 ? 1000 : 10));
    } else if (k < 52) {
      name();
    } else if (k < 60) {
      op(qb::kGlobal);
      name();
    } else if (k < 68) {
      op(qb::kFloat);
      float_operand();
    } else if (k < 84) {
      string_operand(qb::kString);
    } else if (k < 88) {
      string_operand(qb::kLocalString);
    } else if (k < 93) {
      op(qb::kVector2);
      float_operand();
      float_operand();
    } else if (k < 96) {
      op(qb::kStructOpen);
      for (unsigned p = 1 + pick(3); p > 0; --p) parameter();
      op(qb::kStructClose);
    } else {
      op(qb::kArrayOpen);
      for (unsigned p = 1 + pick(4); p > 0; --p) value();
      op(qb::kArrayClose);
    }
  }

  // A call's parameter: name = value, a bare name, or a parameter reference.
  void parameter() {
    unsigned k = pick(10);
    if (k < 6) {
      name();
      op(qb::kEquals);
      value();
    } else if (k < 8) {
      name();
    } else {
      op(qb::kGlobal);
      name();
    }
  }

  void line() {
    op(qb::kLineBreak);
    unsigned k = pick(100);
    if (k < 40) {  // name = value
      name();
      op(qb::kEquals);
      value();
    } else if (k < 78) {  // a call with parameters
      name();
      for (unsigned p = pick(4); p > 0; --p) parameter();
    } else if (k < 81) {  // an array
      name();
      op(qb::kEquals);
      op(qb::kArrayOpen);
      for (unsigned p = 1 + pick(4); p > 0; --p) value();
      op(qb::kArrayClose);
    } else if (k < 92) {  // a structure
      name();
      op(qb::kEquals);
      op(qb::kStructOpen);
      for (unsigned p = 1 + pick(3); p > 0; --p) parameter();
      op(qb::kStructClose);
    } else {  // a conditional around a line or two
      if (pick(2) == 0) {
        op(qb::kIf);
        out_.push_back(static_cast<uint8_t>(8 + pick(40)));
        out_.push_back(0);
      } else {
        op(qb::kDoIf);
      }
      if (pick(3) == 0) op(qb::kIsNull);
      bool parens = pick(2) == 0;
      if (parens) op(qb::kParenOpen);
      name();
      if (parens) op(qb::kParenClose);
      for (unsigned l = 1 + pick(2); l > 0; --l) {
        op(qb::kLineBreak);
        name();
        if (pick(2) == 0) parameter();
      }
      op(qb::kLineBreak);
      op(qb::kEndIf);
    }
  }

  void function() {
    op(qb::kLineBreak);
    op(qb::kFunction);
    name();
    for (unsigned l = 5 + pick(40); l > 0; --l) line();
    op(qb::kLineBreak);
    op(qb::kEndFunction);
  }

  std::mt19937& rng_;
  std::vector<uint32_t> pool_;  // vocabulary indexes of the file's names
  std::vector<bool> used_;
  size_t used_names_ = 0;
  Bytes out_;
};

// A file size drawn as the game's are: median about 6 KB, one in ten above 34 KB.
inline size_t file_size(std::mt19937& rng) {
  double z = std::normal_distribution<double>(0.0, 1.0)(rng);
  return static_cast<size_t>(std::clamp(6100.0 * std::exp(1.34 * z), 200.0, 294000.0));
}

}  // namespace script_like

// One script of about `size` bytes.
inline Bytes script_like_file(size_t size, uint32_t seed) {
  std::mt19937 rng(seed);
  return script_like::FileWriter(rng, size).take();
}

// Scripts of the game's sizes, `total` bytes together (the last one cut to fit).
inline std::vector<Bytes> script_like_files(size_t total, uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<Bytes> files;
  size_t size = 0;
  while (size < total) {
    Bytes file = script_like::FileWriter(rng, script_like::file_size(rng)).take();
    file.resize(std::min(file.size(), total - size));
    size += file.size();
    files.push_back(std::move(file));
  }
  return files;
}

// `count` scripts of the game's sizes, scaled to about `total` bytes together: an archive's
// members.
inline std::vector<Bytes> script_like_archive(size_t count, size_t total, uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<size_t> sizes(count);
  double sum = 0;
  for (size_t& size : sizes) sum += static_cast<double>(size = script_like::file_size(rng));
  std::vector<Bytes> files;
  for (size_t size : sizes)
    files.push_back(script_like::FileWriter(rng, static_cast<size_t>(static_cast<double>(size) * static_cast<double>(total) / sum)).take());
  return files;
}

// Exactly `size` bytes of script-like data: one script when it is small, else scripts of the
// game's sizes one after another, as an archive holds them.
inline Bytes script_like_data(size_t size, uint32_t seed) {
  Bytes out;
  if (size <= 12000) {
    out = script_like_file(size, seed);
    while (out.size() < size) {
      Bytes more = script_like_file(size - out.size(), seed + static_cast<uint32_t>(out.size()));
      out.insert(out.end(), more.begin(), more.end());
    }
  } else {
    for (const Bytes& file : script_like_files(size, seed)) out.insert(out.end(), file.begin(), file.end());
  }
  out.resize(size);
  return out;
}

// The earlier generator, kept so that benchmarks can be compared with older figures: one
// set of 400 names for the whole of `size` bytes, all their records at the end, and fewer
// kinds of statements than the game's scripts hold.
inline Bytes one_vocabulary_data(size_t size, uint32_t seed) {
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
  while (out.size() + 8000 < size) {  // space for the name records
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
