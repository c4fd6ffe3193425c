#include "tests/reliability/ReliabilityFixture.h"

#include <gtest/gtest.h>

#include <fstream>
#include <ostream>
#include <string>

namespace brightowl {
namespace {

using test::ConnectLoopback;
using test::ReadToClose;
using test::WriteAll;

constexpr char kSecret[] = "SECRET-7f3a-never-served";
constexpr char kIndexBody[] = "<html>index</html>";
constexpr char kMissingBody[] = "<html>missing</html>";
constexpr char kPublicBody[] = "public file";

enum class Answer
{
    None,            // closed without a byte
    NotImplemented,  // the 501 line
    NotFound,        // the 404 line and www/404.html
    Index,           // 200 and www/index.html
    Public           // 200 and www/sub/public.txt
};

struct BadRequest
{
    const char* name;
    std::string bytes;
    Answer answer;
};

void PrintTo(const BadRequest& c, std::ostream* os)
{
    *os << c.name << ": " << ::testing::PrintToString(c.bytes.substr(0, 80));
}

std::string Get(const std::string& target)
{
    return "GET " + target + " HTTP/1.0\r\n\r\n";
}

std::string Expected(Answer answer)
{
    switch (answer) {
    case Answer::None:
        return "";
    case Answer::NotImplemented:
        return "HTTP/1.0 501 Not Implemented\r\n";
    case Answer::NotFound:
        return std::string("HTTP/1.0 404 File Not Found\r\n\r\n") + kMissingBody;
    case Answer::Index:
        return std::string("HTTP/1.0 200 OK\r\n\r\n") + kIndexBody;
    case Answer::Public:
        return std::string("HTTP/1.0 200 OK\r\n\r\n") + kPublicBody;
    }
    return "?";
}

// A secret file lies next to www/, in the server's current directory, and one in the folder above.
class BadRequestTest : public test::ReliabilityFixture, public ::testing::WithParamInterface<BadRequest>
{
protected:
    void SetUp() override
    {
        ReliabilityFixture::SetUp();
        std::filesystem::create_directory("www/sub");
        WriteWwwFile("index.html", kIndexBody);
        WriteWwwFile("404.html", kMissingBody);
        WriteWwwFile("sub/public.txt", kPublicBody);
        std::ofstream("secret.txt") << kSecret;
        std::ofstream("www/../../secret.txt") << kSecret;
        Start(0, 5);
    }

