// The structure check: one stack of open blocks for braces and blocks alike. An opener pushes
// its block; a closer or a middle word (else, case) must find its opener innermost. Mode c
// compiles what the block handlers accept, so what only this check finds is a finding: a
// warning there, an error with --check. Blocks do not reach across files: an included text
// sees only the blocks it opened itself.
#include "common/format.h"
#include "compiler/script_compiler.h"
#include "qb/tokens.h"

namespace qbkit::compiler {
namespace {

// A block's opener and closer as the text writes them: the token table's words, the
// brackets with their colon.
struct BlockWords {
  std::string opener;
  std::string closer;
};

BlockWords words_of(BlockKind kind) {
  const auto keywords = [](qb::Op open, qb::Op close) {
    return BlockWords{std::string(qb::word_of(open)), std::string(qb::word_of(close))};
  };
  const auto brackets = [](qb::Op open, qb::Op close) {
    return BlockWords{std::string(":").append(qb::word_of(open)), std::string(":").append(qb::word_of(close))};
  };
  switch (kind) {
    case BlockKind::kFunction: return keywords(qb::kFunction, qb::kEndFunction);
    case BlockKind::kIf: return keywords(qb::kIf, qb::kEndIf);
    case BlockKind::kDoIf: return keywords(qb::kDoIf, qb::kEndIf);
    case BlockKind::kWhile: return keywords(qb::kWhile, qb::kLoopTo);
    case BlockKind::kSwitch: return keywords(qb::kSwitch, qb::kEndSwitch);
    case BlockKind::kStruct: return brackets(qb::kStructOpen, qb::kStructClose);
    case BlockKind::kArray: break;
  }
  return brackets(qb::kArrayOpen, qb::kArrayClose);
}

}  // namespace

BlockGuard::BlockGuard(ScriptCompiler& c, BlockKind kind, size_t at)
    : c_(c), depth_(kind == BlockKind::kSwitch ? c.switch_depth_ : c.if_depth_), index_(c.blocks_.size()) {
  ++depth_;
  c_.blocks_.push_back({kind, true, {c_.source_, at}});
}

BlockGuard::~BlockGuard() {
  --depth_;
  c_.blocks_.erase(c_.blocks_.begin() + static_cast<std::ptrdiff_t>(index_));
}

std::string ScriptCompiler::block_name(const OpenBlock& b) const {
  return format("'%s' of line %i", words_of(b.kind).opener.c_str(), sources_.locate(b.opener.source, b.opener.offset).line);
}

std::optional<size_t> ScriptCompiler::innermost_handled() const {
  for (size_t i = blocks_.size(); i-- > block_base_;) {
    if (blocks_[i].handled) return i;
  }
  return std::nullopt;
}

void ScriptCompiler::open_plain(BlockKind kind, size_t at) {
  for (size_t i = blocks_.size(); kind == BlockKind::kFunction && i-- > block_base_;) {
    if (blocks_[i].kind != BlockKind::kFunction) continue;
    finding({at, code::kNestedFunction,
             format("'function' inside the %s: add 'endfunction' before it", block_name(blocks_[i]).c_str())});
    // That function is taken as ended here, unless a handler's block opened inside it is open.
    const std::optional<size_t> handled = innermost_handled();
    if (!handled || *handled < i) blocks_.resize(i);
    break;
  }
  blocks_.push_back({kind, false, {source_, at}});
}

void ScriptCompiler::close_plain(BlockKind kind, std::string_view word, size_t at, bool middle) {
  // The usual case: the block is the innermost one.
  if (blocks_.size() > block_base_ && blocks_.back().kind == kind && !blocks_.back().handled) {
    if (!middle) blocks_.pop_back();
    return;
  }
  size_t i = blocks_.size();
  while (i > block_base_ && blocks_[i - 1].kind != kind) --i;
  if (i == block_base_) {
    finding({at, code::kStrayCloser,
             format("'%s' without an open '%s'", std::string(word).c_str(), words_of(kind).opener.c_str())});
    return;
  }
  const OpenBlock& opener = blocks_[i - 1];
  const std::optional<size_t> handled = innermost_handled();
  if (handled && *handled >= i) {
    const OpenBlock& open = blocks_[*handled];
    finding({at, code::kWrongCloser,
             format("'%s' inside the %s, which is not closed: add '%s' before it", std::string(word).c_str(),
                    block_name(open).c_str(), words_of(open.kind).closer.c_str())});
    return;
  }
  if (i < blocks_.size()) {
    finding({at, code::kWrongCloser,
             format("'%s' closes the %s, but the %s is still open: add '%s' before it", std::string(word).c_str(),
                    block_name(opener).c_str(), block_name(blocks_[i]).c_str(), words_of(blocks_[i].kind).closer.c_str())});
  }
  blocks_.resize(middle ? i : i - 1);
}

void ScriptCompiler::close_handled(size_t index, std::string_view word, size_t at) {
  if (blocks_.size() <= index + 1) return;
  const OpenBlock& inner = blocks_[index + 1];
  finding({at, code::kWrongCloser,
           format("'%s' closes the %s, but the %s is still open: add '%s' before it", std::string(word).c_str(),
                  block_name(blocks_[index]).c_str(), block_name(inner).c_str(), words_of(inner.kind).closer.c_str())});
  blocks_.resize(index + 1);
}

void ScriptCompiler::end_blocks(size_t base) {
  for (size_t i = base; i < blocks_.size(); ++i) {
    const BlockWords words = words_of(blocks_[i].kind);
    finding({blocks_[i].opener.offset, code::kUnclosedBlock,
             format("'%s' is never closed: add '%s'", words.opener.c_str(), words.closer.c_str()), {}, blocks_[i].opener.source});
  }
  blocks_.resize(base);
}

}  // namespace qbkit::compiler
