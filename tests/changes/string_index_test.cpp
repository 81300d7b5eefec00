#include "changes/string_index.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <unordered_map>
#include <vector>

namespace morvane {
namespace {

TEST(StringIndex, FindsWhatAMapFindsThroughGrowthAndRepeatedTexts)
{
    // Texts repeated many times, the empty text, texts that differ only in their last byte or in case; the
    // table starts small and grows many times over. A later entry of the same text replaces the earlier one.
    std::mt19937 random(20261208);
    std::vector<std::string> texts;
    for (int i = 0; i < 20000; ++i) {
        const int pick = static_cast<int>(random() % 3000);
        texts.push_back(pick == 0 ? std::string() : "\\DIR" + std::to_string(pick % 1000) + (pick % 2 ? "\\a" : "\\A"));
    }
    StringIndex index(0, [&texts](std::uint32_t entry) { return std::string_view(texts[entry]); });
    std::unordered_map<std::string, std::uint32_t> expected;
    for (std::uint32_t entry = 0; entry < texts.size(); ++entry) {
        const auto before = expected.find(texts[entry]);
        const std::uint32_t replaced = before == expected.end() ? index.kAbsent : before->second;
        ASSERT_EQ(index.put(entry), replaced) << "entry " << entry;
        expected[texts[entry]] = entry;
    }
    for (const auto& [text, entry] : expected) {
        EXPECT_EQ(index.find(text), entry) << text;
    }
    for (const std::string absent : {"\\DIR1000\\a", "\\DIR1\\", "\\dir1\\a", "\\DIR1\\a "}) {
        EXPECT_EQ(index.find(absent), index.kAbsent) << absent;
    }
}

}  // namespace
}  // namespace morvane
