// Builds QB token streams byte by byte: the one stream builder of the tests, the fuzz targets
// and the benchmarks. The variable operands go through the same functions the compiler and
// the decompiler use, so a builder can never disagree with them on a format.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string_view>

#include "common/bytes.h"
#include "qb/operands.h"
#include "qb/tokens.h"

namespace qbkit::test {

class QbStream {
 public:
  // Capacity reserved up front: without it GCC 12 warns falsely about the first regrowth.
  QbStream() { bytes_.reserve(256); }
  QbStream& op(uint8_t b) {
    bytes_.push_back(b);
    return *this;
  }
  QbStream& raw(std::initializer_list<uint8_t> bs) {
    bytes_.insert(bytes_.end(), bs);
    return *this;
  }
  QbStream& u16(uint16_t v) {
    bytes_.push_back(static_cast<uint8_t>(v));
    bytes_.push_back(static_cast<uint8_t>(v >> 8));
    return *this;
  }
  QbStream& u32(uint32_t v) {
    append_u32le(bytes_, v);
    return *this;
  }
  QbStream& f32(float v) { return u32(float_to_bits(v)); }
  // An opcode followed by a 32-bit operand (name, integer, float, jump).
  QbStream& op32(uint8_t b, uint32_t v) { return op(b).u32(v); }
  QbStream& name_record(uint32_t checksum, std::string_view name) {
    op(qb::kNameRecord);
    qb::append_name_record_operand(bytes_, checksum, name);
    return *this;
  }
  // A string token (0x1B or 0x1C).
  QbStream& string(uint8_t kind, std::string_view text) {
    op(kind);
    qb::append_string_operand(bytes_, text);
    return *this;
  }

  // Offsets whose targets are known only later: a hole is written now and filled in once
  // the target position is known.
  // A short offset counts from its own first byte.
  size_t short_hole() {
    const size_t at = bytes_.size();
    u16(0);
    return at;
  }
  void fill_short(size_t at, size_t target) {
    store_u16le(&bytes_[at], static_cast<uint16_t>(target - at));
  }
  // A long offset counts from the byte after it.
  size_t long_hole() {
    const size_t at = bytes_.size();
    u32(0);
    return at;
  }
  void fill_long(size_t at, size_t target) {
    store_u32le(&bytes_[at], static_cast<uint32_t>(static_cast<int64_t>(target) -
                                                   static_cast<int64_t>(at + 4)));
  }

  size_t size() const { return bytes_.size(); }
  const Bytes& bytes() const { return bytes_; }
  Bytes take() { return std::move(bytes_); }
  operator ByteSpan() const { return bytes_; }

 private:
  Bytes bytes_;
};

}  // namespace qbkit::test