    void TearDown() override
    {
        std::error_code ignored;
        std::filesystem::remove("../secret.txt", ignored);
        ReliabilityFixture::TearDown();
    }
};

TEST_P(BadRequestTest, NothingOutsideWwwIsServedTheConnectionEndsAndTheNextIsServed)
{
    Socket client = ConnectLoopback(port_);
    WriteAll(client, GetParam().bytes);
    ::shutdown(client.Fd(), SHUT_WR);
    // Every connection ends by itself, at the latest at the request time-out.
    std::optional<std::string> answer = ReadToClose(client, 20000);
    ASSERT_TRUE(answer) << "the connection did not end";
    EXPECT_EQ(answer->find("SECRET"), std::string::npos);
    EXPECT_EQ(*answer, Expected(GetParam().answer));
    EXPECT_EQ(Exchange(Get("/sub/public.txt")), Expected(Answer::Public)) << "the next request was harmed";
    EXPECT_TRUE(prompt_.Boxes().empty());
}

const std::string kLongTarget(3000, 'a');

INSTANTIATE_TEST_SUITE_P(
    Corpus, BadRequestTest,
    ::testing::Values(
        BadRequest{"Control", Get("/sub/public.txt"), Answer::Public},
        BadRequest{"DotDot", Get("/../secret.txt"), Answer::None},
        BadRequest{"DotDotInFolder", Get("/sub/../../secret.txt"), Answer::None},
        BadRequest{"EncodedDots", Get("/%2e%2e/secret.txt"), Answer::None},
        BadRequest{"EncodedDotsUpperCase", Get("/%2E%2E/secret.txt"), Answer::None},
        BadRequest{"HalfEncodedDots", Get("/.%2e/secret.txt"), Answer::None},
        BadRequest{"OtherHalfEncoded", Get("/%2e./secret.txt"), Answer::None},
        BadRequest{"EncodedSlash", Get("/..%2fsecret.txt"), Answer::None},
        BadRequest{"EncodedEverything", Get("/%2e%2e%2f%73ecret.txt"), Answer::None},
        BadRequest{"DoubleEncodedIsLiteral", Get("/%252e%252e/secret.txt"), Answer::NotFound},
        BadRequest{"OverlongUtf8IsNoDot", Get("/%c0%ae%c0%ae/secret.txt"), Answer::NotFound},
        BadRequest{"Backslashes", Get("/..\\secret.txt"), Answer::None},
        BadRequest{"EncodedBackslash", Get("/..%5csecret.txt"), Answer::None},
        BadRequest{"AbsoluteAddressDotDot", Get("http://host/../secret.txt"), Answer::None},
        BadRequest{"AbsoluteAddressEncoded", Get("http://host/%2e%2e/secret.txt"), Answer::None},
        BadRequest{"AbsoluteAddressStaysInWww", Get("http://host/sub/public.txt"), Answer::Public},
        BadRequest{"AbsolutePathStaysInWww", Get("//etc/passwd"), Answer::NotFound},
        BadRequest{"EncodedAbsolutePath", Get("/%2fetc%2fpasswd"), Answer::NotFound},
        BadRequest{"SecretByItsOwnName", Get("/secret.txt"), Answer::NotFound},
        BadRequest{"ZeroByteEscapeCutsThePath", Get("/secret.txt%00.html"), Answer::NotFound},
        // The path ends at the decoded zero byte, before the dots.
        BadRequest{"ZeroByteEscapeBeforeDots", Get("/sub/public.txt%00/../../secret.txt"), Answer::Public},
        BadRequest{"RawZeroByte", std::string("GET /\0../secret.txt HTTP/1.0\r\n\r\n", 33), Answer::None},
        BadRequest{"BadEscape", Get("/%zz"), Answer::None},
        BadRequest{"TruncatedEscape", Get("/a%2"), Answer::None},
        BadRequest{"FolderIsNoFile", Get("/sub"), Answer::NotFound},
        BadRequest{"FolderWithSlash", Get("/sub/"), Answer::NotFound},
        BadRequest{"Post", "POST /../secret.txt HTTP/1.0\r\n\r\n", Answer::NotImplemented},
        BadRequest{"BinaryMethod", std::string("\x01\xff\x7f /a HTTP/1.0\r\n", 17), Answer::NotImplemented},
        // A TLS greeting: no line end, so the request ends at the time-out, unanswered.
        BadRequest{"TlsGreeting", std::string("\x16\x03\x01\x02\x00\x01\x00\x01\xfc\x03\x03", 11), Answer::None},
        BadRequest{"OnlyLineEnds", "\r\n\r\n", Answer::NotImplemented},
        BadRequest{"OnlySpaces", std::string(2000, ' '), Answer::None},
        BadRequest{"LongLineWithoutLineEnd", "GET /" + kLongTarget, Answer::None},
        BadRequest{"LongMethodWithoutLineEnd", kLongTarget, Answer::NotImplemented},
        BadRequest{"LongTargetCutAtTheCap", Get("/" + kLongTarget), Answer::None},
        BadRequest{"LongTargetThenSpace", "GET /" + std::string(900, 'b') + " HTTP/1.0\r\n", Answer::NotFound},
        BadRequest{"NoVersion", "GET /../secret.txt\r\n\r\n", Answer::None},
        BadRequest{"Empty", "", Answer::None}),
    [](const ::testing::TestParamInfo<BadRequest>& param) { return std::string(param.param.name); });

} // namespace
} // namespace brightowl
