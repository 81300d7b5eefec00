// Reading registry text: each kind of value and escape into its exact data, what the reader takes that Wine does
// not write, and bad input with its message.
#include "wine/registry_reader.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/wine/registry_support.h"
#include "wine/registry_names.h"
#include "wine/registry_writer.h"

namespace morvane::wine {
namespace {

using test::Hex;

constexpr std::string_view kHeader =
    "WINE REGISTRY Version 2\n;; All keys relative to REGISTRY\\\\Machine\n\n"
    "#arch=win64\n\n[Key] 1660365260\n";

// The one value of the key "Key" in a file that holds `valueLines` there.
RegistryValue OnlyValue(std::string_view valueLines)
{
    auto registry = ParseRegistry(std::string(kHeader) + std::string(valueLines));
    if (!registry) {
        ADD_FAILURE() << registry.error().describe() << " for " << valueLines;
        return {};
    }
    const auto values = registry->values(u"Key");
    if (!values || values->size() != 1) {
        ADD_FAILURE() << "not one value in " << valueLines;
        return {};
    }
    return values->front();
}

TEST(RegistryReader, ReadsEachKindOfValueIntoItsExactData)
{
    const struct {
        const char* line;
        std::u16string name;
        std::uint32_t type;
        const char* data;  // hex
    } cases[] = {
        {"\"a\"=\"text\"", u"a", kRegSz, "74 00 65 00 78 00 74 00 00 00"},
        {"@=\"\"", u"", kRegSz, "00 00"},
        {"\"a\"=str:\"x\"", u"a", kRegSz, "78 00 00 00"},
        {"\"Path\"=str(2):\"%W%\"", u"Path", kRegExpandSz, "25 00 57 00 25 00 00 00"},
        {"\"a\"=str(7):\"a\\0b\\0\"", u"a", kRegMultiSz, "61 00 00 00 62 00 00 00 00 00"},
        {"\"a\"=str(7):\"\"", u"a", kRegMultiSz, "00 00"},
        {"\"a\"=dword:0000000b", u"a", kRegDword, "0b 00 00 00"},
        {"\"a\"=dword:fFfFfFf0", u"a", kRegDword, "f0 ff ff ff"},
        {"\"a\"=dword:b", u"a", kRegDword, "0b 00 00 00"},
        {"\"a\"=hex:", u"a", kRegBinary, ""},
        {"\"a\"=hex:00,01,ff", u"a", kRegBinary, "00 01 ff"},
        {"\"a\"=hex:0,1,a,", u"a", kRegBinary, "00 01 0a"},
        {"\"a\"=hex: 00 , 01 ", u"a", kRegBinary, "00 01"},
        {"\"a\"=hex(0):", u"a", kRegNone, ""},
        {"\"a\"=hex(1):41,00", u"a", kRegSz, "41 00"},
        {"\"a\"=hex(4):01,02,03", u"a", kRegDword, "01 02 03"},
        {"\"a\"=hex(5):01,02,03,04", u"a", kRegDwordBigEndian, "01 02 03 04"},
        {"\"a\"=hex(b):01,02,03,04,05,06,07,08", u"a", kRegQword, "01 02 03 04 05 06 07 08"},
        {"\"a\"=hex(100):01", u"a", 0x100, "01"},
        {"\"a\"=hex(FFFFFFFF):02", u"a", 0xffffffff, "02"},
        // Continued over lines, as Wine breaks long data.
        {"\"a\"=hex:00,01,\\\n  02,03,\\\n  04", u"a", kRegBinary, "00 01 02 03 04"},
        {"\"a\"=hex(7):61,00,\\\r\n  00,00\r", u"a", kRegMultiSz, "61 00 00 00"},
        {"\"a\"=hex:\\\n  00", u"a", kRegBinary, "00"},
        // White space that Wine skips, and a CR LF ending.
        {"   \t\"a\"=\"x\"", u"a", kRegSz, "78 00 00 00"},
        {"\"a\" = \"x\"  ", u"a", kRegSz, "78 00 00 00"},
        {"\"a\"=\"x\"\r", u"a", kRegSz, "78 00 00 00"},
        // Names escaped as data is, any character in them.
        {"\"a\\\"b\\\\c\"=dword:00000001", u"a\"b\\c", kRegDword, "01 00 00 00"},
        {"\"\\xe9t\\xe9\"=\"\"", u"\xe9t\xe9", kRegSz, "00 00"},
        {"\"[x]=y\"=\"\"", u"[x]=y", kRegSz, "00 00"},
    };
    for (const auto& c : cases) {
        const RegistryValue value = OnlyValue(c.line);
        EXPECT_EQ(value.name, c.name) << c.line;
        EXPECT_EQ(value.type, c.type) << c.line;
        EXPECT_EQ(Hex(value.data), c.data) << c.line;
    }
}

TEST(RegistryReader, ReadsEachEscapeAndUtf8)
{
    const struct {
        const char* quoted;  // between the quotes of a REG_SZ
        std::u16string units;
    } cases[] = {
        {"a\\\\b", u"a\\b"},
        {"\\\"", u"\""},
        {"\\[\\]", u"[]"},
        {"[]", u"[]"},
        {"\\q\\ ", u"q "},
        {"\\a\\b\\e\\f\\n\\r\\t\\v", u"\a\b\x1b\f\n\r\t\v"},
        {"\\1", u"\x01"},
        {"\\0007", std::u16string(u"\0"
                                  u"7",
                                  2)},
        {"\\377", u"\xff"},
        {"\\777", u"\x1ff"},
        {"\\1234",
         u"\x53"
         u"4"},
        {"\\08", std::u16string(u"\0"
                                u"8",
                                2)},
        {"\\xfc", u"\xfc"},
        {"\\x00fcA",
         u"\xfc"
         u"A"},
        {"\\x100", u"\x100"},
        {"\\x12345",
         u"\x1234"
         u"5"},
        {"\\xd83c\\xdf0e", u"\xd83c\xdf0e"},
        {"\\xg", u"xg"},
        {"\\x", u"x"},
        // UTF-8, which Wine reads but does not write.
        {"\xc3\xbc", u"\xfc"},
        {"\xe2\x82\xac", u"\x20ac"},
        {"\xf0\x9f\x98\x80", u"\xd83d\xde00"},
        {"\\\xc3\xbc", u"\xfc"},
        // Control characters and DEL as they stand.
        {"\t\x7f", u"\t\x7f"},
    };
    for (const auto& c : cases) {
        const RegistryValue value = OnlyValue("\"s\"=\"" + std::string(c.quoted) + "\"");
        EXPECT_EQ(value.units(), c.units) << c.quoted;
        // The data ends in the terminating NUL.
        EXPECT_EQ(value.data.size(), 2 * c.units.size() + 2) << c.quoted;
    }
}

TEST(RegistryReader, ReadsKeysWithTheirOptionsAndComments)
{
    auto registry = ParseRegistry(test::Lines({
        "WINE REGISTRY Version 2",
        ";; All keys relative to REGISTRY\\\\User\\\\S-1-5-21-0-0-0-1000",
        "",
        "#arch=win32",
        "",
        "[Software\\\\Br\\[a\\]ck\"et] 1796812287",
        "#time=1dd87c872447324",
        "#class=\"Class \\\"A\\\"\"",
        "; a comment",
        "#unknown option",
        "\"x\"=\"1\"",
        "",
        "[Software\\\\Link] 1796811979",
        "#link",
        "",
        "[Software\\\\No time]",
        "",
        "[Software\\\\Seconds only] 1660365260",
    }));
    ASSERT_TRUE(registry.ok()) << registry.error().describe();
    EXPECT_EQ(registry->arch(), "win32");
    EXPECT_EQ(registry->findKey(u"software\\br[A]CK\"ET"),
              (RegistryKey{u"Br[a]ck\"et", FileTime{0x1dd87c872447324}, u"Class \"A\"", false}));
    EXPECT_EQ(registry->findKey(u"Software\\Link"),
              (RegistryKey{u"Link", FileTimeFromUnix(1796811979), std::nullopt, true}));
    EXPECT_EQ(registry->findKey(u"Software\\No time"), (RegistryKey{u"No time", std::nullopt, std::nullopt, false}));
    EXPECT_EQ(registry->findKey(u"Software\\Seconds only")->time, FileTimeFromUnix(1660365260));
    EXPECT_EQ(registry->findKey(u"Software\\Missing"), std::nullopt);
    EXPECT_EQ(*registry->subkeys(u"Software"),
              (std::vector<std::u16string>{u"Br[a]ck\"et", u"Link", u"No time", u"Seconds only"}));
    EXPECT_EQ(registry->findValue(u"Software\\Br[a]ck\"et", u"X")->name, u"x");
}

// A file Wine did not write: keys out of order, a key named twice, a value set twice, in other letter cases. The
// registry is what Wine would make of it: the first spelling stays, the last data wins, all sorted.
TEST(RegistryReader, MergesWhatAFileNamesTwiceAsWineDoes)
{
    auto registry = ParseRegistry(test::Lines({
        "WINE REGISTRY Version 2",
        "[B\\\\Sub] 1",
        "\"v\"=\"1\"",
        "[a] 2",
        "\"Z\"=\"z\"",
        "\"b\"=\"1\"",
        "[b] 3",
        "\"x\"=dword:00000001",
        "[A] 4",
        "\"B\"=dword:00000002",
    }));
    ASSERT_TRUE(registry.ok()) << registry.error().describe();
    EXPECT_EQ(*registry->subkeys(u""), (std::vector<std::u16string>{u"a", u"B"}));
    EXPECT_EQ(*registry->values(u"A"),
              (std::vector<RegistryValue>{RegistryValue::dword(u"b", 2), RegistryValue::text(u"Z", u"z")}));
    EXPECT_EQ(registry->findKey(u"a")->time, FileTimeFromUnix(4));
    EXPECT_EQ(registry->findKey(u"b")->time, FileTimeFromUnix(3));

    // Written in Wine's order; a header that spells a key otherwise than it is stored gets the stored spelling.
    const std::string written = FormatRegistry(*registry);
    EXPECT_EQ(written, test::Lines({
                           "WINE REGISTRY Version 2",
                           "[a] 2",
                           "\"Z\"=\"z\"",
                           "\"b\"=\"1\"",
                           "[a] 4",
                           "\"B\"=dword:00000002",
                           "[B] 3",
                           "\"x\"=dword:00000001",
                           "[B\\\\Sub] 1",
                           "\"v\"=\"1\"",
                       }));
    auto again = ParseRegistry(written);
    ASSERT_TRUE(again.ok());
    EXPECT_TRUE(*again == *registry);
}

TEST(RegistryReader, KeepsCrLfAndAMissingLastLineEnding)
{
    const std::string crlf =
        "WINE REGISTRY Version 2\r\n\r\n[Key] 1\r\n\"a\"=hex:01,\\\r\n  02\r\n\r\n[Last] 2\r\n@=\"x\"";
    auto registry = ParseRegistry(crlf);
    ASSERT_TRUE(registry.ok()) << registry.error().describe();
    EXPECT_EQ(*registry->values(u"Key"), std::vector<RegistryValue>{RegistryValue::bytes(u"a", "\x01\x02")});
    EXPECT_EQ(*registry->values(u"Last"), std::vector<RegistryValue>{RegistryValue::text(u"", u"x")});
    EXPECT_EQ(FormatRegistry(*registry), crlf);

    // A key added after the last one starts on a line of its own.
    registry->setChangeTime(FileTimeFromUnix(3));
    ASSERT_TRUE(registry->addKey(u"New").ok());
    EXPECT_EQ(FormatRegistry(*registry), crlf + "\n\n[New] 3\n#time=19db1ded7084380\n");
}

TEST(RegistryReader, RefusesBadInputSayingWhereAndWhat)
{
    const std::string head = "WINE REGISTRY Version 2\n[k] 1\n";
    const std::string notWine = "line 1: not a Wine registry file: the first line must be \"WINE REGISTRY Version 2\"";
    const struct {
        std::string text;
        std::string message;
    } cases[] = {
        {"", notWine},
        {"REGEDIT4\n\n[HKEY_CURRENT_USER\\Software]\n", notWine},
        {"Windows Registry Editor Version 5.00\r\n", notWine},
        {"\xef\xbb\xbfWINE REGISTRY Version 2\n", notWine},
        {"WINE REGISTRY Version 1\n", notWine},
        {" WINE REGISTRY Version 2\n", notWine},
        {"\x7f"
         "ELF\x02\x01\x01",
         notWine},
        {"WINE REGISTRY Version 2\n\"a\"=\"b\"\n", "line 2: a value before the first key"},
        {"WINE REGISTRY Version 2\n@=\"b\"\n", "line 2: a value before the first key"},
        {"WINE REGISTRY Version 2\n[a\n", "line 2: the key's path has no closing ] before the end of the line"},
        {"WINE REGISTRY Version 2\n[a\\]\n", "line 2: the key's path has no closing ] before the end of the line"},
        {"WINE REGISTRY Version 2\n[a] x\n",
         "line 2: expected the key's time after \"]\": seconds, a decimal number below 4294967296"},
        {"WINE REGISTRY Version 2\n[a] 4294967296\n",
         "line 2: expected the key's time after \"]\": seconds, a decimal number below 4294967296"},
        {"WINE REGISTRY Version 2\n[a] 12 13\n",
         "line 2: expected the key's time after \"]\": seconds, a decimal number below 4294967296"},
        {"WINE REGISTRY Version 2\n[a\\\\\\\\b]\n", "line 2: the key's path has an empty part"},
        {"WINE REGISTRY Version 2\n[\\\\a]\n", "line 2: the key's path has an empty part"},
        {"WINE REGISTRY Version 2\n[a\\\\]\n", "line 2: the key's path has an empty part"},
        {"WINE REGISTRY Version 2\n[a\xff]\n", "line 2: bytes that are not UTF-8 in the key's path"},
        {head + "\"x\"=\"abc\n", "line 3: the string has no closing \" before the end of the line"},
        {head + "\"x\"=\"abc\\\"\n", "line 3: the string has no closing \" before the end of the line"},
        {head + "\"x\"=\"a\"b\"\n", "line 3: unexpected text after the string's closing \""},
        {head + "\"x\n", "line 3: the value's name has no closing \" before the end of the line"},
        {head + "\"x\"\n", "line 3: expected \"=\" after the value's name"},
        {head + "\"x\"\"y\"\n", "line 3: expected \"=\" after the value's name"},
        {head + "@\n", "line 3: expected \"=\" after the value's name"},
        {head + "\"x\"=\n",
         "line 3: expected the value's data after \"=\": \"text\", str(2):\"text\", str(7):\"text\", dword:, hex: or "
         "hex(type):"},
        {head + "\"x\"=str(3):\"a\"\n",
         "line 3: expected the value's data after \"=\": \"text\", str(2):\"text\", str(7):\"text\", dword:, hex: or "
         "hex(type):"},
        {head + "\"x\"=dword:\n", "line 3: expected at most eight hexadecimal digits after \"dword:\""},
        {head + "\"x\"=dword:123456789\n", "line 3: expected at most eight hexadecimal digits after \"dword:\""},
        {head + "\"x\"=dword:0000000g\n", "line 3: expected at most eight hexadecimal digits after \"dword:\""},
        {head + "\"x\"=hex(:00\n", "line 3: expected the type as hexadecimal digits and \"):\" after \"hex(\""},
        {head + "\"x\"=hex(123456789):00\n",
         "line 3: expected the type as hexadecimal digits and \"):\" after \"hex(\""},
        {head + "\"x\"=hex(2)\n", "line 3: expected the type as hexadecimal digits and \"):\" after \"hex(\""},
        {head + "\"x\"=hex:zz\n", "line 3: expected a byte of two hexadecimal digits in the hex data"},
        {head + "\"x\"=hex:00,,01\n", "line 3: expected a byte of two hexadecimal digits in the hex data"},
        {head + "\"x\"=hex:0g\n", "line 3: expected \",\" between the bytes of the hex data"},
        {head + "\"x\"=hex:001\n", "line 3: expected \",\" between the bytes of the hex data"},
        {head + "\"x\"=hex:00 01\n", "line 3: expected \",\" between the bytes of the hex data"},
        {head + "\"x\"=hex:00,\\ 01\n", "line 3: unexpected text after \"\\\" in the hex data"},
        // Cut short inside a value's continuation.
        {head + "\"x\"=hex:00,\\\n", "line 3: the hex data goes on after \"\\\" but the file ends here"},
        {head + "\"x\"=hex:00,\\\n  01,\\", "line 4: the hex data goes on after \"\\\" but the file ends here"},
        {head + "\"x\"=hex:00,\\\n[b] 1\n", "line 4: expected a byte of two hexadecimal digits in the hex data"},
        // Cut short inside a string.
        {head + "\"x\"=\"C:\\\\Program Fi", "line 3: the string has no closing \" before the end of the line"},
        {head + "\"x\"=\"a\xff\"\n", "line 3: bytes that are not UTF-8 in the string"},
        {head + "\"x\"=\"a\xed\xa0\xbc\"\n", "line 3: bytes that are not UTF-8 in the string"},
        {head + "\"x\"=\"a\xc3\"\n", "line 3: bytes that are not UTF-8 in the string"},
        {head + std::string("\"x\"=\"a\0b\"\n", 10), "line 3: a NUL byte in the string"},
        {head + "\"n\xc0\x80\"=\"\"\n", "line 3: bytes that are not UTF-8 in the value's name"},
        {head + "#time=\n", "line 3: expected a hexadecimal number of at most 16 digits after \"#time=\""},
        {head + "#time=12345678901234567\n",
         "line 3: expected a hexadecimal number of at most 16 digits after \"#time=\""},
        {head + "#time=1dd87c7c200fa6e z\n",
         "line 3: expected a hexadecimal number of at most 16 digits after \"#time=\""},
        {head + "#class=abc\n", "line 3: expected a quoted string after \"#class=\""},
        {head + "#class=\"abc\n", "line 3: the key's class has no closing \" before the end of the line"},
        {head + "#class=\"abc\" d\n", "line 3: unexpected text after the key's class"},
        {head + "x=1\n",
         "line 3: expected a key \"[...]\", a value \"name\"=... or @=..., an option \"#...\" or a comment \";...\""},
        {head + "\n\n]\n",
         "line 5: expected a key \"[...]\", a value \"name\"=... or @=..., an option \"#...\" or a comment \";...\""},
    };
    for (const auto& c : cases) {
        auto registry = ParseRegistry(c.text, "/prefix/system.reg");
        ASSERT_FALSE(registry.ok()) << c.text;
        EXPECT_EQ(registry.error().kind, ErrorKind::Damaged) << c.text;
        EXPECT_EQ(registry.error().path, "/prefix/system.reg");
        EXPECT_EQ(registry.error().reason, c.message) << c.text;
    }
}

TEST(RegistryReader, AFileOfTheHeaderAloneIsAnEmptyRegistry)
{
    for (const std::string text : {"WINE REGISTRY Version 2", "WINE REGISTRY Version 2\r\n",
                                   "WINE REGISTRY Version 2\n"
                                   ";; comment\n#arch=win64\n\n\n"}) {
        auto registry = ParseRegistry(text);
        ASSERT_TRUE(registry.ok()) << text;
        EXPECT_EQ(registry->preamble(), text);
        EXPECT_EQ(*registry->subkeys(u""), std::vector<std::u16string>{});
        EXPECT_EQ(*registry->values(u""), std::vector<RegistryValue>{});
        EXPECT_EQ(FormatRegistry(*registry), text);
    }
}

}  // namespace
}  // namespace morvane::wine
