#include "apps/settings/HttpServer.h"

#include "apps/settings/AssetManifest.h"
#include "apps/settings/ContentNegotiation.h"
#include "apps/settings/FirstFrame.h"
#include "apps/settings/Gzip.h"
#include "apps/settings/InlineStyles.h"
#include "apps/settings/RequestGuard.h"
#include "apps/settings/TabId.h"
#include "platform/machinery/AtomicFile.h"
#include "platform/machinery/DeviceRoot.h"
#include "platform/machinery/RandomToken.h"

#include <algorithm>
#include <arpa/inet.h>
#include <microhttpd.h>
#include <netinet/in.h>
#include <stdexcept>
#include <sys/epoll.h>
#include <unistd.h>

namespace {

constexpr size_t kMaxBody = 64 * 1024;
constexpr double kHeartbeatSeconds = 15;

std::optional<std::string> header(MHD_Connection* connection, const char* name)
{
    const char* value = MHD_lookup_connection_value(connection, MHD_HEADER_KIND, name);
    return value ? std::optional<std::string>(value) : std::nullopt;
}

const char* contentTypeOf(const std::filesystem::path& path)
{
    auto extension = path.extension().string();
    if (extension == ".html")
        return "text/html; charset=utf-8";
    if (extension == ".js" || extension == ".mjs")
        return "text/javascript; charset=utf-8";
    if (extension == ".css")
        return "text/css; charset=utf-8";
    if (extension == ".png")
        return "image/png";
    if (extension == ".svg")
        return "image/svg+xml";
    if (extension == ".json" || extension == ".map")
        return "application/json";
    return "application/octet-stream";
}

// `scriptNonce`: the nonce of the one script written into a page, allowed beside the host's files.
void addPageHeaders(MHD_Response* response, const char* contentType, const std::string& scriptNonce = "")
{
    MHD_add_response_header(response, "Content-Type", contentType);
    MHD_add_response_header(response, "X-Content-Type-Options", "nosniff");
    std::string scripts = scriptNonce.empty() ? "" : "script-src 'self' 'nonce-" + scriptNonce + "'; ";
    std::string policy = "default-src 'self'; " + scripts
        + "style-src 'self' 'unsafe-inline'; img-src 'self' data:; connect-src 'self'; frame-ancestors 'none'";
    MHD_add_response_header(response, "Content-Security-Policy", policy.c_str());
}

// A path inside the folder, or nothing for a name that would climb out of it. Links inside the
// folder are followed wherever they lead: only the phone's own files place them (a device root
// links its read-only files into the installed tree).
std::optional<std::filesystem::path> inside(const std::filesystem::path& base, const std::string& relative)
{
    std::filesystem::path wanted(relative);
    if (relative.empty() || wanted.is_absolute())
        return std::nullopt;
    for (const auto& part : wanted)
        if (part == ".." || part == ".")
            return std::nullopt;
    return base / wanted;
}

}

struct HttpServer::Request {
    std::string body;
    bool tooLarge { false };
};

struct HttpServer::Stream {
    HttpServer* server { nullptr };
    MHD_Connection* connection { nullptr };
    std::string tab;
    std::string pending;
    bool suspended { false };
};

struct HttpServer::Callbacks {
    static MHD_Result request(void* cls, MHD_Connection* connection, const char* url, const char* method, const char*,
        const char* uploadData, size_t* uploadSize, void** context)
    {
        auto* server = static_cast<HttpServer*>(cls);
        if (!*context) {
            *context = new Request;
            return MHD_YES;
        }
        auto* request = static_cast<Request*>(*context);
        if (*uploadSize) {
            if (request->body.size() + *uploadSize > kMaxBody)
                request->tooLarge = true;
            else
                request->body.append(uploadData, *uploadSize);
            *uploadSize = 0;
            return MHD_YES;
        }
        return server->handle(connection, url, method, *request) ? MHD_YES : MHD_NO;
    }

    static void completed(void*, MHD_Connection*, void** context, MHD_RequestTerminationCode)
    {
        delete static_cast<Request*>(*context);
        *context = nullptr;
    }

