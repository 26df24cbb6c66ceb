// Between the protocol's "file:" URIs and the paths of the file system.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace qbkit::lsp {

// The path of a "file:" URI, its escapes decoded as UTF-8 ("file:///c%3A/mods/a.qbs" is
// "c:/mods/a.qbs" on Windows); nullopt for any other URI, and for one that names another machine
// ("file://server/share/a.qbs").
std::optional<std::filesystem::path> path_from_uri(std::string_view uri);

// The "file:" URI of an absolute path, its bytes escaped as uri_escaped escapes them.
std::string uri_from_path(const std::filesystem::path& path);

// The bytes that the path of a URI stands for: each "%XX" decoded; a '%' not followed by two
// hexadecimal digits stands for itself.
std::string uri_unescaped(std::string_view escaped);

// `bytes` for the path of a URI: every byte but letters, digits and "-._~/" as "%XX".
std::string uri_escaped(std::string_view bytes);

}  // namespace qbkit::lsp
