#include "commands/member_buffers.h"

#include <algorithm>
#include <numeric>
#include <optional>

#include "common/file_io.h"
#include "common/parallel.h"
#include "commands/command_files.h"
#include "lzss/game_encoder.h"

namespace qbkit::commands {
namespace {

// Where each of `count` pieces starts in one buffer that holds them one after another, piece
// k taking capacity_of(k) bytes; one more entry gives the total.
template <typename CapacityOf>
std::vector<size_t> piece_starts(size_t count, CapacityOf capacity_of) {
  std::vector<size_t> start(count + 1, 0);
  for (size_t k = 0; k < count; ++k) start[k + 1] = start[k] + capacity_of(k);
  return start;
}

}  // namespace

MemberFiles::MemberFiles(std::span<const std::string> paths, const std::string& archive_path)
    : grown_(paths.size()), data_(paths.size()) {
  const std::vector<size_t> start = piece_starts(paths.size(), [&](size_t k) { return member_file_capacity(paths[k]); });
  arena_ = PageBuffer(start.back());
  run_in_parallel(paths.size(), [&](size_t k) {
    const std::span<uint8_t> piece(arena_.data() + start[k], start[k + 1] - start[k]);
    std::optional<size_t> used;
    if (!piece.empty() && !(used = read_file_into(paths[k], piece))) throw_cannot_read_member(paths[k]);
    if (used && *used < piece.size()) {
      data_[k] = piece.first(*used);
    } else {
      grown_[k] = read_member_file(paths[k], archive_path);
      data_[k] = grown_[k];
    }
  });
}

GameStreams::GameStreams(std::span<const ByteSpan> files) : data_(files.size()) {
  const std::vector<size_t> start =
      piece_starts(files.size(), [&](size_t k) { return lzss::game_stream_bound(files[k].size()); });
  arena_ = PageBuffer(start.back());
  std::vector<size_t> order(files.size());
  std::iota(order.begin(), order.end(), size_t{0});
  std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return files[a].size() > files[b].size(); });
  run_in_parallel(files.size(), [&](size_t i) {
    const size_t k = order[i];
    const ByteSpan input = files[k];
    data_[k] = {static_cast<uint32_t>(input.size()), 0, input};
    if (input.empty()) return;
    const size_t size = lzss::compress_game_into(input, arena_.data() + start[k]);
    if (100 * uint64_t{size} > 85 * uint64_t{input.size()}) return;
    data_[k] = {static_cast<uint32_t>(input.size()), static_cast<uint32_t>(size),
                ByteSpan(arena_.data() + start[k], size)};
  });
}

}  // namespace qbkit::commands
