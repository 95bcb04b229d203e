#include "styled/markdown.h"

#include <cmark-gfm-core-extensions.h>
#include <cmark-gfm-extension_api.h>
#include <cmark-gfm.h>

#include <array>
#include <mutex>

#include "styled/markdown_render.h"

namespace styled {

struct Markdown::Document {
  cmark_node* root = nullptr;
  ~Document() {
    if (root != nullptr) cmark_node_free(root);
  }
};

namespace {

cmark_node* parse(std::string_view text) {
  static std::once_flag registered;
  std::call_once(registered, [] { cmark_gfm_core_extensions_ensure_registered(); });
  // Invalid UTF-8 becomes U+FFFD inside the parser already.
  cmark_parser* parser = cmark_parser_new(CMARK_OPT_DEFAULT | CMARK_OPT_VALIDATE_UTF8);
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
  doc_->root = parse(text);
}

Markdown::~Markdown() = default;
Markdown::Markdown(Markdown&&) noexcept = default;
Markdown& Markdown::operator=(Markdown&&) noexcept = default;

void Markdown::render(const Console& console, int width, Lines& out) const {
  if (doc_ && doc_->root != nullptr) {
    markdown_detail::render_document(doc_->root, console, width, code_theme_, out);
  }
}

}  // namespace styled
