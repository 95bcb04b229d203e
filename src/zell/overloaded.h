#pragma once
// One lambda per alternative for `std::visit`: Overloaded{[](const A&) {...}, [](const B&) {...}}.

namespace zell {

template <typename... F>
struct Overloaded : F... {
  using F::operator()...;
};
template <typename... F>
Overloaded(F...) -> Overloaded<F...>;

}  // namespace zell
