#include "apps/settings/RequestGuard.h"

bool RequestGuard::isOwnHost(const std::string& host) const
{
    std::string port = std::string(":").append(std::to_string(m_port));
    return host == "127.0.0.1" + port || host == "localhost" + port;
}

bool RequestGuard::allows(const std::optional<std::string>& host, const std::optional<std::string>& origin) const
{
    if (!host || !isOwnHost(*host))
        return false;
    if (!origin)
        return true;
    const std::string scheme = "http://";
    return origin->starts_with(scheme) && isOwnHost(origin->substr(scheme.size()));
}
