// The parse arena, through the allocator cmark is given: content survives growth and copies,
// blocks from the heap and from arenas can be told apart, and a parsed tree outlives the scope
// it was built in. (Under ASan a heap block freed as an arena block, or the reverse, fails.)

#include "styled/markdown/markdown_arena.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <thread>

#include "styled/console.h"
#include "styled/markdown/markdown.h"

namespace styled::markdown_detail {
namespace {

bool aligned(void* p) {
  return reinterpret_cast<std::uintptr_t>(p) % 16 == 0;
}

TEST(ParseArena, BlocksAreZeroedAlignedAndKeepTheirBytesWhenGrown) {
  Arena arena;
  const ArenaScope scope(arena);
  cmark_mem* mem = arena_allocator();
  auto* a = static_cast<char*>(mem->calloc(3, 7));
  ASSERT_TRUE(aligned(a));
  for (int i = 0; i < 21; ++i) EXPECT_EQ(a[i], 0);
  std::memcpy(a, "twenty-one bytes here", 21);
  // The last block grows where it is.
  auto* grown = static_cast<char*>(mem->realloc(a, 40));
  EXPECT_EQ(grown, a);
  EXPECT_EQ(std::string(grown, 21), "twenty-one bytes here");
  // Once another block follows it, growing copies.
  auto* b = static_cast<char*>(mem->calloc(1, 5));
  auto* moved = static_cast<char*>(mem->realloc(grown, 100000));
  EXPECT_NE(moved, grown);
  EXPECT_TRUE(aligned(moved));
  EXPECT_EQ(std::string(moved, 21), "twenty-one bytes here");
  EXPECT_EQ(b[0], 0);
  mem->free(moved);  // arena blocks are released with the arena
  mem->free(nullptr);
  EXPECT_GE(arena.reserved(), 100000u);
}

TEST(ParseArena, WithoutAScopeBlocksComeFromTheHeapAndAreFreed) {
  cmark_mem* mem = arena_allocator();
  auto* p = static_cast<char*>(mem->calloc(1, 10));
  std::memcpy(p, "0123456789", 10);
  p = static_cast<char*>(mem->realloc(p, 1 << 20));
  EXPECT_EQ(std::string(p, 10), "0123456789");
  mem->free(p);  // a leak or a bad free here is reported by the sanitizer build
}

TEST(ParseArena, ABlockOfAnotherArenaIsCopiedOutNotGrownInPlace) {
  Arena first;
  char* p = nullptr;
  {
    const ArenaScope scope(first);
    p = static_cast<char*>(arena_allocator()->calloc(1, 8));
    std::memcpy(p, "abcdefgh", 8);
  }
  Arena second;
  {
    const ArenaScope scope(second);
    {
      const ArenaScope inner(first);  // scopes nest and restore the one before
    }
    auto* q = static_cast<char*>(arena_allocator()->realloc(p, 64));
    EXPECT_NE(q, p);
    EXPECT_EQ(std::string(q, 8), "abcdefgh");
    EXPECT_GT(second.reserved(), 0u);
  }
  // Outside any scope the copy goes to the heap.
  auto* h = static_cast<char*>(arena_allocator()->realloc(p, 16));
  EXPECT_EQ(std::string(h, 8), "abcdefgh");
  arena_allocator()->free(h);
}

TEST(ParseArena, ADocumentIsDrawnLongAfterItWasParsedAndFromAnotherThreadSafely) {
  std::string md;
  for (int i = 0; i < 200; ++i) md += "- item **" + std::to_string(i) + "** with `code`\n";
  const Markdown doc(md);
  Lines lines;
  std::thread([&] { lines = Console().render_lines(doc, 40); }).join();
  ASSERT_EQ(lines.size(), 200u);
  EXPECT_TRUE(lines[199].text().starts_with(" • item 199 with code ")) << lines[199].text();
}

}  // namespace
}  // namespace styled::markdown_detail
