#include "styled/markdown/markdown.h"

#include <cmark-gfm-core-extensions.h>
#include <cmark-gfm-extension_api.h>
#include <cmark-gfm.h>

#include <array>
#include <mutex>

#include "styled/markdown/markdown_arena.h"
#include "styled/markdown/markdown_render.h"
#include "unicode/utf8.h"

namespace styled {

// The tree and the memory it lives in: dropping the arena frees every node at once.
//
// cmark hands out a node's text (cmark_node_get_literal, _url, _title, _fence_info) by copying
// it out of the parser's buffers on first use, into the node. The first drawing therefore
// writes to the tree, into the arena, and drawings take turns; later ones only read.
struct Markdown::Document {
  markdown_detail::Arena arena;
  cmark_node* root = nullptr;
  std::mutex drawing;
  bool drawn = false;
};

namespace {

cmark_node* parse(std::string_view text, markdown_detail::Arena& arena) {
  static std::once_flag registered;
  std::call_once(registered, [] { cmark_gfm_core_extensions_ensure_registered(); });
  const markdown_detail::ArenaScope scope(arena);
  // Invalid UTF-8 becomes U+FFFD inside the parser; the parser's own check is slow, so it is
  // asked for only when a quick one finds something to replace.
  const int options = CMARK_OPT_DEFAULT | (unicode::is_valid(text) ? 0 : CMARK_OPT_VALIDATE_UTF8);
  cmark_parser* parser = cmark_parser_new_with_mem(options, markdown_detail::arena_allocator());
  // Links in bare text are found while drawing (markdown_autolink.h), not by the parser.
  for (const char* name : {"table", "strikethrough", "tasklist"}) {
    if (cmark_syntax_extension* ext = cmark_find_syntax_extension(name)) {
      cmark_parser_attach_syntax_extension(parser, ext);
    }
  }
  cmark_parser_feed(parser, text.data(), text.size());
  cmark_node* root = cmark_parser_finish(parser);
  cmark_parser_free(parser);
  return root;
}

}  // namespace

Markdown::Markdown(std::string_view text, std::string_view code_theme)
    : doc_(std::make_unique<Document>()), code_theme_(code_theme) {
  doc_->root = parse(text, doc_->arena);
}

Markdown::~Markdown() = default;
Markdown::Markdown(Markdown&&) noexcept = default;
Markdown& Markdown::operator=(Markdown&&) noexcept = default;

void Markdown::render(const Console& console, int width, Lines& out) const {
  render_each(console, width, [&out](Line&& line) { out.push_back(std::move(line)); });
}

void Markdown::render_each(const Console& console, int width, const LineSink& sink) const {
  if (!doc_ || doc_->root == nullptr) return;
  const std::lock_guard lock(doc_->drawing);
  markdown_detail::Arena* settle = doc_->drawn ? nullptr : &doc_->arena;
  markdown_detail::render_document(doc_->root, console, width, code_theme_, settle, sink);
  doc_->drawn = true;  // only once the whole tree has been read (a sink may throw)
}

}  // namespace styled
