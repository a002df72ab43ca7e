#include "apps/settings/HttpServer.h"

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

using ::testing::HasSubstr;
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
            HttpServer::Handlers { .state = [this] { return m_state; },
                .action = [this](const std::string& body) {
                    m_actions.push_back(body);
                    return body == "{}" ? HttpServer::Reply { 400, "an empty action\n" } : HttpServer::Reply {};
                } });
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
};

TEST_F(HttpServerTest, ServesThePageAndTheStateButNothingOutsideThePageFolder)
{
    auto page = exchange("GET / HTTP/1.1\r\nHost: " + m_host + "\r\nConnection: close\r\n\r\n");
    EXPECT_THAT(page, StartsWith("HTTP/1.1 200"));
    EXPECT_THAT(page, HasSubstr("Content-Type: text/html; charset=utf-8"));
    EXPECT_THAT(page, HasSubstr("<title>page</title>"));
    EXPECT_THAT(exchange("GET /state HTTP/1.1\r\nHost: localhost:" + std::to_string(m_server->port()) + "\r\nConnection: close\r\n\r\n"),
        HasSubstr("{\"screen\":1}"));
    for (const char* path : { "/page/../secret.txt", "/page/%2e%2e/secret.txt", "/page/", "/phone/etc/passwd.png", "/nothing" })
        EXPECT_THAT(exchange(std::string("GET ") + path + " HTTP/1.1\r\nHost: " + m_host + "\r\nConnection: close\r\n\r\n"),
            StartsWith("HTTP/1.1 404")) << path;
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