    static ssize_t readStream(void* cls, uint64_t, char* buffer, size_t max)
    {
        auto* stream = static_cast<Stream*>(cls);
        if (!stream->pending.empty()) {
            size_t n = std::min(max, stream->pending.size());
            stream->pending.copy(buffer, n);
            stream->pending.erase(0, n);
            return static_cast<ssize_t>(n);
        }
        // Nothing to send: the connection sleeps until the next broadcast resumes it.
        MHD_suspend_connection(stream->connection);
        stream->suspended = true;
        return 0;
    }

    static void freeStream(void* cls)
    {
        auto* stream = static_cast<Stream*>(cls);
        // Removing the stream destroys it: the server is taken first.
        HttpServer* server = stream->server;
        std::string tab = stream->tab;
        server->m_streams.remove_if([stream](const auto& open) { return open.get() == stream; });
        if (server->m_streams.empty())
            server->setHeartbeat(false);
        if (server->m_handlers.stream)
            server->m_handlers.stream(tab, false);
    }
};

HttpServer::HttpServer(uint16_t port, std::filesystem::path webFolder, Handlers handlers)
    : m_webFolder(std::move(webFolder))
    , m_handlers(std::move(handlers))
{
    sockaddr_in address { };
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    m_daemon = MHD_start_daemon(MHD_USE_EPOLL | MHD_USE_ITC | MHD_ALLOW_SUSPEND_RESUME, port, nullptr, nullptr, &Callbacks::request, this,
        MHD_OPTION_SOCK_ADDR, &address, MHD_OPTION_NOTIFY_COMPLETED, &Callbacks::completed, this, MHD_OPTION_CONNECTION_LIMIT, 64u,
        MHD_OPTION_END);
    if (!m_daemon)
        throw std::runtime_error("cannot listen on 127.0.0.1:" + std::to_string(port));
    m_port = MHD_get_daemon_info(m_daemon, MHD_DAEMON_INFO_BIND_PORT)->port;
    int epoll = MHD_get_daemon_info(m_daemon, MHD_DAEMON_INFO_EPOLL_FD)->epoll_fd;
    m_source = RunLoopSource(epoll, EPOLLIN, [this](uint32_t) { serve(); });
}

HttpServer::~HttpServer()
{
    // The daemon closes its epoll descriptor: the watch goes first.
    m_source.reset();
    for (const auto& stream : m_streams)
        if (stream->suspended) {
            stream->suspended = false;
            MHD_resume_connection(stream->connection);
        }
    MHD_stop_daemon(m_daemon);
}

void HttpServer::serve()
{
    if (m_serving)
        return;
    m_serving = true;
    // A resumed connection is only taken up by the run after the one that notices the resume:
    // run again while resumes are pending, before or during a run.
    for (int round = 0; round < 4; ++round) {
        bool resumedBefore = m_resumed;
        m_resumed = false;
        MHD_run(m_daemon);
        if (!resumedBefore && !m_resumed)
            break;
    }
    m_serving = false;
    armTimeout();
}

void HttpServer::armTimeout()
{
    MHD_UNSIGNED_LONG_LONG milliseconds = 0;
    if (MHD_get_timeout(m_daemon, &milliseconds) != MHD_YES)
        m_timeout.disarm();
    else
        m_timeout.armAfter(static_cast<double>(milliseconds) / 1000.0);
}

void HttpServer::setHeartbeat(bool on)
{
    if (on)
        m_heartbeat.armAfter(kHeartbeatSeconds);
    else
        m_heartbeat.disarm();
}

void HttpServer::sendHeartbeat()
{
    // The next one first: closing the last stream below stops them.
    m_heartbeat.armAfter(kHeartbeatSeconds);
    // A comment line: a stream whose page has gone fails to take it and is closed.
    for (const auto& stream : m_streams)
        queue(*stream, ": heartbeat\n\n");
    serve();
}

void HttpServer::broadcast(const std::string& state)
{
    m_lastState = state;
    for (const auto& stream : m_streams)
        queue(*stream, "data: " + state + "\n\n");
    if (m_resumed)
        serve();
}

void HttpServer::send(const std::string& tab, const std::string& state)
{
    for (const auto& stream : m_streams)
        if (stream->tab == tab)
            queue(*stream, "data: " + state + "\n\n");
    if (m_resumed)
        serve();
}

