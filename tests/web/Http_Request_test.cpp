// The request heads the web server takes and the ones it answers with an error.
#include <string>

#include <gtest/gtest.h>

#include "Test_Name.h"
#include "web/Http_Request.h"

namespace {

struct Head_Case {
    const char* name;
    std::string bytes;
    Http::Parse_State state;
    int status;        // for Bad
    const char* path;  // for Done
};

class Http_Head_Test : public ::testing::TestWithParam<Head_Case> {};

TEST_P(Http_Head_Test, IsTakenOrRefusedWithItsStatus) {
    const Head_Case& c = GetParam();
    Http_Request request;
    const Http::Parse_Result r = Http::Parse(QByteArray::fromStdString(c.bytes), request);
    ASSERT_EQ(r.State, c.state) << r.Reason;
    if (c.state == Http::Parse_State::Bad) {
        EXPECT_EQ(r.Status, c.status);
        EXPECT_FALSE(r.Reason.empty());
    }
    if (c.state == Http::Parse_State::Done) {
        EXPECT_EQ(request.Path, c.path);
    }
}

const std::string Long_Header = "X-Filler: " + std::string(Http::Max_Head_Bytes, 'a') + "\r\n";

const Head_Case Head_Cases[] = {
    {"plain get", "GET /scoreboard HTTP/1.1\r\nHost: x\r\n\r\n", Http::Parse_State::Done, 0, "/scoreboard"},
    {"escaped path", "GET /api/heats/1%2Fframes HTTP/1.1\r\n\r\n", Http::Parse_State::Done, 0, "/api/heats/1/frames"},
    {"head method", "HEAD / HTTP/1.0\r\n\r\n", Http::Parse_State::Done, 0, "/"},
    {"not ended yet", "GET / HTTP/1.1\r\nHost: x\r\n", Http::Parse_State::Incomplete, 0, ""},
    {"never ends", "GET / HTTP/1.1\r\n" + Long_Header, Http::Parse_State::Bad, 431, ""},
    {"ends too late", "GET / HTTP/1.1\r\n" + Long_Header + "\r\n", Http::Parse_State::Bad, 431, ""},
    {"with a body", "GET / HTTP/1.1\r\nContent-Length: 5\r\n\r\nhello", Http::Parse_State::Bad, 413, ""},
    {"chunked body", "GET / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n", Http::Parse_State::Bad, 413, ""},
    {"post", "POST /api/results HTTP/1.1\r\n\r\n", Http::Parse_State::Bad, 405, ""},
    {"http 2", "GET / HTTP/2.0\r\n\r\n", Http::Parse_State::Bad, 505, ""},
    {"garbage", "\x16\x03\x01 hello\r\n\r\n", Http::Parse_State::Bad, 400, ""},
    {"no version", "GET /\r\n\r\n", Http::Parse_State::Bad, 400, ""},
    {"absolute url", "GET http://x/ HTTP/1.1\r\n\r\n", Http::Parse_State::Bad, 400, ""},
    {"header without name", "GET / HTTP/1.1\r\n: x\r\n\r\n", Http::Parse_State::Bad, 400, ""},
    {"header without colon", "GET / HTTP/1.1\r\nHost\r\n\r\n", Http::Parse_State::Bad, 400, ""},
    {"broken escape", "GET /a%2 HTTP/1.1\r\n\r\n", Http::Parse_State::Bad, 400, ""},
    {"zero byte", "GET /a%00b HTTP/1.1\r\n\r\n", Http::Parse_State::Bad, 400, ""},
    {"broken query", "GET /a?key=%zz HTTP/1.1\r\n\r\n", Http::Parse_State::Bad, 400, ""},
};
INSTANTIATE_TEST_SUITE_P(Heads, Http_Head_Test, ::testing::ValuesIn(Head_Cases), By_Name());

TEST(Http_Request, QueryHeadersAndConnectionAreRead) {
    Http_Request r;
    const QByteArray head =
        "GET /scoreboard?key=a%2Bb+c&key=second&x HTTP/1.1\r\nCONNECTION: close\r\n"
        "Upgrade: WebSocket\r\n\r\nGET / HTTP/1.1\r\n";
    const Http::Parse_Result p = Http::Parse(head, r);
    ASSERT_EQ(p.State, Http::Parse_State::Done);
    // The next request of the connection is left where it is.
    EXPECT_EQ(head.mid(static_cast<qsizetype>(p.Head_Size)), "GET / HTTP/1.1\r\n");
    EXPECT_EQ(r.Param("key"), "a+b c");
    EXPECT_FALSE(r.Keep_Alive);
    EXPECT_EQ(r.Header("upgrade"), "WebSocket");
    EXPECT_FALSE(r.Upgrade_To_WebSocket());  // Connection does not ask for it
    ASSERT_EQ(Http::Parse("GET /ws HTTP/1.1\r\nConnection: keep-alive, Upgrade\r\nUpgrade: websocket\r\n\r\n", r).State,
              Http::Parse_State::Done);
    EXPECT_TRUE(r.Upgrade_To_WebSocket());
    EXPECT_TRUE(r.Keep_Alive);
}

TEST(Http_Request, HeadAnswerKeepsTheLengthButNotTheBody) {
    const QByteArray get = Http::Response(404, "text/plain", "missing", false, true);
    const QByteArray head = Http::Response(404, "text/plain", "missing", true, false);
    EXPECT_TRUE(get.startsWith("HTTP/1.1 404 Not Found\r\n"));
    EXPECT_TRUE(get.endsWith("\r\n\r\nmissing"));
    EXPECT_TRUE(head.contains("Content-Length: 7\r\n"));
    EXPECT_TRUE(head.contains("Connection: close\r\n"));
    EXPECT_TRUE(head.endsWith("\r\n\r\n"));
}

}  // namespace
