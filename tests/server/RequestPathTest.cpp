#include "server/RequestPath.h"

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>

namespace brightowl {
namespace {

struct PathCase
{
    const char* name;
    std::string target;
    std::optional<std::string> mapped;  // none: refused
};

void PrintTo(const PathCase& c, std::ostream* os)
{
    *os << c.target << " -> " << (c.mapped ? *c.mapped : std::string("(refused)"));
}

class MapRequestPathTest : public ::testing::TestWithParam<PathCase>
{
};

TEST_P(MapRequestPathTest, MapsOrRefuses)
{
    EXPECT_EQ(MapRequestPath(GetParam().target), GetParam().mapped);
}

INSTANTIATE_TEST_SUITE_P(
    Targets, MapRequestPathTest,
    ::testing::Values(PathCase{"Root", "/", "www/"}, PathCase{"PlainFile", "/index.html", "www/index.html"},
                      PathCase{"EscapedSpace", "/a%20b.html", "www/a b.html"},
                      PathCase{"EscapesBothCases", "/%41%62c", "www/Abc"},
                      PathCase{"UpperCaseHexDigits", "/%4A%4a", "www/JJ"},
                      PathCase{"EscapeMissingDigit", "/a%2", std::nullopt},
                      PathCase{"EscapeAtEnd", "/a%", std::nullopt},
                      PathCase{"EscapeBadSecondDigit", "/a%2G.html", std::nullopt},
                      PathCase{"EscapeBadFirstDigit", "/a%g1", std::nullopt},
                      PathCase{"DotDot", "/../secret.txt", std::nullopt},
                      PathCase{"EscapedDotDot", "/%2e%2e/secret.txt", std::nullopt},
                      PathCase{"DotDotInsideName", "/a..b.html", std::nullopt},
                      PathCase{"DotDotAfterEscapedDot", "/.%2e/x", std::nullopt},
                      PathCase{"AbsoluteAddress", "http://h/pic.jpg", "www/pic.jpg"},
                      PathCase{"AbsoluteAddressSlashAtEight", "http://h/x", "www/x"},
                      PathCase{"AbsoluteAddressWithoutPath", "http://host", "www/ttp://host"},
                      PathCase{"HttpInQuery", "/x?u=http://a/b", "www//a/b"},
                      PathCase{"QueryStaysInPath", "/video?x=1", "www/video?x=1"},
                      PathCase{"FirstCharacterDropped", "video", "www/ideo"},
                      PathCase{"EscapedZeroEndsPath", "/a%00b", "www/a"},
                      PathCase{"DotsAfterZeroIgnored", "/a%00..", "www/a"},
                      PathCase{"UpperCaseSchemeIsNoScheme", "HTTP://h/x", "www/TTP://h/x"},
                      PathCase{"PlusAndBackslashKept", "/a+b\\c:d", "www/a+b\\c:d"},
                      PathCase{"SingleDotsAllowed", "/./a.b/c", "www/./a.b/c"}),
    [](const ::testing::TestParamInfo<PathCase>& param) { return std::string(param.param.name); });

} // namespace
} // namespace brightowl
