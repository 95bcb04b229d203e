#include "zell/payload.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> keys(const zell::Payload& p) {
  std::vector<std::string> out;
  for (const auto& [k, v] : p) out.push_back(k);
  return out;
}

TEST(Payload, KeepsInsertionOrderNotKeyOrder) {
  const zell::Payload p{{"name", "grep"}, {"args", "x"}, {"index", "0"}};
  EXPECT_EQ(keys(p), (std::vector<std::string>{"name", "args", "index"}));
}

TEST(Payload, SetReplacesInPlaceAndAppendsNewKeys) {
  zell::Payload p{{"a", "1"}, {"b", "2"}};
  p.set("a", "3");
  p.set("c", "4");
  EXPECT_EQ(keys(p), (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_EQ(p.get("a"), "3");
  EXPECT_EQ(p.size(), 3U);
}

TEST(Payload, DuplicateKeysInTheInitializerKeepTheFirstPosition) {
  const zell::Payload p{{"a", "1"}, {"b", "2"}, {"a", "9"}};
  EXPECT_EQ(keys(p), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(p.get("a"), "9");
}

TEST(Payload, LookupOfAbsentKey) {
  const zell::Payload p{{"a", ""}};
  EXPECT_TRUE(p.contains("a"));
  EXPECT_EQ(p.find("b"), nullptr);
  EXPECT_EQ(p.get("b", "fallback"), "fallback");
  EXPECT_TRUE(zell::Payload{}.empty());
}

}  // namespace
