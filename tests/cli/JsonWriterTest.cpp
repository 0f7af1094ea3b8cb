#include "cli/JsonWriter.h"

#include <gtest/gtest.h>

namespace mendora::cli {
namespace {

TEST(JsonWriter, StringsAreAlwaysValidJson)
{
    const std::pair<std::string, std::string> cases[] = {
        {"plain", "\"plain\""},
        {"quote \" and \\ backslash", "\"quote \\\" and \\\\ backslash\""},
        {"tab\tnew\r\nline\x01", "\"tab\\tnew\\r\\nline\\u0001\""},
        {"Gr\xC3\xBC\xC3\x9F" "e", "\"Gr\xC3\xBC\xC3\x9F" "e\""},
        {"bad \xFF byte", "\"bad \xEF\xBF\xBD byte\""},
        {"cut \xE2\x82", "\"cut \xEF\xBF\xBD\xEF\xBF\xBD\""},
        {"overlong \xC0\xAF", "\"overlong \xEF\xBF\xBD\xEF\xBF\xBD\""},
    };
    for (const auto& [in, out] : cases)
        EXPECT_EQ(JsonString(in), out) << in;
}

TEST(JsonWriter, ColumnsAreCutByCodePoints)
{
    EXPECT_EQ(FitColumn("abc", 5), "abc  ");
    EXPECT_EQ(FitColumn("abcdefgh", 6), "abc...");
    EXPECT_EQ(FitColumn("\xC3\xBC\xC3\xBC\xC3\xBC", 3), "\xC3\xBC\xC3\xBC\xC3\xBC");
    EXPECT_EQ(FitColumn("a\tb", 3), "a b");
}

} // namespace
} // namespace mendora::cli
