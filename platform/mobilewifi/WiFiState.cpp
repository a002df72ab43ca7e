#include "platform/mobilewifi/WiFiState.h"

#include "platform/foundation/DarwinNotifyCenter.h"
#include "platform/machinery/DeviceRoot.h"
#include "platform/foundation/PropertyList.h"

#include <algorithm>

namespace {

constexpr const char* kNetworkChange = "com.apple.system.config.network_change";

std::optional<NSDate> dateOf(const PlistValue& value)
{
    if (auto date = value.asDate())
        return *date;
    return std::nullopt;
}

}

std::filesystem::path WiFiState::path()
{
    return DeviceRoot::resolve("/var/preferences/SystemConfiguration/com.apple.wifi.plist");
}

WiFiState WiFiState::load()
{
    WiFiState state;
    auto file = PropertyList::read(path());
    if (!file || !file->isDictionary())
        return state;
    if (auto list = (*file)["List of known networks"].asArray()) {
        for (const auto& entry : *list) {
            auto ssid = entry["SSID_STR"].asString();
            if (ssid)
                state.known.push_back({ *ssid, dateOf(entry["lastJoined"]), dateOf(entry["lastAutoJoined"]) });
        }
    }
    if (auto current = (*file)["CurrentNetwork"].asString())
        state.current = *current;
    if (auto device = (*file)["HasWiFiDevice"].asBool())
        state.hasDevice = *device;
    return state;
}

bool WiFiState::save() const
{
    PlistArray list;
    for (const auto& network : known) {
        PlistDictionary entry { { "SSID_STR", network.ssid } };
        if (network.lastJoined)
            entry["lastJoined"] = *network.lastJoined;
        if (network.lastAutoJoined)
            entry["lastAutoJoined"] = *network.lastAutoJoined;
        list.emplace_back(std::move(entry));
    }
    PlistDictionary file { { "List of known networks", std::move(list) }, { "HasWiFiDevice", hasDevice } };
    if (current)
        file["CurrentNetwork"] = *current;
    return PropertyList::write(path(), PlistValue(std::move(file)), PropertyList::Format::Binary);
}

void WiFiState::join(const std::string& ssid, bool automatically)
{
    WiFiState state = load();
    auto it = std::find_if(state.known.begin(), state.known.end(), [&](const KnownNetwork& n) { return n.ssid == ssid; });
    if (it == state.known.end()) {
        state.known.push_back({ ssid, std::nullopt, std::nullopt });
        it = state.known.end() - 1;
    }
    (automatically ? it->lastAutoJoined : it->lastJoined) = NSDate::date();
    state.current = ssid;
    state.save();
    notify_post(kNetworkChange);
}

void WiFiState::leave()
{
    WiFiState state = load();
    state.current.reset();
    state.save();
    notify_post(kNetworkChange);
}
