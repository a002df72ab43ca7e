#include "platform/session/OwnerRecord.h"

#include "platform/foundation/NSLog.h"
#include "platform/foundation/PropertyList.h"
#include "platform/machinery/DeviceRoot.h"

#include <algorithm>

namespace {

std::optional<uint32_t> volumeIn(PlistDictionary& dictionary, const char* key)
{
    const int64_t* value = dictionary[key].asInteger();
    if (!value || *value < 0 || *value > UINT32_MAX)
        return std::nullopt;
    return static_cast<uint32_t>(*value);
}

// A sink's channels; nothing when one of them is no volume.
std::vector<uint32_t> channelsIn(const PlistArray& array)
{
    std::vector<uint32_t> channels;
    for (const PlistValue& channel : array) {
        const int64_t* volume = channel.asInteger();
        if (!volume || *volume < 0 || *volume > UINT32_MAX)
            return {};
        channels.push_back(static_cast<uint32_t>(*volume));
    }
    return channels;
}

PlistArray channelsArray(const std::vector<uint32_t>& channels)
{
    PlistArray array;
    for (uint32_t volume : channels)
        array.push_back(static_cast<int64_t>(volume));
    return array;
}

template<class T>
void recordIfChanging(std::optional<T>& recorded, const std::optional<T>& current, const std::optional<T>& wanted)
{
    if (!recorded && current && wanted && *current != *wanted)
        recorded = current;
}

}

std::filesystem::path OwnerRecord::path()
{
    return DeviceRoot::resolve("/var/lib/hushline-session/owner-values.plist");
}

OwnerRecord OwnerRecord::load()
{
    OwnerRecord record;
    auto file = PropertyList::read(path());
    if (!file || !file->isDictionary())
        return record;
    PlistDictionary dictionary = *file->asDictionary();
    if (auto level = dictionary["level"].asString())
        record.values.level = parseFeedbackLevel(*level);
    record.values.eventRoleVolume = volumeIn(dictionary, "eventRoleVolume");
    record.values.mediaVolume = volumeIn(dictionary, "mediaVolume");
    if (auto shown = dictionary["showBanners"].asBool())
        record.values.showBanners = *shown;
    if (auto sink = dictionary["mediaSink"].asString())
        record.mediaSink = *sink;
    if (auto channels = dictionary["mediaChannels"].asArray())
        record.mediaChannels = channelsIn(*channels);
    if (auto sinks = dictionary["otherSinks"].asDictionary())
        for (const auto& [sink, channels] : *sinks)
            if (auto array = channels.asArray(); array && !channelsIn(*array).empty())
                record.otherSinks[sink] = channelsIn(*array);
    return record;
}

bool OwnerRecord::isEmpty() const
{
    return values == SessionValues {} && otherSinks.empty();
}

void OwnerRecord::recordSink(const std::string& sink, const std::vector<uint32_t>& channels)
{
    if (!values.mediaVolume || sink == mediaSink || otherSinks.count(sink) || channels.empty())
        return;
    otherSinks[sink] = channels;
}

void OwnerRecord::recordBefore(const SessionValues& current, const SessionValues& wanted, const std::optional<std::string>& sink,
    const std::vector<uint32_t>& channels)
{
    recordIfChanging(values.level, current.level, wanted.level);
    recordIfChanging(values.eventRoleVolume, current.eventRoleVolume, wanted.eventRoleVolume);
    bool mediaRecorded = values.mediaVolume.has_value();
    recordIfChanging(values.mediaVolume, current.mediaVolume, wanted.mediaVolume);
    if (!mediaRecorded && values.mediaVolume) {
        mediaSink = sink;
        mediaChannels = channels;
    }
    recordIfChanging(values.showBanners, current.showBanners, wanted.showBanners);
}

void OwnerRecord::forget(SessionControl control)
{
    clearValue(values, control);
    if (control == SessionControl::Media) {
        mediaSink.reset();
        mediaChannels.clear();
        otherSinks.clear();
    }
}

bool OwnerRecord::holds(SessionControl control) const
{
    return hasValue(values, control);
}

void OwnerRecord::settle(const std::vector<SessionControl>& failed)
{
    for (SessionControl control : kSessionControls)
        if (std::find(failed.begin(), failed.end(), control) == failed.end())
            forget(control);
}

bool OwnerRecord::save() const
{
    std::error_code error;
    if (isEmpty()) {
        std::filesystem::remove(path(), error);
        return !error;
    }
    PlistDictionary dictionary;
    if (values.level)
        dictionary["level"] = std::string(feedbackLevelName(*values.level));
    if (values.eventRoleVolume)
        dictionary["eventRoleVolume"] = static_cast<int64_t>(*values.eventRoleVolume);
    if (values.mediaVolume)
        dictionary["mediaVolume"] = static_cast<int64_t>(*values.mediaVolume);
    if (mediaSink)
        dictionary["mediaSink"] = *mediaSink;
    if (!mediaChannels.empty())
        dictionary["mediaChannels"] = channelsArray(mediaChannels);
    if (!otherSinks.empty()) {
        PlistDictionary sinks;
        for (const auto& [sink, channels] : otherSinks)
            sinks[sink] = channelsArray(channels);
        dictionary["otherSinks"] = sinks;
    }
    if (values.showBanners)
        dictionary["showBanners"] = *values.showBanners;
    std::filesystem::create_directories(path().parent_path(), error);
    std::string why;
    if (!PropertyList::write(path(), PlistValue(dictionary), PropertyList::Format::XML, &why)) {
        NSLog("Session: cannot keep the owner's values in %s: %s", path().c_str(), why.c_str());
        return false;
    }
    return true;
}
