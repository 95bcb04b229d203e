// Walks the cmark-gfm tree with its iterator (no recursion, whatever the nesting) and draws
// each leaf block at the width its containers leave, behind their prefixes.

#include "styled/markdown/markdown_render.h"

#include <cmark-gfm-core-extensions.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "styled/link.h"
#include "styled/markdown/markdown_autolink.h"
#include "styled/markdown/markdown_table.h"
#include "styled/syntax/syntax.h"
#include "styled/text.h"
#include "unicode/text_ops.h"

namespace styled::markdown_detail {

namespace {

// Content never gets narrower than this because of indentation: deeper containers stop
// adding their prefixes.
constexpr int MIN_CONTENT = 10;

struct Styles {
  Style em, strong, strike, code, quote, item, bullet, number, hr, h1_border, link, link_url,
      table_border, table_header, html;
  Style heading[7];

  explicit Styles(const Console& c)
      : em(c.get_style("markdown.em")),
        strong(c.get_style("markdown.strong")),
        strike(c.get_style("markdown.s")),
        code(c.get_style("markdown.code")),
        quote(c.get_style("markdown.block_quote")),
        item(c.get_style("markdown.item")),
        bullet(c.get_style("markdown.item.bullet")),
        number(c.get_style("markdown.item.number")),
        hr(c.get_style("markdown.hr")),
        h1_border(c.get_style("markdown.h1.border")),
        link(c.get_style("markdown.link")),
        link_url(c.get_style("markdown.link_url")),
        table_border(c.get_style("markdown.table.border")),
        table_header(c.get_style("markdown.table.header")),
        html(c.get_style("markdown.html")) {
    static constexpr const char* NAMES[7] = {"markdown.h1", "markdown.h1", "markdown.h2",
                                             "markdown.h3", "markdown.h4", "markdown.h5",
                                             "markdown.h6"};
    for (int i = 0; i < 7; ++i) heading[i] = c.get_style(NAMES[i]);
  }
};

enum class FrameKind { document, quote, list, item };

struct Frame {
  explicit Frame(FrameKind k) : kind(k) {}
  FrameKind kind;
  bool active = false;   // draws its prefix
  bool separate = true;  // a blank line between its children
  bool emitted = false;  // a child has been drawn
  int inner = 0;         // width left for what is inside
  Style block;           // style under the text inside
  Line first, rest;      // prefix of the first row and of the others
  // Lists.
  bool ordered = false;
  bool tight = false;
  int next_number = 1;
  int number_width = 0;
};

struct Link {
  std::size_t text_start;
  std::string url;
  bool image;
};

std::string_view literal(cmark_node* node) {
  const char* s = cmark_node_get_literal(node);
  return s == nullptr ? std::string_view{} : std::string_view(s, std::strlen(s));
}

std::string_view url_of(cmark_node* node) {
  const char* s = cmark_node_get_url(node);
  return s == nullptr ? std::string_view{} : std::string_view(s, std::strlen(s));
}

std::string_view type_name(cmark_node* node) {
  const char* s = cmark_node_get_type_string(node);
  return s == nullptr ? std::string_view{} : std::string_view(s);
}

std::string digits(long long n) {
  return std::to_string(n);
}

class Renderer {
 public:
  Renderer(const Console& console, int width, std::string_view code_theme,
           const Renderable::LineSink& sink)
      : console_(console),
        styles_(console),
        width_(std::max(width, 1)),
        code_theme_(code_theme),
        sink_(sink) {
    Frame doc(FrameKind::document);
    doc.inner = width_;
    frames_.push_back(std::move(doc));
    pending_from_ = frames_.size();
  }

  void walk(cmark_node* root, Arena* settle) {
    // The iterator is made before the arena is in use, so repeated drawings leave nothing in
    // it; it is freed however the walk ends (a sink may throw).
    const std::unique_ptr<cmark_iter, void (*)(cmark_iter*)> it(cmark_iter_new(root),
                                                                cmark_iter_free);
    std::optional<ArenaScope> scope;
    if (settle != nullptr) scope.emplace(*settle);
    cmark_event_type ev;
    while ((ev = cmark_iter_next(it.get())) != CMARK_EVENT_DONE) {
      node(cmark_iter_get_node(it.get()), ev == CMARK_EVENT_ENTER);
    }
  }

 private:
  // ---- rows and prefixes ------------------------------------------------------------------

  void emit(Line line) {
    // The containers' prefixes go in front of the content, in the room wrapped rows leave for
    // them (short prefixes are built without allocating, in a line kept for the purpose).
    prefix_.segments.clear();
    prefix_.cells = 0;
    for (std::size_t idx : active_) {
      const Frame& f = frames_[idx];
      prefix_.append(idx >= pending_from_ ? f.first : f.rest);
    }
    pending_from_ = frames_.size();
    if (!prefix_.segments.empty()) {
      line.segments.insert(line.segments.begin(), std::make_move_iterator(prefix_.segments.begin()),
                           std::make_move_iterator(prefix_.segments.end()));
      line.cells += prefix_.cells;
    }
    crop_line(line, static_cast<std::size_t>(width_));
    pad_line(line, static_cast<std::size_t>(width_));
    sink_(std::move(line));
  }

