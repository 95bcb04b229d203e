#pragma once
// Internal to Markdown: the memory a parsed document's tree lives in. cmark-gfm allocates every
// node, every string and every growing line buffer separately and frees them one by one; a
// document's tree is built once and dropped as a whole, so here its blocks are cut from a few
// large chunks and released together when the document goes.
//
//   Arena arena;
//   {
//     ArenaScope scope(arena);                  // this thread's cmark allocations go to `arena`
//     parser = cmark_parser_new_with_mem(options, arena_allocator());
//     ...
//   }
//   // The tree stays readable as long as `arena` lives; cmark_node_free is not needed.
//
// cmark's allocator has no context argument, so the arena in use is a per-thread setting.
// Blocks asked for while no arena is set (cmark_iter_new during a render, say) come from the
// heap and are freed normally, so reading a tree from any thread is safe.

#include <cmark-gfm.h>

#include <cstddef>
#include <vector>

namespace styled::markdown_detail {

class Arena {
 public:
  Arena() = default;
  ~Arena();
  Arena(const Arena&) = delete;
  Arena& operator=(const Arena&) = delete;

  // A block of `size` bytes, 16-byte aligned, zeroed when `zero`. Aborts when memory runs out,
  // as cmark's own allocator does.
  void* allocate(std::size_t size, bool zero);
  // `block` (from this arena) with room for `size` bytes: grown in place when it is the last
  // block cut, otherwise copied into a new one.
  void* resize(void* block, std::size_t size);

  // Bytes taken from the system, for tests and measurements.
  [[nodiscard]] std::size_t reserved() const { return reserved_; }

 private:
  void new_chunk(std::size_t at_least);

  std::vector<void*> chunks_;
  char* next_ = nullptr;
  char* end_ = nullptr;
  void* last_ = nullptr;  // the block cut last, which may still grow in place
  std::size_t chunk_size_ = 16 * 1024;
  std::size_t reserved_ = 0;
};

// The allocator to hand to cmark_parser_new_with_mem.
[[nodiscard]] cmark_mem* arena_allocator();

// Makes `arena` this thread's arena until the scope ends (the previous one is restored).
class ArenaScope {
 public:
  explicit ArenaScope(Arena& arena);
  ~ArenaScope();
  ArenaScope(const ArenaScope&) = delete;
  ArenaScope& operator=(const ArenaScope&) = delete;

 private:
  Arena* previous_;
};

}  // namespace styled::markdown_detail
