#include "commands/command_files.h"

#include <ostream>
#include <utility>

#include "common/error.h"
#include "common/format.h"
#include "pre/archive.h"

namespace qbkit::commands {

void throw_cannot_open_archive(const std::string& path) {
  throw Error(kExitNoAccess, format("Couldn't open file '%s' for reading!\n", path.c_str()));
}

void throw_cannot_read_member(const std::string& path) {
  throw Error(kExitNoAccess, format("Couldn't open QB file '%s' for reading!\n", path.c_str()));
}

void throw_cannot_write(const std::string& path) {
  throw Error(kExitNoAccess, format("Couldn't open file '%s'!\n", path.c_str()));
}

void throw_too_large(const std::string& archive_path, const std::string& member) {
  throw Error(kExitFailure,
              format("Archive '%s' cannot hold '%s': an archive holds at most 4 GiB\n", archive_path.c_str(),
                     member.c_str()),
              Echo::kWhenRedirected);
}

void report_failure(const Console& console, const std::string& line) {
  console.out << line;
  if (console.out_is_terminal) return;
  console.out.flush();
  console.err << line;
}

std::string path_in(const std::string& dir, const std::string& path) {
  return !dir.empty() && (dir.back() == '/' || dir.back() == '\\') ? dir + path : dir + "/" + path;
}

Bytes read_input(const std::string& path) {
  std::optional<Bytes> data = read_file(path);
  if (!data) throw_cannot_open_archive(path);
  return std::move(*data);
}

ArchiveFile read_archive(const std::string& path) {
  ArchiveFile archive{read_input(path), {}};
  archive.members = pre::archive_members(archive.file, path);
  return archive;
}

Bytes read_member_file(const std::string& path, const std::string& archive_path) {
  std::optional<Bytes> data = read_file(path);
  if (!data) throw_cannot_read_member(path);
  check_member_size(data->size(), path, archive_path);
  return std::move(*data);
}

void check_member_size(size_t size, const std::string& path, const std::string& archive_path) {
  if (!pre::sizes_fit(0, size)) throw_too_large(archive_path, path);
}

size_t member_file_capacity(const std::string& path) {
  const size_t listed = file_size_now(path);
  return pre::sizes_fit(0, listed) ? listed + 1 : 0;
}

std::optional<AppendTarget> open_for_append(const std::string& path) {
  std::optional<LockedFile> locked = LockedFile::open(path);
  if (!locked) return std::nullopt;
  // The views stay valid: moving the file moves its buffer, not the bytes in it.
  pre::AppendableArchive archive = pre::appendable_archive(locked->content(), path);
  return AppendTarget{std::move(*locked), std::move(archive)};
}

void check_output(FileSystem& files, const std::string& path) {
  if (!files.may_replace(path)) throw_cannot_write(path);
}

void write_output(FileSystem& files, const std::string& path, std::span<const ByteSpan> pieces) {
  if (!files.replace(path, pieces)) throw_cannot_write(path);
}

}  // namespace qbkit::commands
