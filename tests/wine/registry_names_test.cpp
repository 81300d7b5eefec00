// Letter case and order of registry names as Wine 8 has them, and the UTF-8 form of names.
#include "wine/registry_names.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace morvane::wine {
namespace {

TEST(RegistryNames, FoldsPairsOfLettersThatMapToEachOther)
{
    const struct {
        char16_t unit;
        char16_t folded;
    } cases[] = {
        {u'A', u'a'},           {u'Z', u'z'},           {u'a', u'a'},           {u'_', u'_'},
        {u'@', u'@'},           {u'[', u'['},           {u'\x7f', u'\x7f'},     {u'\xc4', u'\xe4'},   // Ä
        {u'\xd7', u'\xd7'},     {u'\xde', u'\xfe'},     {u'\xdf', u'\xdf'},     {u'\x178', u'\xff'},  // Ÿ
        {u'\x100', u'\x101'},   {u'\x130', u'\x130'},   {u'\x131', u'\x131'},    // İ and ı have no partner both ways
        {u'\x17f', u'\x17f'},                                                    // long s
        {u'\x1c4', u'\x1c6'},   {u'\x1c5', u'\x1c5'},   {u'\x1c6', u'\x1c6'},    // Ǆ ǅ ǆ
        {u'\x391', u'\x3b1'},   {u'\x3a3', u'\x3c3'},   {u'\x3c2', u'\x3c2'},    // Α Σ ς
        {u'\x410', u'\x430'},   {u'\x414', u'\x434'},   {u'\x1c81', u'\x1c81'},  // А Д and a variant of д
        {u'\x1e9e', u'\x1e9e'},                                                  // capital sharp s
        {u'\x1f88', u'\x1f80'},                                                  // ᾈ
        {u'\x212a', u'\x212a'}, {u'\x2126', u'\x2126'},                          // Kelvin, Ohm
        {u'\xff21', u'\xff41'},                                                  // fullwidth A
        {u'\xd801', u'\xd801'}, {u'\xdc00', u'\xdc00'},                          // surrogates never fold
        {u'\xffff', u'\xffff'},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(static_cast<unsigned>(FoldCase(c.unit)), static_cast<unsigned>(c.folded))
            << std::hex << static_cast<unsigned>(c.unit);
    }
}

TEST(RegistryNames, FoldingIsItsOwnFixedPoint)
{
    for (unsigned u = 0; u < 0x10000; ++u) {
        const char16_t once = FoldCase(static_cast<char16_t>(u));
        ASSERT_EQ(FoldCase(once), once) << std::hex << u;
    }
}

TEST(RegistryNames, ComparesAsWineOrdersKeys)
{
    const struct {
        std::u16string a;
        std::u16string b;
        int order;
    } cases[] = {
        {u"abc", u"ABC", 0},
        {u"Software", u"SOFTWARE", 0},
        {u"\xc4pfel", u"\xe4PFEL", 0},
        {u"a", u"ab", -1},
        {u"ab", u"a", 1},
        {u"", u"", 0},
        {u"", u"a", -1},
        // By lower case: "_" (0x5f) comes before the letters, "[" and "^" too.
        {u"_iso-2022-jp$SIO", u"ANSI_X3.4-1968", -1},
        {u"GB_2312-80", u"GBK", -1},
        {u"ks_c_5601-1989", u"KSC5601", -1},
        {u"[x]", u"^", -1},
        {u"^", u"_u", -1},
        // By the folded code unit: ß (df) before Ä (folded e4), ǅ (1c5) before Ǆ (folded 1c6).
        {u"\xdfx", u"\xc4pfel", -1},
        {u"\x1c5x", u"\x1c4x", -1},
        // Code units, not code points: a surrogate pair sorts before U+FF41.
        {u"\xd801\xdc00x", u"\xff41x", -1},
        {u"\x212ax", u"kx", 1},
    };
    for (const auto& c : cases) {
        const int order = CompareNames(c.a, c.b);
        EXPECT_EQ((order > 0) - (order < 0), c.order) << Utf8FromUtf16(c.a) << " / " << Utf8FromUtf16(c.b);
        EXPECT_EQ(NamesEqual(c.a, c.b), c.order == 0);
    }
}

// The keys Wine 8 wrote in this order, one beside the other, for key names made of one code unit and "x" or "pfel".
TEST(RegistryNames, SortsNamesAsWineWroteThem)
{
    const std::vector<std::u16string> wineOrder = {
        u"Ix",
        u"kx",
        u"Order",
        u"Sx",
        u"\xdfx",
        u"\xc4pfel",
        u"\x131x",
        u"\x17fx",
        u"\x1c5x",
        u"\x1c4x",
        u"\x434\x43e\x43c",
        u"\x1e9ex",
        u"\x212ax",
        u"\xd801\xdc00x",
        u"\xd801\xdc28x",
        u"\xd835\xdc00x",
        u"\xff41x",
    };
    std::vector<std::u16string> sorted = wineOrder;
    std::reverse(sorted.begin(), sorted.end());
    std::sort(sorted.begin(), sorted.end(),
              [](const std::u16string& a, const std::u16string& b) { return CompareNames(a, b) < 0; });
    EXPECT_EQ(sorted, wineOrder);
}

TEST(RegistryNames, Utf8AndBack)
{
    const struct {
        std::u16string units;
        std::string utf8;
    } cases[] = {
        {u"", ""},
        {u"Software", "Software"},
        {u"\xe4\x434", "\xc3\xa4\xd0\xb4"},
        {u"\x20ac", "\xe2\x82\xac"},
        {u"\xd83c\xdf0e", "\xf0\x9f\x8c\x8e"},
        // An unpaired surrogate on its own in three bytes.
        {u"a\xd83c", "a\xed\xa0\xbc"},
        {u"\xdf0e"
         u"b",
         "\xed\xbc\x8e"
         "b"},
        {std::u16string(u"\0x", 2), std::string("\0x", 2)},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Utf8FromUtf16(c.units), c.utf8);
        EXPECT_EQ(Utf16FromUtf8(c.utf8), c.units);
    }
    // What is not UTF-8 becomes U+FFFD, a byte at a time.
    EXPECT_EQ(Utf16FromUtf8("a\xff"
                            "b"),
              u"a\xfffd"
              u"b");
    EXPECT_EQ(Utf16FromUtf8("\xc0\xaf"), u"\xfffd\xfffd");
    EXPECT_EQ(Utf16FromUtf8("\xe2\x82"), u"\xfffd\xfffd");
    EXPECT_EQ(Utf16FromUtf8("\xf4\x90\x80\x80"), u"\xfffd\xfffd\xfffd\xfffd");
}

}  // namespace
}  // namespace morvane::wine
