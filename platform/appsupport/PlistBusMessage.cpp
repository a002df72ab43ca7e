#include "platform/appsupport/PlistBusMessage.h"

#include <cstring>
#include <systemd/sd-bus.h>

namespace {

std::string keyPath(const std::string& parent, const std::string& key)
{
    return parent + "[\"" + key + "\"]";
}

std::string indexPath(const std::string& parent, size_t index)
{
    return parent + "[" + std::to_string(index) + "]";
}

bool fail(std::string* error, const std::string& what)
{
    if (error)
        *error = what;
    return false;
}

bool failed(int r, std::string* error, const std::string& path)
{
    if (r >= 0)
        return false;
    fail(error, path + " cannot be put into a D-Bus message: " + strerror(-r));
    return true;
}

bool appendValue(sd_bus_message*, const PlistValue&, const std::string& path, std::string* error);

bool appendString(sd_bus_message* m, char type, const std::string& text, const std::string& path, std::string* error)
{
    // A D-Bus string ends at its first NUL: the rest would be lost without a word.
    if (text.find('\0') != std::string::npos)
        return fail(error, path + " holds a NUL character, which a D-Bus string cannot carry");
    return !failed(sd_bus_message_append_basic(m, type, text.c_str()), error, path);
}

bool appendEntries(sd_bus_message* m, const PlistDictionary& dictionary, const std::string& path, std::string* error)
{
    if (failed(sd_bus_message_open_container(m, SD_BUS_TYPE_ARRAY, "{sv}"), error, path))
        return false;
    for (const auto& [key, value] : dictionary) {
        std::string at = keyPath(path, key);
        if (failed(sd_bus_message_open_container(m, SD_BUS_TYPE_DICT_ENTRY, "sv"), error, at) || !appendString(m, 's', key, at, error)
            || !appendValue(m, value, at, error) || failed(sd_bus_message_close_container(m), error, at))
            return false;
    }
    return !failed(sd_bus_message_close_container(m), error, path);
}

bool appendInVariant(sd_bus_message* m, const char* signature, const std::string& path, std::string* error, auto&& contents)
{
    return !failed(sd_bus_message_open_container(m, SD_BUS_TYPE_VARIANT, signature), error, path) && contents()
        && !failed(sd_bus_message_close_container(m), error, path);
}

bool appendValue(sd_bus_message* m, const PlistValue& value, const std::string& path, std::string* error)
{
    switch (value.type()) {
    case PlistValue::Type::Boolean: {
        int b = *value.asBool();
        return appendInVariant(m, "b", path, error, [&] { return !failed(sd_bus_message_append_basic(m, 'b', &b), error, path); });
    }
    case PlistValue::Type::Integer:
        return appendInVariant(m, "x", path, error, [&] { return !failed(sd_bus_message_append_basic(m, 'x', value.asInteger()), error, path); });
    case PlistValue::Type::Real:
        return appendInVariant(m, "d", path, error, [&] { return !failed(sd_bus_message_append_basic(m, 'd', value.asReal()), error, path); });
    case PlistValue::Type::String:
        return appendInVariant(m, "s", path, error, [&] { return appendString(m, 's', *value.asString(), path, error); });
    case PlistValue::Type::Date:
        return appendInVariant(m, "(d)", path, error, [&] {
            double seconds = value.asDate()->timeIntervalSince1970();
            return !failed(sd_bus_message_open_container(m, SD_BUS_TYPE_STRUCT, "d"), error, path)
                && !failed(sd_bus_message_append_basic(m, 'd', &seconds), error, path)
                && !failed(sd_bus_message_close_container(m), error, path);
        });
    case PlistValue::Type::Data:
        return appendInVariant(m, "ay", path, error, [&] {
            const PlistData& data = *value.asData();
            return !failed(sd_bus_message_append_array(m, 'y', data.data(), data.size()), error, path);
        });
    case PlistValue::Type::Array:
        return appendInVariant(m, "av", path, error, [&] {
            if (failed(sd_bus_message_open_container(m, SD_BUS_TYPE_ARRAY, "v"), error, path))
                return false;
            const PlistArray& array = *value.asArray();
            for (size_t i = 0; i < array.size(); ++i)
                if (!appendValue(m, array[i], indexPath(path, i), error))
                    return false;
            return !failed(sd_bus_message_close_container(m), error, path);
        });
    case PlistValue::Type::Dictionary:
        return appendInVariant(m, "a{sv}", path, error, [&] { return appendEntries(m, *value.asDictionary(), path, error); });
    case PlistValue::Type::None:
        return fail(error, path + " has no value, which a property list cannot carry");
    case PlistValue::Type::Object:
        return fail(error, path + " is an object, which a property list cannot carry");
    }
    return fail(error, path + " is of an unknown type");
}

bool readVariant(sd_bus_message*, PlistValue& out, const std::string& path, std::string* error);

bool readFailed(int r, std::string* error, const std::string& path)
{
    if (r > 0)
        return false;
    fail(error, path + " cannot be read: " + (r < 0 ? strerror(-r) : "the message ends early"));
    return true;
}

bool readEntries(sd_bus_message* m, PlistDictionary& dictionary, const std::string& path, std::string* error)
{
    if (readFailed(sd_bus_message_enter_container(m, SD_BUS_TYPE_ARRAY, "{sv}"), error, path))
        return false;
    for (;;) {
        int r = sd_bus_message_enter_container(m, SD_BUS_TYPE_DICT_ENTRY, "sv");
        if (r == 0)
            break;
        if (readFailed(r, error, path))
            return false;
        const char* key = nullptr;
        if (readFailed(sd_bus_message_read_basic(m, 's', &key), error, path))
            return false;
        std::string at = keyPath(path, key);
        if (dictionary.contains(key))
            return fail(error, at + " occurs twice");
        PlistValue value;
        if (!readVariant(m, value, at, error) || readFailed(sd_bus_message_exit_container(m), error, at))
            return false;
        dictionary.emplace(key, std::move(value));
    }
    return !readFailed(sd_bus_message_exit_container(m), error, path);
}

bool readContents(sd_bus_message* m, const std::string& type, PlistValue& out, const std::string& path, std::string* error)
{
    if (type == "b") {
        int b = 0;
        if (readFailed(sd_bus_message_read_basic(m, 'b', &b), error, path))
            return false;
        out = PlistValue(b != 0);
    } else if (type == "x") {
        int64_t x = 0;
        if (readFailed(sd_bus_message_read_basic(m, 'x', &x), error, path))
            return false;
        out = PlistValue(x);
    } else if (type == "d") {
        double d = 0;
        if (readFailed(sd_bus_message_read_basic(m, 'd', &d), error, path))
            return false;
        out = PlistValue(d);
    } else if (type == "s") {
        const char* s = nullptr;
        if (readFailed(sd_bus_message_read_basic(m, 's', &s), error, path))
            return false;
        out = PlistValue(std::string(s));
    } else if (type == "(d)") {
        double seconds = 0;
        if (readFailed(sd_bus_message_enter_container(m, SD_BUS_TYPE_STRUCT, "d"), error, path)
            || readFailed(sd_bus_message_read_basic(m, 'd', &seconds), error, path)
            || readFailed(sd_bus_message_exit_container(m), error, path))
            return false;
        out = PlistValue(NSDate(seconds));
    } else if (type == "ay") {
        const void* bytes = nullptr;
        size_t size = 0;
        if (sd_bus_message_read_array(m, 'y', &bytes, &size) < 0)
            return fail(error, path + " cannot be read");
        const auto* begin = static_cast<const uint8_t*>(bytes);
        out = PlistValue(PlistData(begin, begin + size));
    } else if (type == "av") {
        if (readFailed(sd_bus_message_enter_container(m, SD_BUS_TYPE_ARRAY, "v"), error, path))
            return false;
        PlistArray array;
        while (sd_bus_message_at_end(m, 0) == 0) {
            PlistValue element;
            if (!readVariant(m, element, indexPath(path, array.size()), error))
                return false;
            array.push_back(std::move(element));
        }
        if (readFailed(sd_bus_message_exit_container(m), error, path))
            return false;
        out = PlistValue(std::move(array));
    } else if (type == "a{sv}") {
        PlistDictionary dictionary;
        if (!readEntries(m, dictionary, path, error))
            return false;
        out = PlistValue(std::move(dictionary));
    } else {
        return fail(error, path + " has the D-Bus type '" + type + "', which no property-list type maps to");
    }
    return true;
}

bool readVariant(sd_bus_message* m, PlistValue& out, const std::string& path, std::string* error)
{
    char type = 0;
    const char* contents = nullptr;
    if (readFailed(sd_bus_message_peek_type(m, &type, &contents), error, path))
        return false;
    if (type != SD_BUS_TYPE_VARIANT || !contents)
        return fail(error, path + " is not a variant");
    std::string signature = contents;
    if (readFailed(sd_bus_message_enter_container(m, SD_BUS_TYPE_VARIANT, contents), error, path))
        return false;
    return readContents(m, signature, out, path, error) && !readFailed(sd_bus_message_exit_container(m), error, path);
}

}

bool appendPlistDictionary(sd_bus_message* m, const PlistDictionary& dictionary, std::string* error)
{
    return appendEntries(m, dictionary, "userInfo", error);
}

std::optional<PlistDictionary> readPlistDictionary(sd_bus_message* m, std::string* error)
{
    PlistDictionary dictionary;
    if (!readEntries(m, dictionary, "userInfo", error))
        return std::nullopt;
    return dictionary;
}
