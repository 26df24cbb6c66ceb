#include "lsp/source_loader.h"

#include <algorithm>

#include "lsp/uri.h"
#include "lsp/workspace_files.h"

namespace qbkit::lsp {
namespace {

namespace fs = std::filesystem;

}  // namespace

SourceLoader::SourceLoader(const Document& main, WorkspaceFiles& files, OpenLookup open)
    : files_(files), open_(std::move(open)) {
  const std::optional<fs::path> path = path_from_uri(main.uri());
  base_ = path ? path->parent_path() : fs::current_path();
  sources_.push_back({main.uri(), main.uri(), file_key_of_uri(main.uri()), path.value_or(fs::path()), main.text()});
}

const CheckedSource* SourceLoader::by_name(const std::string& name) const {
  const auto it = std::find_if(sources_.begin(), sources_.end(), [&](const CheckedSource& s) { return s.name == name; });
  return it == sources_.end() ? nullptr : &*it;
}

LoadedSource SourceLoader::load(const std::string& name, const std::string& including) {
  // The name's bytes as the system's file functions take them, as --check passes them on.
  const fs::path given(name);
  if (given.is_absolute()) return read(name, given);
  LoadedSource found = read(name, base_ / given);
  const CheckedSource* from = by_name(including);
  if (!found.failure.empty() && from && !from->path.empty() && from->path.parent_path() != base_) {
    LoadedSource beside = read(name, from->path.parent_path() / given);
    if (beside.failure.empty()) return beside;
  }
  return found;
}

LoadedSource SourceLoader::read(const std::string& name, const fs::path& path) {
  const std::string key = file_key(path);
  std::string text;
  std::string uri;
  std::string failure;
  if (const Document* document = open_(key)) {
    text = document->text();
    uri = document->uri();
  } else if (std::optional<std::string> bytes = files_.read(path, &failure)) {
    text = std::move(*bytes);
    uri = uri_from_path(path.lexically_normal());
  } else {
    return {{}, {}, std::move(failure)};
  }
  Bytes bytes(text.begin(), text.end());
  bytes.reserve(bytes.size() + 1);
  sources_.push_back({name, std::move(uri), key, path, std::move(text)});
  return {std::move(bytes), key, {}};
}

}  // namespace qbkit::lsp