// Adds to what the stream sends and wakes it when it sleeps.
void HttpServer::queue(Stream& stream, const std::string& text)
{
    stream.pending += text;
    if (stream.suspended) {
        stream.suspended = false;
        MHD_resume_connection(stream.connection);
        m_resumed = true;
    }
}

std::string HttpServer::stateOf(const std::string& tab)
{
    return m_handlers.state ? m_handlers.state(tab) : std::string("{}");
}

int HttpServer::respond(MHD_Connection* connection, unsigned status, const std::string& body, const char* contentType)
{
    auto* response = MHD_create_response_from_buffer(body.size(), const_cast<char*>(body.data()), MHD_RESPMEM_MUST_COPY);
    addPageHeaders(response, contentType);
    // The state and the answers to taps change with every action.
    MHD_add_response_header(response, "Cache-Control", "no-store");
    auto result = MHD_queue_response(connection, status, response);
    MHD_destroy_response(response);
    return result == MHD_YES;
}

int HttpServer::serveAsset(MHD_Connection* connection, const Asset& asset, const std::filesystem::path& name)
{
    bool gzipped = !asset.gzipped.empty() && acceptsCoding(header(connection, "Accept-Encoding"), "gzip");
    const std::string& entityTag = gzipped ? asset.gzippedEntityTag : asset.entityTag;
    bool current = matchesEntityTag(header(connection, "If-None-Match"), entityTag);
    static const std::string nothing;
    const std::string& body = current ? nothing : gzipped ? asset.gzipped : asset.bytes;
    auto* response = MHD_create_response_from_buffer(body.size(), const_cast<char*>(body.data()), MHD_RESPMEM_MUST_COPY);
    if (!current) {
        addPageHeaders(response, contentTypeOf(name));
        if (gzipped)
            MHD_add_response_header(response, "Content-Encoding", "gzip");
    }
    // A 304 repeats what a cache keeps: the tag, how long, and what the choice of form hangs on.
    MHD_add_response_header(response, "ETag", entityTag.c_str());
    MHD_add_response_header(response, "Vary", "Accept-Encoding");
    MHD_add_response_header(response, "Cache-Control",
        AssetManifest::isContentHashed(name.filename().string()) ? "public, max-age=31536000, immutable" : "no-cache");
    auto result = MHD_queue_response(connection, current ? MHD_HTTP_NOT_MODIFIED : MHD_HTTP_OK, response);
    MHD_destroy_response(response);
    return result == MHD_YES;
}

int HttpServer::serveFile(MHD_Connection* connection, const std::filesystem::path& base, const std::string& relative)
{
    auto path = inside(base, relative);
    auto asset = path ? m_assets.file(*path) : nullptr;
    if (!asset)
        return respond(connection, MHD_HTTP_NOT_FOUND, "not found\n", "text/plain");
    return serveAsset(connection, *asset, *path);
}

int HttpServer::serveIndex(MHD_Connection* connection)
{
    auto index = m_webFolder / "page" / "index.html";
    auto manifest = m_webFolder / "page" / "dist" / "manifest.json";
    auto asset = m_assets.made("<index>", { index, manifest }, [&]() -> std::optional<std::string> {
        std::string html;
        if (!readFile(index, html))
            return std::nullopt;
        // Before a build there is no manifest, and the page keeps its plain names.
        std::string json;
        readFile(manifest, json);
        return AssetManifest(json).rewrite(std::move(html));
    });
    if (!asset)
        return respond(connection, MHD_HTTP_NOT_FOUND, "not found\n", "text/plain");
    if (!m_handlers.newTab)
        return serveAsset(connection, *asset, index);
    return serveWithFirstFrame(connection, asset->bytes);
}

