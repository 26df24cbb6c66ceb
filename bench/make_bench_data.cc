// Writes the inputs of the whole-process benchmarks into a folder: a 7.7 MB QB file shaped like
// the game's scripts (big.qb); 210 script-like members of 3.2 MB in all, as files under
// scripts/ with the member list that `pack` reads (members.txt); for the language server, the
// largest script the game could hold, whose text is about 600 KB (large.qb); and, in profile/,
// the same for 210 scripts that decompile and compile back, one in four with switches, for the
// commands that work on script text.
#include <cstdio>
#include <filesystem>
#include <string>

#include "support/data_files.h"
#include "support/profile_stream.h"
#include "support/script_like_data.h"

namespace fs = std::filesystem;
using qbkit::test::write_data_file;

namespace {

void write_list(const fs::path& path, const std::string& list) {
  write_data_file(path, qbkit::ByteSpan(reinterpret_cast<const uint8_t*>(list.data()), list.size()));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_bench_data FOLDER\n");
    return 1;
  }
  const fs::path dir = argv[1];
  write_data_file(dir / "big.qb", qbkit::test::generate_profile_stream(7'700'000, 1));
  write_data_file(dir / "large.qb", qbkit::test::script_like_file(245'000, 3));
  const std::vector<qbkit::Bytes> members = qbkit::test::script_like_archive(210, 3'200'000, 7);
  std::string list;
  for (size_t i = 0; i < members.size(); ++i) {
    const std::string name = "scripts/game/script" + std::to_string(i) + ".qb";
    write_data_file(dir / name, members[i]);
    list += name + "\n";
  }
  write_list(dir / "members.txt", list);
  list.clear();
  const std::vector<qbkit::Bytes> scripts =
      qbkit::test::generate_profile_scripts(210, 3'200'000, 11, qbkit::test::Switches::kStandard);
  for (size_t i = 0; i < scripts.size(); ++i) {
    const std::string name = "scripts/game/script" + std::to_string(i) + ".qb";
    write_data_file(dir / "profile" / name, scripts[i]);
    list += name + "\n";
  }
  write_list(dir / "profile" / "members.txt", list);
  return 0;
}
