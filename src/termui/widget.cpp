#include "termui/widget.h"

#include <cxxabi.h>

#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <typeinfo>

#include "termui/app.h"
#include "termui/layout.h"

namespace termui {
namespace {

// The class name without namespaces or template arguments ("termui::RichLog" → "RichLog").
std::string css_name(const std::type_info& type) {
  int status = 0;
  const std::unique_ptr<char, void (*)(void*)> demangled(
      abi::__cxa_demangle(type.name(), nullptr, nullptr, &status), std::free);
  std::string_view name = status == 0 ? demangled.get() : type.name();
  name = name.substr(0, name.find('<'));
  if (const std::size_t colons = name.rfind("::"); colons != std::string_view::npos) {
    name.remove_prefix(colons + 2);
  }
  return std::string(name);
}

// Appends the names of the classes from `type` up to Widget, following the base through which
// `type` derives from Widget (the first such base, for a class with several). The C++ ABI's
// type information names each class's direct bases. False when Widget is not reached.
bool append_chain(const std::type_info& type, std::vector<std::string>& out) {
  out.push_back(css_name(type));
  if (type == typeid(Widget)) return true;
  if (const auto* single = dynamic_cast<const abi::__si_class_type_info*>(&type)) {
    if (append_chain(*single->__base_type, out)) return true;
  } else if (const auto* many = dynamic_cast<const abi::__vmi_class_type_info*>(&type)) {
    for (unsigned i = 0; i < many->__base_count; ++i) {
      const std::size_t kept = out.size();
      if (append_chain(*many->__base_info[i].__base_type, out)) return true;
      out.resize(kept);
    }
  }
  out.pop_back();
  return false;
}

}  // namespace

const std::vector<std::string>& Widget::css_type_names() const {
  if (css_type_names_.empty() && !append_chain(typeid(*this), css_type_names_)) {
    css_type_names_ = {"Widget"};
  }
  return css_type_names_;
}

Widget::Widget(std::string id) : id_(std::move(id)) {}

Widget::~Widget() {
  if (app_) app_->forget_widget(*this);
}

Widget& Widget::mount(std::unique_ptr<Widget> child) {
  Widget& ref = *child;
  child->parent_ = this;
  children_.push_back(std::move(child));
  if (app_) {
    Screen* screen = nullptr;
    for (Widget* w = this; w; w = w->parent_) {
      if (auto* s = dynamic_cast<Screen*>(w)) screen = s;
    }
    app_->mount_widget(ref, screen);
    app_->request_layout();
  }
  return ref;
}

void Widget::attach(App* app) {
  app_ = app;
}

App& Widget::app() const {
  if (!app_) throw std::logic_error("widget is not mounted in an App");
  return *app_;
}

Widget* Widget::find(std::string_view selector) {
  for (const auto& child : children_) {
    bool match;
    if (selector.starts_with("#")) {
      match = child->id_ == selector.substr(1);
    } else {
      match = false;
      for (const std::string& name : child->css_type_names()) match = match || name == selector;
    }
    if (match) return child.get();
    if (Widget* deeper = child->find(selector)) return deeper;
  }
  return nullptr;
}

void Widget::refresh() {
  paint_.dirty = true;
  if (!app_) return;
  // New content may call for a scroll bar that was not there (or no longer for one).
  if (bars_outdated(*this)) {
    app_->request_layout();
  } else {
    app_->request_repaint();
  }
}

void Widget::relayout() {
  paint_.dirty = true;
  if (app_) app_->request_layout();
}

void Widget::capture_mouse() {
  if (app_) app_->capture_mouse(this);
}

void Widget::release_mouse() {
  if (app_) app_->release_mouse(this);
}

Strip Widget::render_line(int) {
  return {};
}

int Widget::content_height(int width) {
  int h = 0;
  for (const auto& child : children_) {
    const auto& ch = child->styles().height;
    if (!ch || ch->unit == Scalar::Unit::automatic) {
      h += auto_height(*child, width);
    } else if (ch->unit == Scalar::Unit::cells) {
      h += static_cast<int>(ch->value);
    }
  }
  return h;
}

namespace {
styled::Color css_colour(const std::string& text) {
  const auto c = styled::Color::parse(text);
  if (!c) throw CssError("unsupported CSS colour: '" + text + "'");
  return *c;
}
}  // namespace

void Widget::set_styles(const Styles& s) {
  styles_ = s;
  base_style_ = {};
  if (s.color) base_style_ = base_style_.with_fg(css_colour(*s.color));
  if (s.background) base_style_ = base_style_.with_bg(css_colour(*s.background));
  border_style_ = base_style_;
  if (s.border_color) border_style_ = border_style_.with_fg(css_colour(*s.border_color));
}

void Widget::set_region(const Region& outer, const Region& content, const Chrome& chrome) {
  const bool resized = content.size() != content_.size();
  region_ = outer;
  content_ = content;
  chrome_ = chrome;
  if (resized && app_) on_resize();
}

}  // namespace termui
