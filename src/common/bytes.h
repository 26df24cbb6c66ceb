// Little-endian reading and writing over byte buffers.
//
// ByteReader never reads past the end of its span: a read that would throws TruncatedData,
// which callers turn into their own report (the decompiler's "Unknown instruction" record,
// an archive's "damaged" message).
#pragma once

#include <cstdint>
#include <cstring>
#include <span>
#include <stdexcept>
#include <vector>

namespace qbkit {

using Bytes = std::vector<uint8_t>;
using ByteSpan = std::span<const uint8_t>;

class TruncatedData : public std::out_of_range {
 public:
  TruncatedData() : std::out_of_range("read past the end of the data") {}
};

inline uint16_t load_u16le(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t load_u32le(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline float bits_to_float(uint32_t bits) {
  float f;
  std::memcpy(&f, &bits, sizeof f);
  return f;
}
inline uint32_t float_to_bits(float f) {
  uint32_t bits;
  std::memcpy(&bits, &f, sizeof bits);
  return bits;
}

inline void store_u16le(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
inline void store_u32le(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 16);
  p[3] = static_cast<uint8_t>(v >> 24);
}
inline void append_u32le(Bytes& out, uint32_t v) {
  uint8_t b[4];
  store_u32le(b, v);
  out.insert(out.end(), b, b + 4);
}

class ByteReader {
 public:
  explicit ByteReader(ByteSpan data, size_t pos = 0) : data_(data), pos_(pos) {}

  size_t pos() const { return pos_; }
  size_t size() const { return data_.size(); }
  size_t remaining() const { return pos_ < data_.size() ? data_.size() - pos_ : 0; }
  bool at_end() const { return pos_ >= data_.size(); }
  bool can_read(size_t n) const { return n <= remaining(); }
  ByteSpan data() const { return data_; }

  // The byte at pos()+ahead without moving; only valid when can_read(ahead + 1).
  uint8_t peek(size_t ahead = 0) const {
    require(ahead + 1);
    return data_[pos_ + ahead];
  }

  uint8_t u8() {
    require(1);
    return data_[pos_++];
  }
  uint16_t u16() {
    require(2);
    uint16_t v = load_u16le(&data_[pos_]);
    pos_ += 2;
    return v;
  }
  uint32_t u32() {
    require(4);
    uint32_t v = load_u32le(&data_[pos_]);
    pos_ += 4;
    return v;
  }
  int32_t i32() { return static_cast<int32_t>(u32()); }
  float f32() { return bits_to_float(u32()); }

  ByteSpan take(size_t n) {
    require(n);
    ByteSpan s = data_.subspan(pos_, n);
    pos_ += n;
    return s;
  }
  void skip(size_t n) {
    require(n);
    pos_ += n;
  }

 private:
  void require(size_t n) const {
    if (!can_read(n)) throw TruncatedData();
  }

  ByteSpan data_;
  size_t pos_;
};

}  // namespace qbkit
