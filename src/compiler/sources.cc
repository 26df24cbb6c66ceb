#include "compiler/sources.h"

#include <algorithm>
#include <cstring>

namespace qbkit::compiler {

uint32_t SourceSet::add(InputBytes text, std::string name, const Place* from) {
  text.pad(kTextPadding);
  Source s{std::move(text), std::move(name), {}};
  if (from != nullptr) {
    s.chain = sources_[from->source].chain;
    s.chain.push_back(from->offset);
  }
  sources_.push_back(std::move(s));
  return static_cast<uint32_t>(sources_.size() - 1);
}

Location SourceSet::locate(uint32_t id, size_t offset) const {
  const Source& s = sources_[id];
  offset = std::min(offset, s.text.size());
  if (offset < s.counted) {
    s.counted = 0;
    s.line = 1;
    s.line_start = 0;
  }
  const uint8_t* base = s.text.data();
  for (const uint8_t *p = base + s.counted, *end = base + offset;
       (p = static_cast<const uint8_t*>(std::memchr(p, '\n', static_cast<size_t>(end - p)))) != nullptr; ++p) {
    ++s.line;
    s.line_start = static_cast<size_t>(p - base) + 1;
  }
  s.counted = offset;
  const size_t from = std::max(s.line_start, s.line == 1 ? s.start : 0);
  return {s.line, offset >= from ? static_cast<int>(offset - from) + 1 : 1};
}

bool SourceSet::before(Place a, Place b) const {
  const std::vector<size_t>& ca = sources_[a.source].chain;
  const std::vector<size_t>& cb = sources_[b.source].chain;
  const size_t common = std::min(ca.size(), cb.size());
  for (size_t i = 0; i < common; ++i) {
    if (ca[i] != cb[i]) return ca[i] < cb[i];
  }
  // One chain starts the other: the shorter key comes first up to the "%include" line that
  // leads into the longer, that line included.
  if (ca.size() == cb.size()) return a.offset < b.offset;
  if (ca.size() < cb.size()) return a.offset <= cb[common];
  return b.offset > ca[common];
}

}  // namespace qbkit::compiler
