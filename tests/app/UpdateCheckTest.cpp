#include "emulator/app/UpdateCheck.h"

#include "platform/MessageBox.h"
#include "tests/app/LocalHttpServer.h"

#include <gtest/gtest.h>

#include <regex>
#include <sstream>
#include <string>
#include <vector>

using apptest::LocalHttpServer;
using Behaviour = LocalHttpServer::Behaviour;

namespace {

struct ShownBox {
    std::string caption;
    std::string text;
    platform::MessageBoxIcon icon;
    std::string subject;  // questions only
    bool operator==(const ShownBox&) const = default;
};

// Records every box and answers questions as told.
class FakeMessageBox final : public platform::IMessageBox {
public:
    explicit FakeMessageBox(bool answerYes) : m_answerYes(answerYes) {}
    void Show(const std::string& caption, const std::string& text, platform::MessageBoxIcon icon) override
    {
        shown.push_back({caption, text, icon, ""});
    }
    bool AskYesNo(const std::string& caption, const std::string& text, const std::string& subject) override
    {
        shown.push_back({caption, text, platform::MessageBoxIcon::Question, subject});
        return m_answerYes;
    }
    std::vector<ShownBox> shown;

private:
    bool m_answerYes;
};

const std::string kHeader = "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\n";

ShownBox Info(const std::string& text)
{
    return {kUpdateCaption, text, platform::MessageBoxIcon::Information, ""};
}
ShownBox Warning(const std::string& text)
{
    return {kUpdateCaption, text, platform::MessageBoxIcon::Warning, ""};
}
ShownBox Question(const std::string& address)
{
    return {kUpdateCaption, kNewVersionText, platform::MessageBoxIcon::Question, address};
}

struct CheckRow {
    std::string name;
    Behaviour behaviour;
    std::string reply;
    bool answerYes;
    bool openerSucceeds;
    std::vector<ShownBox> boxes;
    std::vector<std::string> opened;
};

void PrintTo(const CheckRow& row, std::ostream* os)
{
    *os << row.name;
}

class UpdateCheckRows : public testing::TestWithParam<CheckRow> {};

TEST_P(UpdateCheckRows, ShowsTheAnswerAndEndsWithZero)
{
    const CheckRow& row = GetParam();
    LocalHttpServer server(row.behaviour, row.reply);
    FakeMessageBox box(row.answerYes);
    std::vector<std::string> opened;

    UpdateCheckOptions options;
    options.host = "127.0.0.1";
    options.http.port = server.Port();
    options.http.timeLimit = std::chrono::milliseconds(800);
    options.http.maxReplyBytes = 8 * 1024;
    options.messageBox = &box;
    options.open = [&](const std::string& address) {
        opened.push_back(address);
        return row.openerSucceeds;
    };

    EXPECT_EQ(CheckForUpdate(options), 0);
    EXPECT_EQ(box.shown, row.boxes);
    EXPECT_EQ(opened, row.opened);
    // Whatever was shown or not, the question was put to this server.
    EXPECT_EQ(server.Request().rfind("GET /update/vesgenu.py?uid=", 0), 0U);
}

const std::string kDownload = "http://www.kvl-ais.example/download/vesgen-1.0.200.zip";

INSTANTIATE_TEST_SUITE_P(
    Replies, UpdateCheckRows,
    testing::Values(
        CheckRow{"UpToDate", Behaviour::ReplyAndClose, kHeader + "@resp:uptodate\n", true, true,
                 {Info(kUpToDateText)}, {}},
        CheckRow{"InvalidParams", Behaviour::ReplyAndClose, kHeader + "@resp:invalidparams\n", true, true,
                 {Warning(kUpdateServerErrorText)}, {}},
        CheckRow{"AddressAnsweredNo", Behaviour::ReplyAndClose, kHeader + "@resp:" + kDownload + "\n", false, true,
                 {Question(kDownload)}, {}},
        CheckRow{"AddressAnsweredYes", Behaviour::ReplyAndClose, kHeader + "@resp:" + kDownload + "\n", true, true,
                 {Question(kDownload)}, {kDownload}},
        CheckRow{"AddressThatCannotBeOpened", Behaviour::ReplyAndClose, kHeader + "@resp:ftp://x/y\n", true, false,
                 {Question("ftp://x/y"), Warning(std::string(kCannotOpenText) + "ftp://x/y")}, {"ftp://x/y"}},
        CheckRow{"CapitalsAreAnAddress", Behaviour::ReplyAndClose, kHeader + "@resp:UPTODATE\n", false, true,
                 {Question("UPTODATE")}, {}},
        CheckRow{"EmptyValueIsAnAddress", Behaviour::ReplyAndClose, kHeader + "@resp:\n", false, true,
                 {Question("")}, {}},
        CheckRow{"FirstAnswerCounts", Behaviour::ReplyAndClose,
                 kHeader + "text before @resp:uptodate\n@resp:invalidparams\n", true, true, {Info(kUpToDateText)}, {}},
        CheckRow{"AnswerInTheHeaders", Behaviour::ReplyAndClose, "HTTP/1.0 200 OK\r\nX: @resp:invalidparams\n\r\n",
                 true, true, {Warning(kUpdateServerErrorText)}, {}},
        CheckRow{"NoAnswerLine", Behaviour::ReplyAndClose, kHeader + "uptodate\n", true, true, {}, {}},
        CheckRow{"AnswerWithoutLineFeed", Behaviour::ReplyAndClose, kHeader + "@resp:uptodate", true, true, {}, {}},
        // The ECMAScript "." does not match a carriage return: a CR LF line is no answer,
        // rather than "uptodate\r" taken for a download address.
        CheckRow{"AnswerEndedByCarriageReturn", Behaviour::ReplyAndClose, kHeader + "@resp:uptodate\r\n", true, true,
                 {}, {}},
        CheckRow{"EmptyReply", Behaviour::ReplyAndClose, "", true, true, {}, {}},
        CheckRow{"ServerNeverCloses", Behaviour::ReplyAndHold, kHeader + "@resp:uptodate\n", true, true, {}, {}},
        // The answer line came before the reply outgrew its cap.
        CheckRow{"ServerSendsEndlessly", Behaviour::SendEndlessly, kHeader + "@resp:uptodate\n", true, true,
                 {Info(kUpToDateText)}, {}},
        CheckRow{"ServerSendsEndlesslyWithoutAnswer", Behaviour::SendEndlessly, kHeader + "uptodate\n", true, true,
                 {}, {}},
        // Terminal controls from the server are shown, and opened, as '?'.
        CheckRow{"ControlBytesInTheAddress", Behaviour::ReplyAndClose,
                 kHeader + "@resp:http://x/\x1b]0;t\x07\x1b[2J\x9b" + "1m\x7fz\n", true, true,
                 {Question("http://x/?]0;t??[2J?1m?z")}, {"http://x/?]0;t??[2J?1m?z"}},
        CheckRow{"ControlBytesInAnAnswer", Behaviour::ReplyAndClose, kHeader + "@resp:uptodate\x1b\n", false, true,
                 {Question("uptodate?")}, {}}),
    [](const testing::TestParamInfo<CheckRow>& info) { return info.param.name; });

// An answer line as long as a reply may be is read like a short one.
TEST(UpdateCheck, AnswerLineAsLongAsTheReplyAllows)
{
    const HttpGetOptions limits;
    const std::string prefix = kHeader + "@resp:http://www.kvl-ais.example/";
    const std::string address =
        "http://www.kvl-ais.example/" + std::string(limits.maxReplyBytes - prefix.size() - 1, 'a');
    const std::string reply = kHeader + "@resp:" + address + "\n";
    ASSERT_EQ(reply.size(), limits.maxReplyBytes);
    LocalHttpServer server(Behaviour::ReplyAndClose, reply);
    FakeMessageBox box(false);
    UpdateCheckOptions options;
    options.host = "127.0.0.1";
    options.http.port = server.Port();
    options.messageBox = &box;
    EXPECT_EQ(CheckForUpdate(options), 0);
    EXPECT_EQ(box.shown, std::vector<ShownBox>{Question(address)});
}

// The answer is the first match of "@resp:(.*?)\n" in the ECMAScript grammar: the
// standard library's own search of that pattern is the reference for short replies.
TEST(UpdateResponse, FirstMatchOfTheAnswerPattern)
{
    const std::regex pattern("@resp:(.*?)\n", std::regex::ECMAScript);
    const std::vector<std::string> replies = {
        "",
        "@resp:uptodate\n",
        "@resp:uptodate",
        "@resp:\n",
        "@resp:uptodate\r\n",
        "@resp:uptodate\r\n@resp:invalidparams\n",
        "@resp:a\r@resp:b\n",
        "@resp:a@resp:b\n",
        "@resp:@resp:\n",
        "x@resp:first\n@resp:second\n",
        "@resp:with\rcarriage return\n@resp:",
        "@RESP:uptodate\n",
        "@resp:sp ace\ttab\n",
        std::string("@resp:nul\0byte\n", 16),
    };
    for (const std::string& reply : replies) {
        SCOPED_TRACE(testing::PrintToString(reply));
        std::smatch match;
        const std::optional<std::string> expected =
            std::regex_search(reply, match, pattern) ? std::optional<std::string>(match[1].str()) : std::nullopt;
        EXPECT_EQ(FindUpdateResponse(reply), expected);
    }
}

TEST(UpdateResponse, LongLinesWithAndWithoutLineFeed)
{
    const std::string line(100000, 'a');
    EXPECT_EQ(FindUpdateResponse("@resp:" + line + "\n"), line);
    EXPECT_EQ(FindUpdateResponse("@resp:" + line), std::nullopt);
    EXPECT_EQ(FindUpdateResponse("@resp:" + line + "\r\n@resp:uptodate\n"), "uptodate");
}

// What a hostile server sends reaches the console only as printable text.
TEST(UpdateCheck, ConsoleGetsNoControlBytesFromTheServer)
{
    LocalHttpServer server(Behaviour::ReplyAndClose, kHeader + "@resp:http://x/\x1b[2J\x1b]2;title\x07\x08\n");
    std::istringstream in;
    std::ostringstream out;
    platform::ConsoleMessageBox console(in, out, true);
    UpdateCheckOptions options;
    options.host = "127.0.0.1";
    options.http.port = server.Port();
    options.messageBox = &console;
    options.open = [](const std::string&) { return false; };
    ASSERT_EQ(CheckForUpdate(options), 0);
    const std::string printed = out.str();
    EXPECT_NE(printed.find("http://x/?[2J?]2;title??"), std::string::npos) << printed;
    for (const char c : printed)
        EXPECT_TRUE(c == '\n' || (c >= 0x20 && c <= 0x7E)) << static_cast<int>(static_cast<unsigned char>(c));
}

TEST(UpdateCheck, RefusedConnectionShowsNothing)
{
    FakeMessageBox box(true);
    bool openerCalled = false;
    UpdateCheckOptions options;
    options.host = "127.0.0.1";
    options.http.port = apptest::ClosedLoopbackPort();
    options.messageBox = &box;
    options.open = [&](const std::string&) { return openerCalled = true; };
    EXPECT_EQ(CheckForUpdate(options), 0);
    EXPECT_TRUE(box.shown.empty());
    EXPECT_FALSE(openerCalled);
}

TEST(UpdateCheck, UnresolvableHostShowsNothing)
{
    FakeMessageBox box(true);
    UpdateCheckOptions options;
    options.host = "no-such-host.invalid";
    options.messageBox = &box;
    EXPECT_EQ(CheckForUpdate(options), 0);
    EXPECT_TRUE(box.shown.empty());
}

TEST(UpdateCheck, SendsExactlyTheRequestLines)
{
    LocalHttpServer server(Behaviour::ReplyAndClose, kHeader + "@resp:uptodate\n");
    FakeMessageBox box(false);
    UpdateCheckOptions options;
    options.host = "127.0.0.1";
    options.http.port = server.Port();
    options.messageBox = &box;
    ASSERT_EQ(CheckForUpdate(options), 0);
    EXPECT_EQ(server.Request(), "GET /update/vesgenu.py?uid=" + UpdateIdentifier() + "&ver=" + GetProgramVersionText() +
                                    " HTTP/1.0\r\n"
                                    "Host: 127.0.0.1:80\r\n"
                                    "Accept: text/plain, text/html;level=1\r\n"
                                    "User-Agent: MyBrowser/1.0\r\n"
                                    "Connection: close\r\n"
                                    "\r\n");
}

TEST(UpdateCheck, AddressCarriesIdentifierAndVersion)
{
    EXPECT_EQ(BuildUpdateAddress("update.example", "0123abcd", "010000192"),
              "http://update.example/update/vesgenu.py?uid=0123abcd&ver=010000192");
    EXPECT_TRUE(std::regex_match(UpdateIdentifier(), std::regex("[0-9a-f]{8}")));
    EXPECT_FALSE(UpdateHost().empty());
}

TEST(ProgramVersionText, FormatsMajorMinorBuild)
{
    struct Row {
        std::optional<ProgramVersion> version;
        std::string text;
    };
    const std::vector<Row> rows = {
        {ProgramVersion{1, 0, 192}, "010000192"},
        {ProgramVersion{2, 15, 12345}, "021512345"},
        {ProgramVersion{0, 0, 0}, "000000000"},
        {std::nullopt, "000000000"},
    };
    for (const Row& row : rows) EXPECT_EQ(FormatVersionText(row.version), row.text) << row.text;
}

TEST(ProgramVersionText, RunningProgramReportsTheProjectVersion)
{
    EXPECT_EQ(GetProgramVersionText(), KVL_EXPECTED_VERSION_TEXT);
}

} // namespace