  void emit_lines(Lines&& lines) {
    for (Line& l : lines) emit(std::move(l));
  }

  void emit_text(const Text& text) {
    Lines lines;
    text.wrap_into(inner(), lines, console_.wrap_memory());
    emit_lines(std::move(lines));
  }

  [[nodiscard]] int inner() const { return frames_.back().inner; }
  [[nodiscard]] const Style& block_style() const { return frames_.back().block; }

  // Called when a block starts inside the innermost container.
  void begin_block() {
    Frame& parent = frames_.back();
    if (parent.emitted && parent.separate) emit(Line{});
    parent.emitted = true;
  }

  void push_frame(Frame f, std::size_t prefix_width) {
    const Frame& parent = frames_.back();
    f.active = prefix_width > 0 && parent.inner - static_cast<int>(prefix_width) >= MIN_CONTENT;
    f.inner = parent.inner - (f.active ? static_cast<int>(prefix_width) : 0);
    frames_.push_back(std::move(f));
    if (frames_.back().active) active_.push_back(frames_.size() - 1);
    if (frames_.back().kind == FrameKind::item) {
      pending_from_ = std::min(pending_from_, frames_.size() - 1);
    }
  }

  void pop_frame() {
    if (frames_.size() <= 1) return;
    if (frames_.back().kind == FrameKind::item && pending_from_ <= frames_.size() - 1) {
      emit(Line{});  // an empty item still shows its bullet
    }
    if (!active_.empty() && active_.back() == frames_.size() - 1) active_.pop_back();
    frames_.pop_back();
    pending_from_ = std::min(pending_from_, frames_.size());
  }

  // ---- inline text ------------------------------------------------------------------------

  void start_inline(const Style& first_style) {
    text_.clear();
    text_.set_base_style(block_style());
    inline_styles_.assign(1, first_style);
    links_.clear();
    if (!task_marker_.empty()) {
      text_.append(task_marker_, first_style);
      task_marker_.clear();
    }
  }

  void push_inline(const Style& s) { inline_styles_.push_back(inline_styles_.back() + s); }
  void pop_inline() {
    if (inline_styles_.size() > 1) inline_styles_.pop_back();
  }
  [[nodiscard]] const Style& inline_style() const { return inline_styles_.back(); }

  void inline_node(cmark_node* n, cmark_node_type type, bool enter) {
    // Neighbouring text nodes (the parser splits text at "_", "&", "[" and the like) are
    // gathered, so that links in bare text can be found across the pieces.
    if (type == CMARK_NODE_TEXT && links_.empty()) {
      plain_.append(literal(n));
      return;
    }
    flush_plain();
    switch (type) {
      case CMARK_NODE_TEXT:
        text_.append(literal(n), inline_style());
        return;
      case CMARK_NODE_CODE:
        text_.append(literal(n), inline_style() + styles_.code);
        return;
      case CMARK_NODE_HTML_INLINE:
        text_.append(literal(n), inline_style());
        return;
      case CMARK_NODE_SOFTBREAK:
        text_.append(" ", inline_style());
        return;
      case CMARK_NODE_LINEBREAK:
        text_.append("\n", inline_style());
        return;
      case CMARK_NODE_EMPH:
        enter ? push_inline(styles_.em) : pop_inline();
        return;
      case CMARK_NODE_STRONG:
        enter ? push_inline(styles_.strong) : pop_inline();
        return;
      case CMARK_NODE_LINK:
      case CMARK_NODE_IMAGE: {
        const bool image = type == CMARK_NODE_IMAGE;
        if (enter) {
          push_inline(styles_.link.with_link(link_id(url_of(n))));
          if (image) text_.append("🌆 ", inline_style());
          links_.push_back(Link{text_.plain().size(), std::string(url_of(n)), image});
          return;
        }
        pop_inline();
        if (links_.empty()) return;
        const Link link = std::move(links_.back());
        links_.pop_back();
        append_url(std::string_view(text_.plain()).substr(link.text_start), link.url,
                   link_id(link.url));
        return;
      }
      case CMARK_NODE_FOOTNOTE_REFERENCE:
        text_.append("[^" + std::string(literal(n)) + "]", inline_style());
        return;
      default:
        if (type_name(n) == "strikethrough") {
          enter ? push_inline(styles_.strike) : pop_inline();
        } else if (enter) {
          text_.append(literal(n), inline_style());
        }
        return;
    }
  }

