#pragma once

#include "apps/settings/AssetCache.h"
#include "platform/foundation/RunLoopSource.h"
#include "platform/foundation/RunLoopTimer.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <list>
#include <memory>
#include <string>

struct MHD_Daemon;
struct MHD_Connection;

// The Settings host's web server: libmicrohttpd on the main run loop (its epoll descriptor is a
// source of the loop, so every request is handled on the main thread, where the screens live,
// and no thread is started). It serves
//   GET  /                      the page (index.html of the page folder, naming the build's
//                               files by their hashed names), with a new tab's first screen
//                               and, with it, the page's stylesheets inside the page
//   GET  /page/<file>           the page's scripts, styles and icon, and its bundled widgets
//                               (page/dist/, made by bundle/build.mjs): nothing else is served
//   GET  /phone/<path>.png      an image of the phone (the settings bundle, the system's images)
//   GET  /state?tab=T           the screen of tab T as JSON
//   GET  /events?tab=T          the screen of tab T as Server-Sent Events: now, and after every change
//   POST /action                a tap (JSON), answered as the action handler says
// A tab (TabId.h) is each page's own navigation; a request that names none is of the tab "".
// Requests for another host or from another origin get 403, malformed ones 400; neither changes
// anything. Files go gzipped to a client that takes it, with an entity tag: a file named after a
// hash of its content may be kept for a year unasked, any other is asked about again each time
// (a 304 when the client's copy is current), so an edit of the page shows at the next load.
class HttpServer {
public:
    struct Reply {
        unsigned status { 204 };
        std::string body;
        std::string contentType { "text/plain" };
    };
    struct Handlers {
        // The screen of a tab.
        std::function<std::string(const std::string& tab)> state;
        std::function<Reply(const std::string& body)> action;
        // A tab's event stream opened (true) or closed (false).
        std::function<void(const std::string& tab, bool open)> stream;
        // A tab made for a page about to be served, whose first screen the page is served with
        // (FirstFrame); none: the page comes without one and makes its own tab.
        std::function<std::string()> newTab;
    };

    // Listens on 127.0.0.1:port (0: a free port). Throws std::runtime_error when it cannot.
    HttpServer(uint16_t port, std::filesystem::path webFolder, Handlers handlers);
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    uint16_t port() const { return m_port; }
    // Sends the state to every open event stream.
    void broadcast(const std::string& state);
    // Sends the state to the open event streams of one tab.
    void send(const std::string& tab, const std::string& state);
    size_t openStreams() const { return m_streams.size(); }

private:
    struct Stream;
    struct Request;

    // libmicrohttpd's callbacks.
    struct Callbacks;

    int handle(MHD_Connection*, const std::string& url, const std::string& method, Request&);
    int serveFile(MHD_Connection*, const std::filesystem::path& base, const std::string& relative);
    int serveIndex(MHD_Connection*);
    int serveWithFirstFrame(MHD_Connection*, const std::string& html);
    int serveAsset(MHD_Connection*, const Asset&, const std::filesystem::path& name);
    int openStream(MHD_Connection*, const std::string& tab);
    int respond(MHD_Connection*, unsigned status, const std::string& body, const char* contentType);
    void serve();
    void armTimeout();
    void setHeartbeat(bool on);
    void sendHeartbeat();
    void queue(Stream&, const std::string& text);
    std::string stateOf(const std::string& tab);

    std::filesystem::path m_webFolder;
    Handlers m_handlers;
    AssetCache m_assets;
    MHD_Daemon* m_daemon { nullptr };
    uint16_t m_port { 0 };
    RunLoopSource m_source;
    // libmicrohttpd's own deadline (a connection's time-out).
    RunLoopTimer m_timeout { TimerClock::Monotonic, [this](TimerEvent) { serve(); } };
    // While streams are open, a comment line every kHeartbeatSeconds.
    RunLoopTimer m_heartbeat { TimerClock::Monotonic, [this](TimerEvent) { sendHeartbeat(); } };
    std::list<std::shared_ptr<Stream>> m_streams;
    std::string m_lastState;
    bool m_resumed { false };
    bool m_serving { false };
};
