// Windows reads its inputs: see mapped_file.h.
#include "common/mapped_file.h"

namespace qbkit {

std::optional<MappedFile> MappedFile::map(const std::string&, size_t) { return std::nullopt; }

MappedFile::~MappedFile() = default;

bool MappedFile::changed() const { return false; }

}  // namespace qbkit