  // The URL after a link's text, when it says something the text does not.
  void append_url(std::string_view shown, std::string_view url, std::uint16_t target) {
    const bool same = shown == url || (url.starts_with("mailto:") && shown == url.substr(7));
    if (url.empty() || same) return;
    text_.append(" (", inline_style());
    text_.append(url, inline_style() + styles_.link_url.with_link(target));
    text_.append(")", inline_style());
  }

  // The gathered text, with the links bare text makes drawn as links.
  void flush_plain() {
    if (plain_.empty()) return;
    const std::string_view plain = plain_;
    std::size_t at = 0;
    for (const Autolink& link : find_autolinks(plain)) {
      text_.append(plain.substr(at, link.begin - at), inline_style());
      const std::string_view shown = plain.substr(link.begin, link.end - link.begin);
      const std::uint16_t target = link_id(link.url);
      text_.append(shown, inline_style() + styles_.link.with_link(target));
      append_url(shown, link.url, target);
      at = link.end;
    }
    text_.append(plain.substr(at), inline_style());
    plain_.clear();
  }

  void end_inline() {
    flush_plain();
    in_inline_ = false;
  }

  // ---- blocks -----------------------------------------------------------------------------

  void heading(int level) {
    level = std::clamp(level, 1, 6);
    text_.set_justify(Justify::center);
    if (level == 1) {
      const int w = inner();
      if (w < 5) {
        emit_text(text_);
        return;
      }
      const Style& border = styles_.h1_border;
      auto rule = [&](const char* l, const char* r) {
        std::string s = l;
        for (int i = 0; i < w - 2; ++i) s += "━";
        s += r;
        Line line;
        line.push(s, border, static_cast<std::size_t>(w));
        emit(std::move(line));
      };
      rule("┏", "┓");
      Lines lines;
      text_.wrap_into(w - 4, lines, console_.wrap_memory());
      for (Line& l : lines) {
        Line line;
        line.push("┃ ", border, 2);
        pad_line(l, static_cast<std::size_t>(w - 4));
        line.append(l);
        line.push(" ┃", border, 2);
        emit(std::move(line));
      }
      rule("┗", "┛");
      return;
    }
    if (level == 2) emit(Line{});
    emit_text(text_);
  }

  void code_block(cmark_node* n) {
    std::string_view info;
    if (const char* s = cmark_node_get_fence_info(n)) info = s;
    const std::size_t cut = info.find_first_of(" \t{");
    std::string language(info.substr(0, cut));
    const std::string code = unicode::rstrip(literal(n));
    Lines lines;
    Syntax(code, language, code_theme_, true, 1).render(console_, inner(), lines);
    emit_lines(std::move(lines));
  }

  void html_block(cmark_node* n) {
    const std::string html = unicode::rstrip(literal(n));
    Text t(html, styles_.html);
    t.set_base_style(block_style());
    emit_text(t);
  }

  void rule() {
    const int w = inner();
    std::string s;
    s.reserve(static_cast<std::size_t>(w) * 3);
    for (int i = 0; i < w; ++i) s += "─";
    Line line;
    line.push(s, styles_.hr, static_cast<std::size_t>(w));
    emit(std::move(line));
  }

  void enter_list(cmark_node* n) {
    Frame f(FrameKind::list);
    f.block = block_style();
    f.ordered = cmark_node_get_list_type(n) == CMARK_ORDERED_LIST;
    f.tight = cmark_node_get_list_tight(n) != 0;
    f.separate = !f.tight;
    f.next_number = cmark_node_get_list_start(n);
    if (f.ordered) {
      int count = 0;
      for (cmark_node* c = cmark_node_first_child(n); c != nullptr; c = cmark_node_next(c)) {
        ++count;
      }
      const long long last = static_cast<long long>(f.next_number) + std::max(count - 1, 0);
      f.number_width = static_cast<int>(digits(last).size()) + 2;
    }
    push_frame(std::move(f), 0);
  }

  void enter_item(cmark_node* n) {
    Frame& list = frames_.back();
    Frame f(FrameKind::item);
    f.block = block_style() + styles_.item;
    f.separate = list.kind == FrameKind::list ? !list.tight : true;
    std::size_t width = 3;
    if (list.kind == FrameKind::list && list.ordered) {
      width = static_cast<std::size_t>(list.number_width);
      std::string numeral = digits(list.next_number++) + ".";
      if (numeral.size() + 1 < width) numeral.insert(0, width - 1 - numeral.size(), ' ');
      numeral += ' ';
      f.first.push(numeral, styles_.number, numeral.size());
    } else {
      f.first.push(" • ", styles_.bullet, 3);
    }
    f.rest.push(std::string(width, ' '), Style(), width);
    if (type_name(n) == "tasklist") {
      task_marker_ = cmark_gfm_extensions_get_tasklist_item_checked(n) ? "☑ " : "☐ ";
    }
    push_frame(std::move(f), width);
  }

