#include "lsp/script_engine.h"

#include <algorithm>

#include "lsp/completion.h"
#include "lsp/declare_action.h"
#include "lsp/document_check.h"
#include "lsp/hover_builder.h"
#include "lsp/name_lookup.h"
#include "lsp/uri.h"
#include "lsp/workspace_files.h"
#include "scripts/name_finder.h"

namespace qbkit::lsp {
namespace {

namespace fs = std::filesystem;

// Later answers for one URI replace earlier ones: the last check of a document stands.
void merge(std::vector<DocumentDiagnostics>& into, std::vector<DocumentDiagnostics> more) {
  for (DocumentDiagnostics& d : more) {
    const auto same = std::find_if(into.begin(), into.end(), [&](const auto& e) { return e.uri == d.uri; });
    if (same != into.end()) {
      *same = std::move(d);
    } else {
      into.push_back(std::move(d));
    }
  }
}

}  // namespace

std::vector<std::string> ScriptEngine::configure(const WorkspaceSettings& settings) {
  settings_ = settings;
  workspace_.clear();
  for (const fs::path& folder : settings_.folders) {
    for (const fs::path& file : files_.script_files_under(folder)) {
      if (std::optional<std::string> text = files_.read(file))
        workspace_.put(file_key(file), std::make_shared<ScannedText>(uri_from_path(file.lexically_normal()), std::move(*text)));
    }
  }
  for (const auto& [uri, document] : open_) {
    if (!document.key.starts_with(kMemberScheme)) workspace_.put(document.key, document.sources.front().text);
  }
  return archives_.load(settings_.archives, files_);
}

std::vector<DocumentDiagnostics> ScriptEngine::diagnose(const Document& changed, const DocumentStore& open) {
  if (changed.uri().starts_with(kMemberScheme)) return show_member(changed);
  const std::string key = file_key_of_uri(changed.uri());
  open_keys_[key] = changed.uri();
  workspace_.put(key, std::make_shared<ScannedText>(changed.uri(), changed.text()));
  std::vector<DocumentDiagnostics> published = check(changed, open);
  merge(published, check_readers(key, open));
  return published;
}

void ScriptEngine::saved(const Document&) {}

std::vector<DocumentDiagnostics> ScriptEngine::closed(const std::string& uri, const DocumentStore& open) {
  const auto entry = open_.find(uri);
  const std::string key = entry != open_.end() ? entry->second.key : file_key_of_uri(uri);
  if (entry != open_.end()) open_.erase(entry);
  open_keys_.erase(key);
  index_from_disk(key, uri);
  std::vector<DocumentDiagnostics> published = board_.withdraw(uri);
  merge(published, check_readers(key, open));
  return published;
}

std::vector<DocumentDiagnostics> ScriptEngine::check(const Document& document, const DocumentStore& open) {
  const auto lookup = [&](const std::string& key) -> const Document* {
    const auto it = open_keys_.find(key);
    return it == open_keys_.end() ? nullptr : open.find(it->second);
  };
  DocumentCheck result = check_document(document, files_, lookup);
  const auto before = open_.find(document.uri());
  OpenDocument entry{file_key_of_uri(document.uri()), {}, {}};
  for (CheckedSource& source : result.sources) {
    entry.keys.push_back(source.key);
    entry.sources.push_back({source.name, scanned(source, before == open_.end() ? nullptr : &before->second.sources)});
  }
  open_.insert_or_assign(document.uri(), std::move(entry));
  return board_.post(document.uri(), std::move(result.diagnostics));
}

std::vector<DocumentDiagnostics> ScriptEngine::show_member(const Document& document) {
  SharedText text = archives_.find(document.uri());
  if (!text || text->text != document.text()) text = std::make_shared<ScannedText>(document.uri(), document.text());
  OpenDocument entry{document.uri(), {}, {document.uri()}};
  entry.sources.push_back({document.uri(), std::move(text)});
  // Its table file, as the text's %include line reads it: hover and definition find the
  // member's declarations there.
  if (SharedText table = archives_.table_of(document.uri())) entry.sources.push_back({table->uri, std::move(table)});
  open_.insert_or_assign(document.uri(), std::move(entry));
  return board_.post(document.uri(), {});
}

std::vector<DocumentDiagnostics> ScriptEngine::check_readers(const std::string& key, const DocumentStore& open) {
  std::vector<std::string> readers;
  for (const auto& [uri, document] : open_) {
    if (document.key != key && std::find(document.keys.begin(), document.keys.end(), key) != document.keys.end())
      readers.push_back(uri);
  }
  std::vector<DocumentDiagnostics> published;
  for (const std::string& uri : readers) {
    if (const Document* reader = open.find(uri)) merge(published, check(*reader, open));
  }
  return published;
}

SharedText ScriptEngine::scanned(CheckedSource& source, const ReadTexts* before) const {
  const auto same = [&](const SharedText& t) { return t && t->uri == source.uri && t->text == source.text; };
  if (SharedText indexed = workspace_.find(source.key); same(indexed)) return indexed;
  if (before) {
    for (const ReadText& read : *before) {
      if (same(read.text)) return read.text;
    }
  }
  return std::make_shared<ScannedText>(std::move(source.uri), std::move(source.text));
}

void ScriptEngine::index_from_disk(const std::string& key, const std::string& uri) {
  const std::optional<fs::path> path = path_from_uri(uri);
  const bool in_workspace = path && is_script_file(*path) &&
                            std::any_of(settings_.folders.begin(), settings_.folders.end(), [&](const fs::path& f) {
                              return key.starts_with(file_key(f) + "/");
                            });
  std::optional<std::string> text = in_workspace ? files_.read(*path) : std::nullopt;
  if (text) {
    workspace_.put(key, std::make_shared<ScannedText>(uri, std::move(*text)));
  } else {
    workspace_.remove(key);
  }
}

const ReadTexts& ScriptEngine::sources_of(const Document& document) {
  auto it = open_.find(document.uri());
  if (it == open_.end()) {
    // Never diagnosed (the engine is always told first): the document alone.
    OpenDocument alone{file_key_of_uri(document.uri()), {}, {}};
    alone.sources.push_back({document.uri(), std::make_shared<ScannedText>(document.uri(), document.text())});
    it = open_.emplace(document.uri(), std::move(alone)).first;
  }
  return it->second.sources;
}

std::vector<FoundFunction> ScriptEngine::functions_named(uint32_t checksum, const Document& document) const {
  std::vector<FoundFunction> found = workspace_.functions(checksum);
  std::stable_partition(found.begin(), found.end(), [&](const FoundFunction& f) { return f.text->uri == document.uri(); });
  if (!found.empty()) return found;
  for (const SharedText& text : archives_.texts()) add_functions_named(*text, checksum, found);
  return found;
}

std::string ScriptEngine::shown_name(const std::string& uri) const {
  if (std::optional<std::string> member = shown_member_name(uri)) return *member;
  const std::optional<fs::path> path = path_from_uri(uri);
  if (!path) return uri;
  if (!settings_.folders.empty()) {
    const fs::path relative = path->lexically_normal().lexically_relative(settings_.folders.front().lexically_normal());
    if (!relative.empty() && *relative.begin() != "..") {
      const std::u8string shown = relative.generic_u8string();
      return std::string(shown.begin(), shown.end());
    }
  }
  const std::u8string name = path->filename().u8string();
  return std::string(name.begin(), name.end());
}

std::optional<Hover> ScriptEngine::hover(const Document& document, TextPosition at) {
  const ReadTexts& sources = sources_of(document);
  const ScannedText& text = *sources.front().text;
  const std::optional<NameMention> name = name_at(text.text, text.scan, document.offset_of(at));
  if (!name) return std::nullopt;
  const HoverFacts facts{text[name->name], name->checksum, find_declaration(sources, text[name->name]),
                         functions_named(name->checksum, document)};
  return Hover{hover_markdown(facts, [this](const std::string& uri) { return shown_name(uri); }),
               text.range(name->whole)};
}

std::vector<Location> ScriptEngine::definition(const Document& document, TextPosition at) {
  const ReadTexts& sources = sources_of(document);
  const ScannedText& text = *sources.front().text;
  const std::optional<NameMention> name = name_at(text.text, text.scan, document.offset_of(at));
  if (!name) return {};
  std::vector<Location> found;
  for (const FoundFunction& f : functions_named(name->checksum, document)) {
    const Span line{f.function->whole.start, f.text->scan.names[f.function->name_index].whole.end};
    found.push_back(f.text->location(line));
  }
  // A name that no function has: where the compile finds its declaration.
  if (found.empty()) {
    if (const std::optional<FoundDeclaration> d = find_declaration(sources, text[name->name]))
      found.push_back(d->text->location(d->declaration->line));
  }
  return found;
}

// Every place where the name is declared, defined or used, as --refs finds them: the
// workspace's files (open documents as the editor holds them), then the archives' members.
std::vector<Location> ScriptEngine::references(const Document& document, TextPosition at, bool with_declaration) {
  const ScannedText& text = *sources_of(document).front().text;
  const std::optional<NameMention> name = name_at(text.text, text.scan, document.offset_of(at));
  if (!name) return {};
  std::vector<Location> found;
  const auto search = [&](const ScannedText& in) {
    for (const scripts::NameOccurrence& o : scripts::find_names(in.text, name->checksum)) {
      if (with_declaration || o.role == scripts::NameRole::kUse)
        found.push_back(in.location({o.offset, static_cast<size_t>(o.name.data() - in.text.data()) + o.name.size() + 1}));
    }
  };
  for (const auto& [key, in] : workspace_.texts()) search(*in);
  for (const SharedText& in : archives_.texts()) search(*in);
  return found;
}

std::vector<Symbol> ScriptEngine::symbols(const Document& document) {
  const ScannedText& text = *sources_of(document).front().text;
  std::vector<Symbol> symbols;
  for (const FunctionExtent& f : text.scan.functions) {
    const NameMention& name = text.scan.names[f.name_index];
    symbols.push_back({std::string(text[name.name]), text.range(f.whole), text.range(name.whole)});
  }
  return symbols;
}

CompletionList ScriptEngine::completion(const Document& document, TextPosition at) {
  return completion_items(sources_of(document), document.offset_of(at), workspace_);
}

std::vector<CodeAction> ScriptEngine::code_actions(const Document& document, TextRange,
                                                   const std::vector<Diagnostic>& context) {
  const ReadTexts& sources = sources_of(document);
  std::vector<CodeAction> actions;
  for (const Diagnostic& d : context) {
    if (d.code != "unknown-name") continue;
    std::optional<CodeAction> action = declare_action(sources, d);
    if (!action) continue;
    const auto same = std::find_if(actions.begin(), actions.end(), [&](const CodeAction& a) { return a.title == action->title; });
    if (same != actions.end()) {
      same->diagnostics.push_back(d);
    } else {
      actions.push_back(std::move(*action));
    }
  }
  return actions;
}

std::optional<std::string> ScriptEngine::member_text(const std::string& uri) {
  const SharedText text = archives_.find(uri);
  if (!text) return std::nullopt;
  return text->text;
}

}  // namespace qbkit::lsp
