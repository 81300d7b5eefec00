#pragma once

// Names of registry keys and values: how Wine compares and orders them, and their conversion to and from UTF-8.
//
// A name is a string of UTF-16 code units, as Wine keeps it. Wine compares two names code unit by code unit after
// folding each to lower case, and a name that is the beginning of another sorts first. The folding maps a code
// unit to its lower-case partner only when the two map to each other both ways (A and a, Ä and ä, Д and д, Ｆ and
// ｆ); one-way mappings are left alone (the Kelvin sign K, the long s ſ, the dotless ı, the title-case Ǆ/ǅ/ǆ trio,
// ẞ), and so are surrogates, so letters beyond the Basic Multilingual Plane never fold. That is what Wine 8 was
// seen to do with every code unit as a key name; because the comparison is by lower case, "_" sorts before the
// letters. Key names and value names follow the same rule.

#include <string>
#include <string_view>

namespace morvane::wine {

// The code unit as Wine compares it: its lower-case partner, or itself.
char16_t FoldCase(char16_t unit);

// Wine's order of two names: negative, zero or positive as `a` sorts before, with or after `b`.
int CompareNames(std::u16string_view a, std::u16string_view b);

// The same name but for letter case, as Wine looks names up.
bool NamesEqual(std::u16string_view a, std::u16string_view b);

// UTF-8 into UTF-16. A byte sequence that is not UTF-8 becomes U+FFFD, one per byte.
std::u16string Utf16FromUtf8(std::string_view utf8);

// UTF-16 into UTF-8. An unpaired surrogate is encoded on its own in three bytes, so that every string of code units
// comes back unchanged through Utf16FromUtf8.
std::string Utf8FromUtf16(std::u16string_view utf16);

}  // namespace morvane::wine