  void enter_quote() {
    Frame f(FrameKind::quote);
    f.block = block_style() + styles_.quote;
    f.first.push("▌ ", styles_.quote, 2);
    f.rest = f.first;
    push_frame(std::move(f), 2);
  }

  void node(cmark_node* n, bool enter) {
    const cmark_node_type type = cmark_node_get_type(n);
    if (in_inline_ && (type & CMARK_NODE_TYPE_MASK) == CMARK_NODE_TYPE_INLINE) {
      inline_node(n, type, enter);
      return;
    }
    switch (type) {
      case CMARK_NODE_DOCUMENT:
        return;
      case CMARK_NODE_PARAGRAPH:
        if (enter) {
          if (table_ == nullptr) begin_block();
          start_inline(Style());
          in_inline_ = true;
        } else {
          end_inline();
          emit_text(text_);
        }
        return;
      case CMARK_NODE_HEADING:
        if (enter) {
          begin_block();
          const int level = std::clamp(cmark_node_get_heading_level(n), 1, 6);
          start_inline(styles_.heading[level]);
          in_inline_ = true;
        } else {
          end_inline();
          heading(cmark_node_get_heading_level(n));
        }
        return;
      case CMARK_NODE_CODE_BLOCK:
        begin_block();
        code_block(n);
        return;
      case CMARK_NODE_HTML_BLOCK:
        begin_block();
        html_block(n);
        return;
      case CMARK_NODE_THEMATIC_BREAK:
        begin_block();
        rule();
        return;
      case CMARK_NODE_BLOCK_QUOTE:
        if (enter) {
          begin_block();
          enter_quote();
        } else {
          pop_frame();
        }
        return;
      case CMARK_NODE_LIST:
        if (enter) {
          begin_block();
          enter_list(n);
        } else {
          pop_frame();
        }
        return;
      case CMARK_NODE_ITEM:
        if (enter) {
          begin_block();
          enter_item(n);
        } else {
          pop_frame();
        }
        return;
      default:
        break;
    }
    extension_block(n, enter);
  }

  void extension_block(cmark_node* n, bool enter) {
    const std::string_view name = type_name(n);
    if (name == "table") {
      if (enter) {
        begin_block();
        table_storage_ = Table{};
        table_ = &table_storage_;
        const std::uint16_t ncols = cmark_gfm_extensions_get_table_columns(n);
        const std::uint8_t* align = cmark_gfm_extensions_get_table_alignments(n);
        if (align != nullptr) table_->align.assign(align, align + ncols);
        table_->align.resize(ncols, 0);
      } else if (table_ != nullptr) {
        Lines lines;
        render_table(*table_, inner(), {styles_.table_border, styles_.table_header}, lines);
        emit_lines(std::move(lines));
        table_ = nullptr;
        table_storage_ = Table{};
      }
    } else if (name == "table_row" || name == "table_header") {
      if (enter && table_ != nullptr) {
        table_->rows.emplace_back();
        if (cmark_gfm_extensions_get_table_row_is_header(n)) {
          table_->header_rows = table_->rows.size();
        }
      }
    } else if (name == "table_cell") {
      if (enter) {
        start_inline(Style());
        text_.set_base_style(Style());
        in_inline_ = true;
      } else {
        end_inline();
        if (table_ != nullptr && !table_->rows.empty()) {
          table_->rows.back().push_back(std::move(text_));
        }
        text_ = Text();
      }
    } else if (enter && (cmark_node_get_type(n) & CMARK_NODE_TYPE_MASK) == CMARK_NODE_TYPE_BLOCK &&
               cmark_node_first_child(n) == nullptr) {
      // Any other leaf block: its literal text, so nothing is lost.
      const std::string_view text = literal(n);
      if (!text.empty()) {
        begin_block();
        emit_text(Text(text, block_style()));
      }
    }
  }

  const Console& console_;
  Styles styles_;
  int width_;
  std::string code_theme_;
  const Renderable::LineSink& sink_;
  std::vector<Frame> frames_;
  std::vector<std::size_t> active_;  // indices of frames that draw a prefix
  std::size_t pending_from_;         // items from here on have not drawn their first row
  Text text_;
  std::vector<Style> inline_styles_;
  std::vector<Link> links_;
  std::string task_marker_;
  std::string plain_;  // text nodes not yet added to text_
  Line prefix_;        // the prefixes of the row being emitted
  bool in_inline_ = false;
  Table table_storage_;
  Table* table_ = nullptr;
};

}  // namespace

void render_document(cmark_node* document, const Console& console, int width,
                     std::string_view code_theme, Arena* settle, const Renderable::LineSink& sink) {
  Renderer(console, width, code_theme, sink).walk(document, settle);
}

}  // namespace styled::markdown_detail
