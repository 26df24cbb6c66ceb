// The printing pass: the header, every token record with its line breaks and tabs, the footer.
#pragma once

#include <string>

#include "decompiler/token_record.h"

namespace qbkit::decompiler {

// The whole script text for a decoded stream read from `path` (the path names the table
// file in the include line). Name tokens are looked up in the stream's name table here.
std::string print_text(const DecodedStream& stream, const std::string& path);

}  // namespace qbkit::decompiler
