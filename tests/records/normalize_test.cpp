#include "records/normalize.h"

#include <gtest/gtest.h>

#include <string>

namespace morvane {
namespace {

TEST(NormalizeLine, TrimsSpacesAndRemovesThemAroundEveryEquals)
{
    const struct {
        const char* line;
        const char* normalised;
    } cases[] = {
        {"device = himem.sys", "device=himem.sys"},
        {"a  =  b = c", "a=b=c"},
        {"   files=30   ", "files=30"},
        {"IF %1 == X GOTO END", "IF %1==X GOTO END"},
        {"key =", "key="},
        {"= value", "=value"},
        {"", ""},
        {"     ", ""},
        // Only the space character counts: tabs stay where they are.
        {"\tkey\t= value\t", "\tkey\t=value\t"},
        {"key =\tvalue", "key=\tvalue"},
        {"[boot]", "[boot]"},
        {"PATH C:\\DOS;C:\\WINDOWS", "PATH C:\\DOS;C:\\WINDOWS"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(NormalizeLine(c.line), c.normalised) << '"' << c.line << '"';
    }
}

TEST(LinesMatch, ComparesKeyAndValueAroundTheFirstEquals)
{
    EXPECT_TRUE(LinesMatch("files=30", "files=30"));
    EXPECT_TRUE(LinesMatch("files = 30", "files=30"));
    EXPECT_TRUE(LinesMatch("a= b=c", "a =b=c"));
    EXPECT_FALSE(LinesMatch("files=30", "FILES=30"));
    EXPECT_FALSE(LinesMatch("files=30", "files=31"));
    EXPECT_FALSE(LinesMatch("files=30", "files30"));
    EXPECT_FALSE(LinesMatch("key\t=v", "key=v"));
    EXPECT_FALSE(LinesMatch("", " "));
}

}  // namespace
}  // namespace morvane
