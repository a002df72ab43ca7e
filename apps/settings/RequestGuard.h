#pragma once

#include <cstdint>
#include <optional>
#include <string>

// Who may talk to the Settings host: only the page it serves. A request must name the host's
// own address in its Host header (a page of another site that resolves its own name to the
// loopback address cannot pass), and a request that carries an Origin must come from that
// address too (another site open in the same browser cannot drive the phone's settings).
class RequestGuard {
public:
    explicit RequestGuard(uint16_t port) : m_port(port) { }

    bool allows(const std::optional<std::string>& host, const std::optional<std::string>& origin) const;

private:
    bool isOwnHost(const std::string& host) const;

    uint16_t m_port;
};
