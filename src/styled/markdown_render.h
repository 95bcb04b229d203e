#pragma once
// Internal to Markdown: draws a parsed cmark-gfm document into lines.

#include <cmark-gfm.h>

#include <string_view>

#include "styled/console.h"
#include "styled/segment.h"

namespace styled::markdown_detail {

void render_document(cmark_node* document, const Console& console, int width,
                     std::string_view code_theme, Lines& out);

}  // namespace styled::markdown_detail
