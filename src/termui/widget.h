#pragma once
// The widget tree: every widget has an id, a parent and children, styles from the DEFAULT_CSS of
// its classes (and its screen's), a region on screen, and content drawn row by row through
// `render_line`. Widgets belong to one App and are touched only on its UI thread.

#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "styled/style.h"
#include "termui/css.h"
#include "termui/events.h"
#include "termui/geometry.h"
#include "termui/strip.h"

namespace termui {

class App;
class Screen;

class QueryError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Where the layout put a widget's border and scroll bars; the compositor draws them there.
struct Chrome {
  bool border = false;    // a rounded border along the edge of the outer region
  Region vertical_bar;    // empty when the vertical scroll bar does not show
  Region horizontal_bar;  // empty when the horizontal scroll bar does not show
  friend bool operator==(const Chrome&, const Chrome&) = default;
};

class Widget {
 public:
  explicit Widget(std::string id = {});
  virtual ~Widget();
  Widget(const Widget&) = delete;
  Widget& operator=(const Widget&) = delete;

  // CSS type names: the names of the widget's classes from its own up to Widget, without
  // namespaces ("RichLog", "Widget"), read from the class chain itself so that no class lists
  // them. The DEFAULT_CSS of each class, most derived first: subclasses extend the list.
  [[nodiscard]] const std::vector<std::string>& css_type_names() const;
  [[nodiscard]] virtual std::vector<std::string_view> css_sources() const { return {}; }

  [[nodiscard]] const std::string& id() const { return id_; }
  [[nodiscard]] Widget* parent() const { return parent_; }
  [[nodiscard]] const std::vector<std::unique_ptr<Widget>>& children() const { return children_; }
  // Adds a child; once the widget is mounted the child is mounted too.
  Widget& mount(std::unique_ptr<Widget> child);
  template <typename T>
  T& mount(std::unique_ptr<T> child) {
    T& ref = *child;
    mount(std::unique_ptr<Widget>(std::move(child)));
    return ref;
  }

  // The App this widget is mounted in; throws std::logic_error before mounting.
  [[nodiscard]] App& app() const;
  [[nodiscard]] bool is_mounted() const { return app_ != nullptr; }

  // Outer region on screen (border and padding included) and the content area inside it.
  [[nodiscard]] const Region& region() const { return region_; }
  [[nodiscard]] const Region& content_region() const { return content_; }
  // Size of the content area: border, padding and scroll bars excluded.
  [[nodiscard]] Size size() const { return content_.size(); }
  [[nodiscard]] const Styles& styles() const { return styles_; }

  // The descendant with the given `#id` (or the first of a CSS type name) of type T; throws
  // QueryError when there is none or it has another type.
  template <typename T>
  T& query_one(std::string_view selector) {
    Widget* w = find(selector);
    if (!w) throw QueryError("no widget matches '" + std::string(selector) + "'");
    T* t = dynamic_cast<T*>(w);
    if (!t) throw QueryError("widget '" + std::string(selector) + "' has another type");
    return *t;
  }
  [[nodiscard]] Widget* find(std::string_view selector);

  // Marks the widget for repaint; the App draws at most one frame per burst of refreshes.
  void refresh();
  // Sends every mouse event to this widget until released, even outside it.
  void capture_mouse();
  void release_mouse();

  // Hooks called by the App on the UI thread.
  virtual void on_mount() {}
  virtual void on_resize() {}
  // Returns true when the key was used (it then reaches no binding).
  virtual bool on_key(const KeyEvent&) { return false; }
  virtual void on_paste(const PasteEvent&) {}
  virtual void on_mouse_down(MouseEvent&) {}
  virtual void on_mouse_up(MouseEvent&) {}
  virtual void on_mouse_move(MouseEvent&) {}
  // Returns true when the widget scrolled; otherwise the event goes to the parent.
  virtual bool on_mouse_scroll(MouseEvent&) { return false; }
  [[nodiscard]] virtual bool can_focus() const { return false; }

  // Row `y` of the content area (0 = top). The compositor crops or pads it to the content width.
  [[nodiscard]] virtual Strip render_line(int y);
  // Rows the content needs at a content width, for `height: auto`.
  [[nodiscard]] virtual int content_height(int width);
  // Scroll bar state: total rows, first visible row. A widget that does not scroll has none.
  [[nodiscard]] virtual int scroll_total() const { return 0; }
  [[nodiscard]] virtual int scroll_position() const { return 0; }

  // Set by the layout: also calls on_resize when the content size changed.
  void set_region(const Region& outer, const Region& content, const Chrome& chrome = {});
  [[nodiscard]] const Chrome& chrome() const { return chrome_; }
  // Set when mounted: the cascaded styles, and the text style they give (colour, background)
  // and the border's style. Throws CssError for a colour that is not one.
  void set_styles(const Styles& s);
  [[nodiscard]] const styled::Style& base_style() const { return base_style_; }
  [[nodiscard]] const styled::Style& border_style() const { return border_style_; }

  // What the compositor drew of this widget last frame, so that an unchanged widget, or an
  // unchanged row of a changed one, is not drawn again.
  struct PaintCache {
    bool dirty = true;  // refresh() since the last frame
    Region region{-1, -1, -1, -1};
    Region clip{};
    Chrome chrome{};
    std::vector<Strip> rows;  // per visible screen row of the clip
  };
  [[nodiscard]] PaintCache& paint_cache() { return paint_; }

 protected:
  // Content changed in a way the layout must see (height: auto), not just a repaint.
  void relayout();

 private:
  friend class App;
  void attach(App* app);

  std::string id_;
  mutable std::vector<std::string> css_type_names_;  // found on first use
  Widget* parent_ = nullptr;
  App* app_ = nullptr;
  std::vector<std::unique_ptr<Widget>> children_;
  Region region_{};
  Region content_{};
  Chrome chrome_{};
  Styles styles_{};
  styled::Style base_style_{};
  styled::Style border_style_{};
  PaintCache paint_;
};

}  // namespace termui
