#pragma once

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "wine/registry.h"

namespace morvane::wine {

// gtest prints values with their type and data in hex.
void PrintTo(const RegistryValue& value, std::ostream* out);
void PrintTo(const RegistryKey& key, std::ostream* out);

namespace test {

// The bytes of a file of tests/wine/data (the registry files of a fresh prefix).
std::string DataFile(std::string_view name);

// Empty when the texts are the same; else the first line where they differ, with both versions of it.
std::string FirstDifference(std::string_view expected, std::string_view actual);

// Bytes written as hex pairs: "41 00 00 00".
std::string Hex(std::string_view bytes);

// The paths of every key below the top key, depth first in Wine's order.
std::vector<std::u16string> AllKeyPaths(const Registry& registry);

// The lines joined, each followed by LF.
std::string Lines(std::initializer_list<std::string_view> lines);

}  // namespace test
}  // namespace morvane::wine
