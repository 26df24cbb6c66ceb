// The two variable-size operand formats, written and read in one place: the compiler, the
// decompiler and every test or benchmark that builds a stream use these.
//
// A string operand (tokens 0x1B and 0x1C) is a 32-bit length L that counts the terminating
// zero byte, then L bytes. A name record's operand (after token 0x2B) is the name's checksum,
// then the name and its zero byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string_view>

#include "common/bytes.h"

namespace qbkit::qb {

// The bytes of a string operand of `text`, and of a name record's operand of `name`.
inline size_t string_operand_size(std::string_view text) { return 4 + text.size() + 1; }
inline size_t name_record_operand_size(std::string_view name) { return 4 + name.size() + 1; }

// Writes the operand at `out`, which has room for its bytes; returns the end of what it wrote.
inline uint8_t* write_string_operand(uint8_t* out, std::string_view text) {
  store_u32le(out, static_cast<uint32_t>(text.size() + 1));
  if (!text.empty()) std::memcpy(out + 4, text.data(), text.size());
  out[4 + text.size()] = 0;
  return out + string_operand_size(text);
}
inline uint8_t* write_name_record_operand(uint8_t* out, uint32_t checksum, std::string_view name) {
  store_u32le(out, checksum);
  if (!name.empty()) std::memcpy(out + 4, name.data(), name.size());
  out[4 + name.size()] = 0;
  return out + name_record_operand_size(name);
}

inline void append_string_operand(Bytes& out, std::string_view text) {
  const size_t at = out.size();
  out.resize(at + string_operand_size(text));
  write_string_operand(out.data() + at, text);
}

struct StringOperand {
  std::string_view text;  // the stored bytes up to the first zero byte
  size_t size;            // bytes of the whole operand: 4 + L
};

// The string operand that starts at data[pos]. nullopt when its length field does not fit,
// L is 0, the L bytes run past the data, or none of them is a zero byte: such an operand
// cannot be shown without reading into the following tokens.
inline std::optional<StringOperand> read_string_operand(ByteSpan data, size_t pos) {
  if (pos > data.size() || data.size() - pos < 4) return std::nullopt;
  const uint32_t length = load_u32le(&data[pos]);
  if (length == 0 || data.size() - pos - 4 < length) return std::nullopt;
  const uint8_t* body = &data[pos + 4];
  const void* nul = std::memchr(body, 0, length);
  if (nul == nullptr) return std::nullopt;
  const size_t text_length = static_cast<size_t>(static_cast<const uint8_t*>(nul) - body);
  return StringOperand{std::string_view(reinterpret_cast<const char*>(body), text_length),
                       4 + static_cast<size_t>(length)};
}

inline void append_name_record_operand(Bytes& out, uint32_t checksum, std::string_view name) {
  const size_t at = out.size();
  out.resize(at + name_record_operand_size(name));
  write_name_record_operand(out.data() + at, checksum, name);
}

struct NameRecordOperand {
  uint32_t checksum;
  std::string_view name;  // up to the zero byte
  size_t size;            // bytes of the whole operand: 4 + name + 1
};

// The name record operand that starts at data[pos]. nullopt when the checksum does not fit
// or no zero byte ends the name within the data.
inline std::optional<NameRecordOperand> read_name_record_operand(ByteSpan data, size_t pos) {
  if (pos > data.size() || data.size() - pos < 4) return std::nullopt;
  const size_t rest = data.size() - pos - 4;
  if (rest == 0) return std::nullopt;
  const uint8_t* name = &data[pos + 4];
  const void* nul = std::memchr(name, 0, rest);
  if (nul == nullptr) return std::nullopt;
  const size_t length = static_cast<size_t>(static_cast<const uint8_t*>(nul) - name);
  return NameRecordOperand{load_u32le(&data[pos]),
                           std::string_view(reinterpret_cast<const char*>(name), length), 4 + length + 1};
}

}  // namespace qbkit::qb
