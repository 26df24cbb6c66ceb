// The JSON of the protocol's structures, both ways. Places are converted between the
// engine's byte columns and the protocol's UTF-16 units through the open document they are
// in; in a text that is not open, each byte is one unit. Texts of the engine are single bytes
// and go out as UTF-8.
#pragma once

#include "lsp/document.h"
#include "lsp/engine.h"
#include "lsp/json_rpc.h"

namespace qbkit::lsp {

// {"line", "character"}; numbers out of range are taken as the nearest that fits.
Position position_from_json(const Json& value);
TextRange range_from_json(const Document& document, const Json& value);

Json range_json(const Document* document, const TextRange& range);
Json location_json(const DocumentStore& open, const Location& location);
Json diagnostic_json(const Document* document, const Diagnostic& diagnostic);
// A diagnostic that the editor hands back (a code action's context); the fields the server
// does not write are ignored.
Diagnostic diagnostic_from_json(const Document& document, const Json& value);

Json hover_json(const Document& document, const Hover& hover);
Json symbol_json(const Document& document, const Symbol& symbol);
Json completion_json(const CompletionItem& item);
Json code_action_json(const DocumentStore& open, const Document& document, const CodeAction& action);

}  // namespace qbkit::lsp
