#pragma once
// Internal to Markdown: draws a parsed cmark-gfm document, handing each row to `sink` as soon
// as it is complete. With `settle`, the node text cmark copies out on first use goes into that
// arena (the document's own, on its first drawing); nothing else of the drawing does.

#include <cmark-gfm.h>

#include <string_view>

#include "styled/console.h"
#include "styled/markdown/markdown_arena.h"
#include "styled/renderable.h"
#include "styled/segment.h"

namespace styled::markdown_detail {

void render_document(cmark_node* document, const Console& console, int width,
                     std::string_view code_theme, Arena* settle, const Renderable::LineSink& sink);

}  // namespace styled::markdown_detail
