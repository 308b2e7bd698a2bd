#include "emulator/app/HttpGet.h"

#include "tests/app/LocalHttpServer.h"

#include <gtest/gtest.h>

using apptest::LocalHttpServer;
using Behaviour = LocalHttpServer::Behaviour;

namespace {

const std::string kAddress = "http://127.0.0.1/x";

HttpGetOptions On(const LocalHttpServer& server)
{
    HttpGetOptions options;
    options.port = server.Port();
    return options;
}

TEST(HttpGet, ResponseIsEveryByteInOrder)
{
    std::string reply = "HTTP/1.0 200 OK\r\nServer: test\r\n\r\n";
    for (int i = 0; i < 1000; ++i) reply += std::to_string(i) + ",";  // several receive chunks
    LocalHttpServer server(Behaviour::ReplyAndClose, reply);
    const platform::Event cancel;
    const HttpGetResult r = HttpGet(kAddress, cancel, On(server));
    EXPECT_TRUE(r.success);
    EXPECT_EQ(r.status, HttpGetStatus::Ok);
    EXPECT_EQ(r.response, reply);
}

TEST(HttpGet, PathAndHostAreSplitAtTheFirstSlash)
{
    struct Row {
        std::string address;
        std::string requestLine;
    };
    const std::vector<Row> rows = {
        {"http://127.0.0.1/a/b?c=d", "GET /a/b?c=d HTTP/1.0\r\nHost: 127.0.0.1:80\r\n"},
        {"127.0.0.1/", "GET / HTTP/1.0\r\nHost: 127.0.0.1:80\r\n"},
        {"https://127.0.0.1/x://y", "GET /x://y HTTP/1.0\r\nHost: 127.0.0.1:80\r\n"},
        {"http://localhost/z", "GET /z HTTP/1.0\r\nHost: localhost:80\r\n"},
    };
    for (const Row& row : rows) {
        LocalHttpServer server(Behaviour::ReplyAndClose, "ok");
        const platform::Event cancel;
        const HttpGetResult r = HttpGet(row.address, cancel, On(server));
        EXPECT_TRUE(r.success) << row.address;
        EXPECT_EQ(server.Request().rfind(row.requestLine, 0), 0U) << row.address << "\n" << server.Request();
    }
}

TEST(HttpGet, FailuresAreReported)
{
    const platform::Event cancel;
    HttpGetOptions refused;
    refused.port = apptest::ClosedLoopbackPort();
    struct Row {
        std::string address;
        HttpGetOptions options;
        HttpGetStatus status;
    };
    const std::vector<Row> rows = {
        {"http://127.0.0.1", refused, HttpGetStatus::BadAddress},
        {"", refused, HttpGetStatus::BadAddress},
        {"http:///path", refused, HttpGetStatus::ResolveFailed},
        {"http://no-such-host.invalid/x", refused, HttpGetStatus::ResolveFailed},
        {"http://127.0.0.1/x", refused, HttpGetStatus::ConnectFailed},
    };
    for (const Row& row : rows) {
        const HttpGetResult r = HttpGet(row.address, cancel, row.options);
        EXPECT_FALSE(r.success) << row.address;
        EXPECT_EQ(r.status, row.status) << row.address;
        EXPECT_TRUE(r.response.empty()) << row.address;
    }
}

TEST(HttpGet, ServerThatNeverClosesEndsAtTheTimeLimit)
{
    LocalHttpServer server(Behaviour::ReplyAndHold, "HTTP/1.0 200 OK\r\n\r\n@resp:uptodate\n");
    const platform::Event cancel;
    HttpGetOptions options = On(server);
    options.timeLimit = std::chrono::milliseconds(500);
    const HttpGetResult r = HttpGet(kAddress, cancel, options);
    EXPECT_FALSE(r.success);
    EXPECT_EQ(r.status, HttpGetStatus::TimedOut);
    EXPECT_EQ(r.response, "HTTP/1.0 200 OK\r\n\r\n@resp:uptodate\n");  // what came is kept, not used
}

TEST(HttpGet, EndlessSenderIsCutAtTheSizeLimit)
{
    LocalHttpServer server(Behaviour::SendEndlessly, "HTTP/1.0 200 OK\r\n\r\n");
    const platform::Event cancel;
    HttpGetOptions options = On(server);
    options.maxReplyBytes = 10000;
    const HttpGetResult r = HttpGet(kAddress, cancel, options);
    EXPECT_FALSE(r.success);
    EXPECT_EQ(r.status, HttpGetStatus::TooLarge);
    EXPECT_EQ(r.response.size(), 10000U);
    EXPECT_GT(server.BytesSent(), 10000U);
}

TEST(HttpGet, ReplyOfExactlyTheSizeLimitIsAccepted)
{
    const std::string reply(6000, 'r');
    struct Row {
        std::size_t limit;
        bool success;
    };
    for (const Row row : {Row{6000, true}, Row{5999, false}}) {
        LocalHttpServer server(Behaviour::ReplyAndClose, reply);
        const platform::Event cancel;
        HttpGetOptions options = On(server);
        options.maxReplyBytes = row.limit;
        const HttpGetResult r = HttpGet(kAddress, cancel, options);
        EXPECT_EQ(r.success, row.success) << row.limit;
        EXPECT_EQ(r.response, reply.substr(0, row.limit)) << row.limit;
    }
}

TEST(HttpGet, SetCancelEventEndsBeforeReceiving)
{
    LocalHttpServer server(Behaviour::ReplyAndHold, "HTTP/1.0 200 OK\r\n\r\n@resp:uptodate\n");
    platform::Event cancel;
    cancel.Set();
    const HttpGetResult r = HttpGet(kAddress, cancel, On(server));
    EXPECT_TRUE(r.success);
    EXPECT_EQ(r.response, "");
    EXPECT_EQ(server.Request().rfind("GET /x HTTP/1.0\r\n", 0), 0U);  // the request still went out
}

TEST(HttpGet, ServerClosingWithoutReplyGivesEmptyResponse)
{
    LocalHttpServer server(Behaviour::ReplyAndClose, "");
    const platform::Event cancel;
    const HttpGetResult r = HttpGet(kAddress, cancel, On(server));
    EXPECT_TRUE(r.success);
    EXPECT_EQ(r.response, "");
}

} // namespace
