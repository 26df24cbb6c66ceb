// Builds QB token streams byte by byte for the decompiler tests.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>

#include "common/bytes.h"
#include "qb/tokens.h"

namespace qbkit::test {

class QbStream {
 public:
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
  QbStream& name_record(uint32_t checksum, const std::string& name) {
    op(qb::kNameRecord).u32(checksum);
    bytes_.insert(bytes_.end(), name.begin(), name.end());
    return op(0);
  }
  // A string token whose stored length counts the NUL.
  QbStream& string(uint8_t kind, const std::string& text) {
    op(kind).u32(static_cast<uint32_t>(text.size() + 1));
    bytes_.insert(bytes_.end(), text.begin(), text.end());
    return op(0);
  }
  size_t size() const { return bytes_.size(); }
  const Bytes& bytes() const { return bytes_; }
  operator ByteSpan() const { return bytes_; }

 private:
  Bytes bytes_;
};

}  // namespace qbkit::test