// The page of a new tab, made for this request: its first screen in place, and the one script
// written into it allowed by a nonce of its own.
int HttpServer::serveWithFirstFrame(MHD_Connection* connection, const std::string& html)
{
    std::string tab = m_handlers.newTab();
    std::string state = stateOf(tab);
    std::string markup;
    try {
        markup = FirstFrame::markup(nlohmann::json::parse(state).value("navigation", nlohmann::json()));
    } catch (const nlohmann::json::exception&) {
        markup.clear();
    }
    std::string nonce = randomToken();
    std::string body = FirstFrame::insert(html, tab, markup, state, nonce);
    if (!markup.empty()) {
        body = InlineStyles::apply(std::move(body), [&](const std::string& address) -> std::optional<std::string> {
            auto path = inside(m_webFolder / "page", address.substr(6));
            auto asset = path ? m_assets.file(*path) : nullptr;
            return asset ? std::optional<std::string>(asset->bytes) : std::nullopt;
        });
    }
    bool gzipped = acceptsCoding(header(connection, "Accept-Encoding"), "gzip");
    if (gzipped)
        body = gzip(body);
    auto* response = MHD_create_response_from_buffer(body.size(), const_cast<char*>(body.data()), MHD_RESPMEM_MUST_COPY);
    addPageHeaders(response, "text/html; charset=utf-8", nonce);
    if (gzipped)
        MHD_add_response_header(response, "Content-Encoding", "gzip");
    MHD_add_response_header(response, "Vary", "Accept-Encoding");
    MHD_add_response_header(response, "Cache-Control", "no-store");
    auto result = MHD_queue_response(connection, MHD_HTTP_OK, response);
    MHD_destroy_response(response);
    return result == MHD_YES;
}

int HttpServer::openStream(MHD_Connection* connection, const std::string& tab)
{
    auto stream = std::make_shared<Stream>();
    stream->server = this;
    stream->connection = connection;
    stream->tab = tab;
    if (m_handlers.stream)
        m_handlers.stream(tab, true);
    stream->pending = "retry: 1000\n\ndata: " + stateOf(tab) + "\n\n";
    m_streams.push_back(stream);
    if (m_streams.size() == 1)
        setHeartbeat(true);
    auto* response = MHD_create_response_from_callback(MHD_SIZE_UNKNOWN, 16 * 1024, &Callbacks::readStream, stream.get(), &Callbacks::freeStream);
    MHD_add_response_header(response, "Content-Type", "text/event-stream");
    MHD_add_response_header(response, "Cache-Control", "no-store");
    auto result = MHD_queue_response(connection, MHD_HTTP_OK, response);
    MHD_destroy_response(response);
    return result == MHD_YES;
}

int HttpServer::handle(MHD_Connection* connection, const std::string& url, const std::string& method, Request& request)
{
    RequestGuard guard(m_port);
    if (!guard.allows(header(connection, "Host"), header(connection, "Origin")))
        return respond(connection, MHD_HTTP_FORBIDDEN, "forbidden\n", "text/plain");
    if (method == "POST" && url == "/action") {
        auto type = header(connection, "Content-Type");
        if (request.tooLarge || !type || !type->starts_with("application/json"))
            return respond(connection, MHD_HTTP_BAD_REQUEST, "an action is a JSON body of at most 64 KB\n", "text/plain");
        if (!m_handlers.action)
            return respond(connection, MHD_HTTP_BAD_REQUEST, "no screens\n", "text/plain");
        auto reply = m_handlers.action(request.body);
        return respond(connection, reply.status, reply.body, reply.contentType.c_str());
    }
    if (method != "GET" && method != "HEAD")
        return respond(connection, MHD_HTTP_METHOD_NOT_ALLOWED, "method not allowed\n", "text/plain");
    if (url == "/" || url == "/index.html" || url == "/page/index.html")
        return serveIndex(connection);
    if (url == "/state" || url == "/events") {
        const char* given = MHD_lookup_connection_value(connection, MHD_GET_ARGUMENT_KIND, "tab");
        std::string tab = given ? given : "";
        if (!isTabId(tab))
            return respond(connection, MHD_HTTP_BAD_REQUEST, "a tab is named by up to 64 letters, digits, '-' and '_'\n", "text/plain");
        if (url == "/events")
            return openStream(connection, tab);
        return respond(connection, MHD_HTTP_OK, stateOf(tab), "application/json");
    }
    if (url.starts_with("/page/"))
        return serveFile(connection, m_webFolder / "page", url.substr(6));
    if (url.starts_with("/phone/") && url.ends_with(".png")) {
        std::string phonePath = url.substr(7);
        if (phonePath.starts_with("Library/PreferenceBundles/") || phonePath.starts_with("System/Library/"))
            return serveFile(connection, DeviceRoot::path(), phonePath);
    }
    return respond(connection, MHD_HTTP_NOT_FOUND, "not found\n", "text/plain");
}
