#include "apps/settings/HttpServer.h"

#include "apps/settings/FirstFrame.h"
#include "platform/foundation/NSRunLoop.h"
#include "platform/testsupport/RunLoopFixture.h"

#include <arpa/inet.h>
#include <chrono>
#include <fcntl.h>
#include <fstream>
#include <gmock/gmock.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <zlib.h>

using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

namespace {

// A client on the loopback address. The server answers on this thread's run loop, so the
// client never blocks: it turns the loop while it waits.
class Client {
public:
    explicit Client(uint16_t port)
    {
        m_fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address { };
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        connect(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
        fcntl(m_fd, F_SETFL, O_NONBLOCK);
    }
    ~Client() { close(m_fd); }

    void send(const std::string& text) { [[maybe_unused]] auto sent = write(m_fd, text.data(), text.size()); }

    // Reads until the text holds `until` (or the server closes), for at most a few seconds.
    const std::string& readUntil(const std::string& until)
    {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (m_received.find(until) == std::string::npos && std::chrono::steady_clock::now() < deadline) {
            NSRunLoop::main().runOnce(0.01);
            char buffer[4096];
            ssize_t n = read(m_fd, buffer, sizeof buffer);
            if (n == 0)
                break;
            if (n > 0)
                m_received.append(buffer, static_cast<size_t>(n));
        }
        return m_received;
    }

private:
    int m_fd { -1 };
    std::string m_received;
};

// An answer split into its head and its body.
struct Answer {
    std::string head;
    std::string body;
};

Answer split(const std::string& received)
{
    auto end = received.find("\r\n\r\n");
    return end == std::string::npos ? Answer { received, "" } : Answer { received.substr(0, end + 2), received.substr(end + 4) };
}

std::string gunzip(const std::string& compressed)
{
    z_stream stream { };
    inflateInit2(&stream, 15 + 16);
    std::string out(1 << 20, '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(compressed.data()));
    stream.avail_in = static_cast<uInt>(compressed.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    int result = inflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    inflateEnd(&stream);
    return result == Z_STREAM_END ? out : "(not gzip)";
}

std::string headerOf(const Answer& answer, const std::string& name)
{
    auto at = answer.head.find("\r\n" + name + ": ");
    if (at == std::string::npos)
        return "";
    at += name.size() + 4;
    return answer.head.substr(at, answer.head.find("\r\n", at) - at);
}

}

class HttpServerTest : public RunLoopFixture {
protected:
    void SetUp() override
    {
        RunLoopFixture::SetUp();
        m_web = m_root / "web";
        std::filesystem::create_directories(m_web / "page");
        std::ofstream(m_web / "page" / "index.html") << "<!doctype html><title>page</title>";
        std::ofstream(m_web / "secret.txt") << "not for the page";
        m_server = std::make_unique<HttpServer>(0, m_web,
            HttpServer::Handlers { .state = [this](const std::string& tab) { return tab.empty() ? m_state : "{\"tab\":\"" + tab + "\"}"; },
                .action = [this](const std::string& body) {
                    m_actions.push_back(body);
                    return body == "{}" ? HttpServer::Reply { 400, "an empty action\n" } : HttpServer::Reply {};
                },
                .stream = [this](const std::string& tab, bool open) { m_streamEvents.push_back((open ? "+" : "-") + tab); },
                .newTab = nullptr });
        m_host = "127.0.0.1:" + std::to_string(m_server->port());
    }
    void TearDown() override
    {
        m_server.reset();
        RunLoopFixture::TearDown();
    }
    std::string exchange(const std::string& request)
    {
        Client client(m_server->port());
        client.send(request);
        return client.readUntil("\r\n\r\n\x01");
    }
    Answer get(const std::string& path, const std::string& extraHeaders = "")
    {
        return split(exchange("GET " + path + " HTTP/1.1\r\nHost: " + m_host + "\r\nConnection: close\r\n" + extraHeaders + "\r\n"));
    }
    std::string post(const std::string& body, const std::string& extraHeaders = "Content-Type: application/json\r\n")
    {
        return exchange("POST /action HTTP/1.1\r\nHost: " + m_host + "\r\nConnection: close\r\n" + extraHeaders
            + "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body);
    }

    std::filesystem::path m_web;
    std::unique_ptr<HttpServer> m_server;
    std::string m_host;
    std::string m_state { "{\"screen\":1}" };
    std::vector<std::string> m_actions;
    std::vector<std::string> m_streamEvents;
};

TEST_F(HttpServerTest, ServesThePageAndTheStateButNothingOutsideThePageFolder)
{
    auto page = exchange("GET / HTTP/1.1\r\nHost: " + m_host + "\r\nConnection: close\r\n\r\n");
    EXPECT_THAT(page, StartsWith("HTTP/1.1 200"));
    EXPECT_THAT(page, HasSubstr("Content-Type: text/html; charset=utf-8"));
    EXPECT_THAT(page, HasSubstr("<title>page</title>"));
    EXPECT_THAT(exchange("GET /state HTTP/1.1\r\nHost: localhost:" + std::to_string(m_server->port()) + "\r\nConnection: close\r\n\r\n"),
        HasSubstr("{\"screen\":1}"));
    // The npm packages are not served: the page runs on its bundles alone.
    std::filesystem::create_directories(m_web / "node_modules" / "@ionic");
    std::ofstream(m_web / "node_modules" / "@ionic" / "core.css") << "a package";
    for (const char* path : { "/page/../secret.txt", "/page/%2e%2e/secret.txt", "/page/dist/../../secret.txt", "/page//etc/passwd", "/page/",
             "/phone/etc/passwd.png", "/nothing", "/node_modules/@ionic/core.css" })
        EXPECT_THAT(exchange(std::string("GET ") + path + " HTTP/1.1\r\nHost: " + m_host + "\r\nConnection: close\r\n\r\n"),
            StartsWith("HTTP/1.1 404")) << path;
    // A link the phone's files placed is followed (the device root links its images into the
    // installed tree); only a name that climbs out is refused.
    std::filesystem::create_symlink(m_web / "secret.txt", m_web / "page" / "linked.txt");
    EXPECT_EQ(get("/page/linked.txt").body, "not for the page");
}

TEST_F(HttpServerTest, ForeignHostsAndOriginsAre403AndMalformedActions400AndNothingReachesTheScreens)
{
    EXPECT_THAT(exchange("GET /state HTTP/1.1\r\nHost: evil.example\r\nConnection: close\r\n\r\n"), StartsWith("HTTP/1.1 403"));
    EXPECT_THAT(post("{\"type\":\"select\"}", "Content-Type: application/json\r\nOrigin: http://evil.example\r\n"), StartsWith("HTTP/1.1 403"));
    EXPECT_THAT(post("{\"type\":\"select\"}", "Content-Type: text/plain\r\n"), StartsWith("HTTP/1.1 400"));
    EXPECT_THAT(post(std::string(70 * 1024, 'x')), StartsWith("HTTP/1.1 400"));
    EXPECT_TRUE(m_actions.empty());
    EXPECT_THAT(post("{}"), StartsWith("HTTP/1.1 400"));
    EXPECT_THAT(post("{\"type\":\"select\"}", "Content-Type: application/json\r\nOrigin: http://" + m_host + "\r\n"), StartsWith("HTTP/1.1 204"));
    EXPECT_THAT(m_actions, ::testing::ElementsAre("{}", "{\"type\":\"select\"}"));
    EXPECT_THAT(exchange("DELETE /state HTTP/1.1\r\nHost: " + m_host + "\r\nConnection: close\r\n\r\n"), StartsWith("HTTP/1.1 405"));
}

TEST_F(HttpServerTest, AnEventStreamGetsTheStateAtOnceAndEveryBroadcastAfter)
{
    Client stream(m_server->port());
    stream.send("GET /events HTTP/1.1\r\nHost: " + m_host + "\r\n\r\n");
    EXPECT_THAT(stream.readUntil("data: {\"screen\":1}\n\n"), HasSubstr("Content-Type: text/event-stream"));
    EXPECT_EQ(m_server->openStreams(), 1u);
    // A broadcast made while the stream sleeps wakes it; so does one made during a request.
    m_server->broadcast("{\"screen\":2}");
    EXPECT_THAT(stream.readUntil("data: {\"screen\":2}\n\n"), HasSubstr("data: {\"screen\":2}\n\n"));
    m_server->broadcast("{\"screen\":3}");
    m_server->broadcast("{\"screen\":4}");
    const auto& received = stream.readUntil("data: {\"screen\":4}\n\n");
    EXPECT_THAT(received, HasSubstr("data: {\"screen\":3}\n\n"));
    EXPECT_LT(received.find("{\"screen\":3}"), received.find("{\"screen\":4}"));
}

TEST_F(HttpServerTest, EachTabGetsItsOwnStateAndOnlyWhatIsSentToIt)
{
    EXPECT_EQ(get("/state?tab=b-2").body, "{\"tab\":\"b-2\"}");
    EXPECT_THAT(get("/state?tab=a%20b").head, StartsWith("HTTP/1.1 400"));
    EXPECT_THAT(get("/events?tab=" + std::string(65, 'x')).head, StartsWith("HTTP/1.1 400"));
    {
        Client first(m_server->port());
        Client second(m_server->port());
        first.send("GET /events?tab=a HTTP/1.1\r\nHost: " + m_host + "\r\n\r\n");
        second.send("GET /events?tab=b HTTP/1.1\r\nHost: " + m_host + "\r\n\r\n");
        first.readUntil("data: {\"tab\":\"a\"}\n\n");
        second.readUntil("data: {\"tab\":\"b\"}\n\n");
        m_server->send("b", "{\"only\":\"b\"}");
        m_server->broadcast("{\"all\":1}");
        EXPECT_THAT(second.readUntil("{\"all\":1}"), HasSubstr("{\"only\":\"b\"}"));
        EXPECT_THAT(first.readUntil("{\"all\":1}"), Not(HasSubstr("only")));
        EXPECT_THAT(m_streamEvents, ::testing::UnorderedElementsAre("+a", "+b"));
    }
    // Streams whose pages went are closed, and their tabs told, at the latest by the heartbeat.
    for (int turn = 0; turn < 200 && m_server->openStreams(); ++turn) {
        m_server->broadcast("{}");
        NSRunLoop::main().runOnce(0.01);
    }
    EXPECT_THAT(m_streamEvents, ::testing::UnorderedElementsAre("+a", "+b", "-a", "-b"));
}

TEST_F(HttpServerTest, FilesGoGzippedToAClientThatTakesItAndAsTheyAreToOthers)
{
    std::string script;
    for (int line = 0; line < 200; ++line)
        script += "console.log('line " + std::to_string(line) + "');\n";
    std::ofstream(m_web / "page" / "app.js") << script;

    auto gzipped = get("/page/app.js", "Accept-Encoding: deflate, gzip;q=0.8, br\r\n");
    EXPECT_THAT(gzipped.head, StartsWith("HTTP/1.1 200"));
    EXPECT_EQ(headerOf(gzipped, "Content-Encoding"), "gzip");
    EXPECT_EQ(headerOf(gzipped, "Vary"), "Accept-Encoding");
    EXPECT_LT(gzipped.body.size(), script.size() / 4);
    EXPECT_EQ(gunzip(gzipped.body), script);
    for (const char* refusing : { "", "Accept-Encoding: identity\r\n", "Accept-Encoding: gzip;q=0\r\n", "Accept-Encoding: *, gzip;q=0\r\n" }) {
        auto plain = get("/page/app.js", refusing);
        EXPECT_EQ(headerOf(plain, "Content-Encoding"), "") << refusing;
        EXPECT_EQ(headerOf(plain, "Vary"), "Accept-Encoding") << refusing;
        EXPECT_EQ(plain.body, script) << refusing;
        // The two forms are different bytes: a cache must not take one tag for the other.
        EXPECT_NE(headerOf(plain, "ETag"), headerOf(gzipped, "ETag")) << refusing;
    }
}

TEST_F(HttpServerTest, AFileIsAskedAboutAgainAndA304AnswersACurrentCopyUntilTheFileChanges)
{
    std::ofstream(m_web / "page" / "style.css") << "body { color: red; }";
    auto first = get("/page/style.css");
    auto tag = headerOf(first, "ETag");
    EXPECT_THAT(tag, StartsWith("\""));
    EXPECT_EQ(headerOf(first, "Cache-Control"), "no-cache");

    auto current = get("/page/style.css", "If-None-Match: \"other\", " + tag + "\r\n");
    EXPECT_THAT(current.head, StartsWith("HTTP/1.1 304"));
    EXPECT_EQ(current.body, "");
    EXPECT_EQ(headerOf(current, "ETag"), tag);
    EXPECT_EQ(headerOf(current, "Vary"), "Accept-Encoding");
    EXPECT_EQ(headerOf(current, "Cache-Control"), "no-cache");
    EXPECT_THAT(get("/page/style.css", "If-None-Match: W/" + tag + "\r\n").head, StartsWith("HTTP/1.1 304"));

    // An edit while the host runs shows at the next load, under a new tag.
    std::ofstream(m_web / "page" / "style.css") << "body { color: blue; margin: 0; }";
    auto edited = get("/page/style.css", "If-None-Match: " + tag + "\r\n");
    EXPECT_THAT(edited.head, StartsWith("HTTP/1.1 200"));
    EXPECT_EQ(edited.body, "body { color: blue; margin: 0; }");
    EXPECT_NE(headerOf(edited, "ETag"), tag);
}

TEST_F(HttpServerTest, BundlesNamedAfterTheirContentAreKeptForGoodAndTheIndexNamesThem)
{
    std::filesystem::create_directories(m_web / "page" / "dist");
    std::ofstream(m_web / "page" / "dist" / "ionic.0123456789ab.css") << "ion-app { display: block; }";
    std::ofstream(m_web / "page" / "dist" / "ionic.js") << "export * from '/page/dist/ionic.0123456789ab.js';";
    EXPECT_EQ(headerOf(get("/page/dist/ionic.0123456789ab.css"), "Cache-Control"), "public, max-age=31536000, immutable");
    EXPECT_EQ(headerOf(get("/page/dist/ionic.js"), "Cache-Control"), "no-cache");

    std::ofstream(m_web / "page" / "index.html") << R"(<link rel="stylesheet" href="/page/dist/ionic.css"><script src="/page/dist/ionic.css.map"></script>)";
    EXPECT_THAT(get("/").body, HasSubstr(R"(href="/page/dist/ionic.css")"));
    std::ofstream(m_web / "page" / "dist" / "manifest.json") << R"({"/page/dist/ionic.css": "/page/dist/ionic.0123456789ab.css"})";
    auto index = get("/");
    EXPECT_EQ(index.body, R"(<link rel="stylesheet" href="/page/dist/ionic.0123456789ab.css"><script src="/page/dist/ionic.css.map"></script>)");
    EXPECT_EQ(headerOf(index, "Cache-Control"), "no-cache");
    // A new build renames the bundle: the index follows without a restart.
    std::ofstream(m_web / "page" / "dist" / "manifest.json")
        << R"({"/page/dist/ionic.css": "/page/dist/ionic.ba9876543210.css", "/page/dist/ionic.js": "/page/dist/ionic.ba9876543210.js"})";
    EXPECT_THAT(get("/").body, HasSubstr(R"(href="/page/dist/ionic.ba9876543210.css")"));
}

// A host that makes a tab for each page it serves writes that tab and its first screen into the
// page, with the one script the page's policy allows by its nonce.
TEST_F(HttpServerTest, APageIsServedWithATabOfItsOwnAndThatTabsFirstScreen)
{
    std::vector<std::string> asked;
    int made = 0;
    m_server = std::make_unique<HttpServer>(0, m_web,
        HttpServer::Handlers { .state = [&](const std::string& tab) {
                                  asked.push_back(tab);
                                  return std::string(R"({"navigation":{"screens":[{"title":"Root","right":[],"left":[],"groups":[{"title":"",)"
                                                     R"("rows":[{"kind":"static","title":"Row of )") + tab + R"("}]}]}]}})";
                              },
            .action = nullptr,
            .stream = nullptr,
            .newTab = [&] { return "tab-" + std::to_string(++made); } });
    m_host = "127.0.0.1:" + std::to_string(m_server->port());
    std::ofstream(m_web / "page" / "index.html") << std::string("<head>") + FirstFrame::kTabMarker + R"(<link rel="stylesheet" href="/page/style.css">)"
            + "</head><body>" + FirstFrame::kFrameMarker + "<script type=\"module\" src=\"/page/app.js\"></script></body>";
    std::ofstream(m_web / "page" / "style.css") << ".first-frame { display: flex; }";

    auto first = get("/");
    auto second = get("/", "Accept-Encoding: gzip\r\n");
    EXPECT_EQ(asked, (std::vector<std::string> { "tab-1", "tab-2" })) << "each page has a tab of its own";
    EXPECT_THAT(first.body, HasSubstr(R"(<meta name="hushline-tab" content="tab-1">)"));
    EXPECT_THAT(first.body, HasSubstr(R"(<div id="first-frame" class="first-frame" inert>)"));
    EXPECT_THAT(first.body, HasSubstr("Row of tab-1"));
    EXPECT_EQ(headerOf(first, "Cache-Control"), "no-store") << "a page is made for one load";
    EXPECT_THAT(first.body, HasSubstr("<style>.first-frame { display: flex; }</style>")) << "painted without a request more";
    EXPECT_EQ(headerOf(second, "Content-Encoding"), "gzip");
    EXPECT_THAT(gunzip(second.body), HasSubstr("Row of tab-2"));

    auto policy = headerOf(first, "Content-Security-Policy");
    auto nonceAt = first.body.find("<script nonce=\"");
    ASSERT_NE(nonceAt, std::string::npos);
    std::string nonce = first.body.substr(nonceAt + 15, 32);
    EXPECT_THAT(policy, HasSubstr("script-src 'self' 'nonce-" + nonce + "'"));
    EXPECT_NE(headerOf(second, "Content-Security-Policy"), policy) << "every page its own nonce";
    EXPECT_EQ(headerOf(get("/page/index.html"), "Content-Type"), "text/html; charset=utf-8");
}
