// `qbkit --lsp`: the language server on standard input and output.
#pragma once

#include "common/console.h"
#include "common/error.h"

namespace qbkit::lsp {

// Serves one editor until it sends `exit` or closes standard input. Only protocol messages
// go to `console.out`.
ExitStatus run_language_server(const Console& console);

}  // namespace qbkit::lsp
