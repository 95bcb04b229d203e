#include "styled/markdown/markdown_arena.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace styled::markdown_detail {

namespace {

// Every block, from an arena or from the heap, starts with this, so that cmark's free and
// realloc can tell them apart.
struct alignas(16) Header {
  std::size_t size;
  Arena* owner;  // null for a heap block
};
static_assert(sizeof(Header) == 16);

constexpr std::size_t ALIGN = 16;
// Below the C library's threshold for mapping blocks straight from the system (128 KB): such
// blocks come fresh from the kernel each time, and touching their pages cost more than all the
// frees the arena saves. Chunks this size are recycled by the heap from one document to the
// next.
constexpr std::size_t MAX_CHUNK = 64 * 1024;

std::size_t round_up(std::size_t n) {
  return (n + ALIGN - 1) & ~(ALIGN - 1);
}

Header* header_of(void* block) {
  return static_cast<Header*>(block) - 1;
}

[[noreturn]] void out_of_memory() {
  std::fputs("[cmark] out of memory, aborting\n", stderr);
  std::abort();
}

// The arena of the document being parsed or settled on this thread. cmark's allocator
// functions are handed no context (cmark_mem holds three plain function pointers), so this is
// the only way for them to find it; ArenaScope sets it for exactly the parse or drawing.
thread_local Arena* current = nullptr;

void* heap_block(std::size_t size, bool zero) {
  if (size > SIZE_MAX - sizeof(Header)) out_of_memory();
  void* raw = zero ? std::calloc(1, sizeof(Header) + size) : std::malloc(sizeof(Header) + size);
  if (raw == nullptr) out_of_memory();
  auto* h = static_cast<Header*>(raw);
  h->size = size;
  h->owner = nullptr;
  return h + 1;
}

void* block(std::size_t size, bool zero) {
  return current != nullptr ? current->allocate(size, zero) : heap_block(size, zero);
}

void* mem_calloc(std::size_t count, std::size_t size) {
  if (size != 0 && count > SIZE_MAX / size) out_of_memory();
  return block(count * size, true);
}

void* mem_realloc(void* p, std::size_t size) {
  if (p == nullptr) return block(size, false);
  Header* h = header_of(p);
  if (h->owner == nullptr) {
    if (size > SIZE_MAX - sizeof(Header)) out_of_memory();
    auto* grown = static_cast<Header*>(std::realloc(h, sizeof(Header) + size));
    if (grown == nullptr) out_of_memory();
    grown->size = size;
    return grown + 1;
  }
  if (h->owner == current) return current->resize(p, size);
  // A block of an arena this thread is not using: copied out, never touched in place.
  void* copy = block(size, false);
  std::memcpy(copy, p, std::min(h->size, size));
  return copy;
}

void mem_free(void* p) {
  if (p == nullptr) return;
  Header* h = header_of(p);
  if (h->owner == nullptr) std::free(h);
  // Arena blocks go with their arena.
}

cmark_mem allocator{mem_calloc, mem_realloc, mem_free};

}  // namespace

Arena::~Arena() {
  for (void* c : chunks_) std::free(c);
}

void Arena::new_chunk(std::size_t at_least) {
  // Chunks double up to MAX_CHUNK, so a small answer costs one small chunk; a block bigger
  // than that gets a chunk of its own.
  const std::size_t size = std::max(chunk_size_, at_least);
  void* c = std::malloc(size);
  if (c == nullptr) out_of_memory();
  chunks_.push_back(c);
  reserved_ += size;
  next_ = static_cast<char*>(c);
  end_ = next_ + size;
  chunk_size_ = std::min(chunk_size_ * 2, MAX_CHUNK);
}

void* Arena::allocate(std::size_t size, bool zero) {
  if (size > SIZE_MAX / 2) out_of_memory();
  const std::size_t need = sizeof(Header) + round_up(size);
  if (next_ == nullptr || static_cast<std::size_t>(end_ - next_) < need) new_chunk(need);
  auto* h = reinterpret_cast<Header*>(next_);
  next_ += need;
  h->size = size;
  h->owner = this;
  void* p = h + 1;
  if (zero) std::memset(p, 0, size);
  last_ = p;
  return p;
}

void* Arena::resize(void* p, std::size_t size) {
  Header* h = header_of(p);
  if (p == last_ && size <= SIZE_MAX / 2) {
    char* start = static_cast<char*>(p);
    if (static_cast<std::size_t>(end_ - start) >= round_up(size)) {
      next_ = start + round_up(size);
      h->size = size;
      return p;
    }
  }
  const std::size_t old = h->size;
  void* copy = allocate(size, false);
  std::memcpy(copy, p, std::min(old, size));
  return copy;
}

cmark_mem* arena_allocator() {
  return &allocator;
}

ArenaScope::ArenaScope(Arena& arena) : previous_(current) {
  current = &arena;
}

ArenaScope::~ArenaScope() {
  current = previous_;
}

}  // namespace styled::markdown_detail
