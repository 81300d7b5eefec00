// Values written as Wine writes them: each case is a line Wine 8 itself wrote for that data.
#include "wine/registry_writer.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/wine/registry_support.h"
#include "wine/registry_reader.h"

namespace morvane::wine {
namespace {

// The code units as the bytes of a string value (each unit low byte first); the terminating NUL is given too.
std::string Units(std::u16string_view units)
{
    std::string bytes;
    for (const char16_t u : units) {
        bytes.push_back(static_cast<char>(u & 0xff));
        bytes.push_back(static_cast<char>(u >> 8));
    }
    return bytes;
}

std::string Counting(std::size_t n)
{
    std::string bytes;
    for (std::size_t i = 0; i < n; ++i) {
        bytes.push_back(static_cast<char>(i & 0xff));
    }
    return bytes;
}

constexpr std::string_view kKeyLines = "WINE REGISTRY Version 2\n\n[Key] 1800000000\n#time=1dda4c66b338000\n";

// The lines a new key "Key" holding the one value gets.
std::string WrittenValue(const RegistryValue& value)
{
    Registry registry;
    registry.setChangeTime(FileTimeFromUnix(1800000000));
    EXPECT_TRUE(registry.addKey(u"Key").ok());
    EXPECT_TRUE(registry.setValue(u"Key", value).ok());
    const std::string text = FormatRegistry(registry);
    EXPECT_EQ(text.substr(0, kKeyLines.size()), kKeyLines);
    return text.substr(kKeyLines.size());
}

TEST(RegistryWriter, WritesEachValueAsWineDoes)
{
    const struct {
        RegistryValue value;
        std::string lines;
    } cases[] = {
        {RegistryValue::bytes(u"Ctl",
                              Units(std::u16string(u"A\x01\a\x1b\0"
                                                   u"7\n\t\0a\xfc"
                                                   u"A\xfc"
                                                   u"g\0",
                                                   15)),
                              kRegSz),
         "\"Ctl\"=\"A\\1\\a\\e\\0007\\n\\t\\0a\\x00fcA\\xfcg\"\n"},
        {RegistryValue::text(u"Hi",
                             u"\xfc"
                             u"1\x100"),
         "\"Hi\"=\"\\x00fc1\\x100\"\n"},
        {RegistryValue::bytes(u"Empty", "", kRegSz), "\"Empty\"=hex(1):\n"},
        {RegistryValue::bytes(u"Odd", "A", kRegSz), "\"Odd\"=hex(1):41\n"},
        {RegistryValue::bytes(u"NoNul", std::string("A\0", 2), kRegSz), "\"NoNul\"=hex(1):41,00\n"},
        {RegistryValue::bytes(u"Odd end", std::string("A\0\0", 3), kRegSz), "\"Odd end\"=hex(1):41,00,00\n"},
        {RegistryValue::text(u"Exp", u"A", kRegExpandSz), "\"Exp\"=str(2):\"A\"\n"},
        {RegistryValue::bytes(u"ExpEmpty", "", kRegExpandSz), "\"ExpEmpty\"=hex(2):\n"},
        {RegistryValue::multiText(u"Multi", {u"a", u"b"}), "\"Multi\"=str(7):\"a\\0b\\0\"\n"},
        {RegistryValue::bytes(u"MultiEmpty", std::string(2, '\0'), kRegMultiSz), "\"MultiEmpty\"=str(7):\"\"\n"},
        {RegistryValue::text(u"Nul inside", std::u16string(u"A\0B", 3)), "\"Nul inside\"=\"A\\0B\"\n"},
        {RegistryValue::text(u"", u"x"), "@=\"x\"\n"},
        {RegistryValue::text(u"", u""), "@=\"\"\n"},
        {RegistryValue::dword(u"D", 11), "\"D\"=dword:0000000b\n"},
        {RegistryValue::dword(u"D", 0xfffffff0), "\"D\"=dword:fffffff0\n"},
        {RegistryValue::bytes(u"D3", "\x01\x02\x03", kRegDword), "\"D3\"=hex(4):01,02,03\n"},
        {RegistryValue::bytes(u"D5", "\x01\x02\x03\x04\x05", kRegDword), "\"D5\"=hex(4):01,02,03,04,05\n"},
        {RegistryValue::bytes(u"Dbig", "\x01\x02\x03\x04", kRegDwordBigEndian), "\"Dbig\"=hex(5):01,02,03,04\n"},
        {RegistryValue::bytes(u"Q", "\x01\x02\x03\x04\x05\x06\x07\x08", kRegQword),
         "\"Q\"=hex(b):01,02,03,04,05,06,07,08\n"},
        {RegistryValue::bytes(u"None", "", kRegNone), "\"None\"=hex(0):\n"},
        {RegistryValue::bytes(u"Big", "\x01", 0x100), "\"Big\"=hex(100):01\n"},
        {RegistryValue::bytes(u"Huge", "\x02", 0xffffffff), "\"Huge\"=hex(ffffffff):02\n"},
        {RegistryValue::bytes(u"BinEmpty", ""), "\"BinEmpty\"=hex:\n"},
        {RegistryValue::bytes(u"Bin", Counting(100)),
         "\"Bin\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,16,\\\n"
         "  17,18,19,1a,1b,1c,1d,1e,1f,20,21,22,23,24,25,26,27,28,29,2a,2b,2c,2d,2e,2f,\\\n"
         "  30,31,32,33,34,35,36,37,38,39,3a,3b,3c,3d,3e,3f,40,41,42,43,44,45,46,47,48,\\\n"
         "  49,4a,4b,4c,4d,4e,4f,50,51,52,53,54,55,56,57,58,59,5a,5b,5c,5d,5e,5f,60,61,\\\n"
         "  62,63\n"},
        {RegistryValue::bytes(u"A long value name that pushes the hex data further along the line", Counting(60)),
         "\"A long value name that pushes the hex data further along the line\"=hex:00,01,\\\n"
         "  02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,16,17,18,19,1a,\\\n"
         "  1b,1c,1d,1e,1f,20,21,22,23,24,25,26,27,28,29,2a,2b,2c,2d,2e,2f,30,31,32,33,\\\n"
         "  34,35,36,37,38,39,3a,3b\n"},
        {RegistryValue::bytes(u"A very long value name that is longer than the whole line of seventy-six characters",
                              Counting(30)),
         "\"A very long value name that is longer than the whole line of seventy-six characters\"=hex:00,\\\n"
         "  01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,16,17,18,19,\\\n"
         "  1a,1b,1c,1d\n"},
        // The escapes of the name count toward the line's length.
        {RegistryValue::bytes(u"\xe9\xe9\xe9\xe9\xe9\xe9\xe9\xe9\xe9\xe9\xe9", Counting(12)),
         "\"\\xe9\\xe9\\xe9\\xe9\\xe9\\xe9\\xe9\\xe9\\xe9\\xe9\\xe9\"=hex:00,01,02,03,04,05,06,07,08,\\\n  09,0a,0b\n"},
        {RegistryValue::text(u"Quote\"d\\", u"x\"y\\z[]"), "\"Quote\\\"d\\\\\"=\"x\\\"y\\\\z[]\"\n"},
        {RegistryValue::text(u"\xe9", u"7"), "\"\\xe9\"=\"7\"\n"},
        {RegistryValue::text(u"\xd83c\xdf0e",
                             u"\xd83c\xdf0e"
                             u"a"),
         "\"\\xd83c\\xdf0e\"=\"\\xd83c\\xdf0ea\"\n"},
        {RegistryValue::text(u"a\x01"
                             u"7",
                             u"\x01"
                             u"8\x7f"),
         "\"a\\0017\"=\"\\18\x7f\"\n"},
        {RegistryValue::text(u"ctl", u"\x1f\x08\x0b\x0c\x0d"), "\"ctl\"=\"\\37\\b\\v\\f\\r\"\n"},
        // A name ending in NUL keeps it (Wine would drop it).
        {RegistryValue::text(std::u16string(u"a\0", 2), u""), "\"a\\0\"=\"\"\n"},
    };
    for (const auto& c : cases) {
        const std::string written = WrittenValue(c.value);
        EXPECT_EQ(written, c.lines);
        // And read back, the same value.
        auto registry = ParseRegistry(std::string(kKeyLines) + written);
        ASSERT_TRUE(registry.ok()) << registry.error().describe();
        EXPECT_EQ(*registry->values(u"Key"), std::vector<RegistryValue>{c.value}) << c.lines;
    }
}

TEST(RegistryWriter, WritesKeyPathsClassesAndLinksAsWineDoes)
{
    const struct {
        std::u16string path;
        std::string header;
    } cases[] = {
        {u"Software\\Br[a]ck\"et", "[Software\\\\Br\\[a\\]ck\"et] 1800000000"},
        {u"Control Panel\\International\\\xd83c\xdf0e\xd83c\xdf0f",
         "[Control Panel\\\\International\\\\\\xd83c\\xdf0e\\xd83c\\xdf0f] 1800000000"},
        {u"\xc4pfel\\\x434\x43e\x43c\\\xfc"
         u"b",
         "[\\xc4pfel\\\\\\x434\\x43e\\x43c\\\\\\x00fcb] 1800000000"},
        {u"tab\there", "[tab\\there] 1800000000"},
    };
    for (const auto& c : cases) {
        Registry registry;
        registry.setChangeTime(FileTimeFromUnix(1800000000));
        ASSERT_TRUE(registry.addKey(c.path).ok());
        EXPECT_EQ(FormatRegistry(registry), "WINE REGISTRY Version 2\n\n" + c.header + "\n#time=1dda4c66b338000\n");
    }

    // A key's class and link mark are kept when its values change.
    auto registry = ParseRegistry(test::Lines({
        "WINE REGISTRY Version 2",
        "",
        "[Software\\\\Classes\\\\Wow6432Node\\\\AppId] 1796811979",
        "#time=1dd87c7baf8d1e2",
        "#class=\"\\xe9\\\"x\\\"\"",
        "#link",
        "\"SymbolicLinkValue\"=hex(6):5c,00,52,00",
    }));
    ASSERT_TRUE(registry.ok()) << registry.error().describe();
    registry->setChangeTime(FileTime{0x1dd87c7baf8d1e2} + 1);
    ASSERT_TRUE(registry
                    ->setValue(u"Software\\Classes\\Wow6432Node\\AppId",
                               RegistryValue::bytes(u"SymbolicLinkValue", Units(u"\\S"), kRegLink))
                    .ok());
    EXPECT_EQ(FormatRegistry(*registry), test::Lines({
                                             "WINE REGISTRY Version 2",
                                             "",
                                             "[Software\\\\Classes\\\\Wow6432Node\\\\AppId] 1796811979",
                                             "#time=1dd87c7baf8d1e3",
                                             "#class=\"\\xe9\\\"x\\\"\"",
                                             "#link",
                                             "\"SymbolicLinkValue\"=hex(6):5c,00,53,00",
                                         }));
}

TEST(RegistryWriter, TheSecondsFollowTheTimeAsWineRoundsThem)
{
    const struct {
        FileTime time;
        std::string lines;
    } cases[] = {
        {FileTimeFromUnix(1660365260), "] 1660365260\n#time=1d8aecdf470ee00\n"},
        {FileTimeFromUnix(1660365260) + 9999999, "] 1660365260\n#time=1d8aecdf509847f\n"},
        {FileTimeFromUnix(0), "] 0\n#time=19db1ded53e8000\n"},
        {FileTime{0x1dd87c7c200fa6e}, "] 1796811991\n#time=1dd87c7c200fa6e\n"},
        // Before 1970 the seconds are negative and Wine keeps their low 32 bits.
        {FileTime{0xffffffff}, "] 1240428718\n#time=0ffffffff\n"},
        // Times past the range of signed 64-bit numbers wrap around as Wine's do.
        {FileTime{0xffffffffffffffff}, "] 1240428288\n#time=ffffffffffffffff\n"},
        {FileTime{0x8000000000000000}, "] 159663333\n#time=8000000000000000\n"},
    };
    for (const auto& c : cases) {
        Registry registry;
        registry.setChangeTime(c.time);
        ASSERT_TRUE(registry.addKey(u"K").ok());
        EXPECT_EQ(FormatRegistry(registry), "WINE REGISTRY Version 2\n\n[K" + c.lines);
        auto again = ParseRegistry(FormatRegistry(registry));
        ASSERT_TRUE(again.ok());
        EXPECT_EQ(again->findKey(u"K")->time, c.time);
    }
}

}  // namespace
}  // namespace morvane::wine
