#include "platform/foundation/PropertyList.h"

#include "platform/foundation/PropertyListMemory.h"

#include "platform/machinery/AtomicFile.h"

#include <cmath>
#include <cstring>
#include <cstdlib>
#include <limits>
#include <memory>
#include <plist/plist.h>

namespace {

std::optional<PlistValue> readFromDisk(const std::filesystem::path& path, std::string* error)
{
    std::string bytes;
    if (!readFile(path, bytes, error))
        return std::nullopt;
    return PropertyList::parse(bytes, error);
}

// libplist counts dates from 2001-01-01 00:00:00 UTC, as the phone does.
constexpr double kSeconds1970To2001 = 978307200.0;

struct PlistDeleter {
    void operator()(void* node) const { plist_free(static_cast<plist_t>(node)); }
};
using PlistNode = std::unique_ptr<void, PlistDeleter>;

// Nesting beyond this is refused, so that a hostile file cannot exhaust the stack.
constexpr int kMaxDepth = 512;

std::optional<PlistValue> fromNode(plist_t node, int depth);

// The value of a node that holds no other nodes; nullopt for a container or an unknown type.
std::optional<PlistValue> scalarFromNode(plist_t node)
{
    switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
        uint8_t value = 0;
        plist_get_bool_val(node, &value);
        return PlistValue(value != 0);
    }
    case PLIST_UINT: {
        // libplist keeps every integer as 64 bits; the phone's integers are signed.
        uint64_t value = 0;
        plist_get_uint_val(node, &value);
        return PlistValue(static_cast<int64_t>(value));
    }
    case PLIST_REAL: {
        double value = 0;
        plist_get_real_val(node, &value);
        return PlistValue(value);
    }
    case PLIST_STRING: {
        // A string ends at its first NUL, as the writer would cut it: what is read is what a
        // save writes back.
        uint64_t length = 0;
        const char* text = plist_get_string_ptr(node, &length);
        return PlistValue(text ? std::string(text, strnlen(text, length)) : std::string());
    }
    case PLIST_KEY: {
        char* text = nullptr;
        plist_get_key_val(node, &text);
        std::string value = text ? text : "";
        free(text);
        return PlistValue(std::move(value));
    }
    case PLIST_DATE: {
        int32_t seconds = 0, micros = 0;
        plist_get_date_val(node, &seconds, &micros);
        return PlistValue(NSDate(kSeconds1970To2001 + seconds + micros / 1e6));
    }
    case PLIST_DATA: {
        char* bytes = nullptr;
        uint64_t length = 0;
        plist_get_data_val(node, &bytes, &length);
        PlistData value(reinterpret_cast<uint8_t*>(bytes), reinterpret_cast<uint8_t*>(bytes) + (bytes ? length : 0));
        free(bytes);
        return PlistValue(std::move(value));
    }
    case PLIST_UID: {
        uint64_t value = 0;
        plist_get_uid_val(node, &value);
        return PlistValue(static_cast<int64_t>(value));
    }
    default:
        return std::nullopt;
    }
}

// An array node whose elements sit at `depth`; nullopt when any element cannot be read.
std::optional<PlistValue> arrayFromNode(plist_t node, int depth)
{
    PlistArray array;
    uint32_t size = plist_array_get_size(node);
    array.reserve(size);
    for (uint32_t i = 0; i < size; ++i) {
        auto element = fromNode(plist_array_get_item(node, i), depth);
        if (!element)
            return std::nullopt;
        array.push_back(std::move(*element));
    }
    return PlistValue(std::move(array));
}

// A dictionary node whose values sit at `depth`; nullopt when any value cannot be read.
std::optional<PlistValue> dictionaryFromNode(plist_t node, int depth)
{
    PlistDictionary dictionary;
    plist_dict_iter iter = nullptr;
    plist_dict_new_iter(node, &iter);
    if (!iter)
        return PlistValue(std::move(dictionary));
    std::optional<PlistValue> result;
    for (;;) {
        char* key = nullptr;
        plist_t item = nullptr;
        plist_dict_next_item(node, iter, &key, &item);
        if (!item) {
            free(key);
            result = PlistValue(std::move(dictionary));
            break;
        }
        auto element = fromNode(item, depth);
        std::string name = key ? key : "";
        free(key);
        if (!element)
            break;
        dictionary.insert_or_assign(std::move(name), std::move(*element));
    }
    // The iterator is freed on every path, so the loop breaks instead of returning.
    free(iter);
    return result;
}

std::optional<PlistValue> fromNode(plist_t node, int depth)
{
    if (!node || depth > kMaxDepth)
        return std::nullopt;
    switch (plist_get_node_type(node)) {
    case PLIST_ARRAY:
        return arrayFromNode(node, depth + 1);
    case PLIST_DICT:
        return dictionaryFromNode(node, depth + 1);
    default:
        return scalarFromNode(node);
    }
}

// Seconds and microseconds since 2001, as libplist keeps a date; nullopt beyond its range.
std::optional<std::pair<int32_t, int32_t>> dateSince2001(const NSDate& date, std::string* error)
{
    double since2001 = date.timeIntervalSince1970() - kSeconds1970To2001;
    double seconds = std::floor(since2001);
    if (!(seconds >= std::numeric_limits<int32_t>::min() && seconds <= std::numeric_limits<int32_t>::max())) {
        if (error)
            *error = "date out of range";
        return std::nullopt;
    }
    return std::pair { static_cast<int32_t>(seconds), static_cast<int32_t>(std::lround((since2001 - seconds) * 1e6)) };
}

// Whether toNode can make a node of the value, without making it.
bool isRepresentable(const PlistValue& value, std::string* error)
{
    switch (value.type()) {
    case PlistValue::Type::Date:
        return dateSince2001(*value.asDate(), error).has_value();
    case PlistValue::Type::Array:
        for (const auto& element : *value.asArray())
            if (!isRepresentable(element, error))
                return false;
        return true;
    case PlistValue::Type::Dictionary:
        for (const auto& [key, element] : *value.asDictionary())
            if (!isRepresentable(element, error))
                return false;
        return true;
    case PlistValue::Type::None:
    case PlistValue::Type::Object:
        if (error)
            *error = "value has no property-list form";
        return false;
    case PlistValue::Type::Boolean:
    case PlistValue::Type::Integer:
    case PlistValue::Type::Real:
    case PlistValue::Type::String:
    case PlistValue::Type::Data:
        return true;
    }
    return false;
}

plist_t toNode(const PlistValue& value, std::string* error)
{
    switch (value.type()) {
    case PlistValue::Type::Boolean:
        return plist_new_bool(*value.asBool() ? 1 : 0);
    case PlistValue::Type::Integer:
        return plist_new_uint(static_cast<uint64_t>(*value.asInteger()));
    case PlistValue::Type::Real:
        return plist_new_real(*value.asReal());
    case PlistValue::Type::String:
        return plist_new_string(value.asString()->c_str());
    case PlistValue::Type::Date: {
        auto since2001 = dateSince2001(*value.asDate(), error);
        return since2001 ? plist_new_date(since2001->first, since2001->second) : nullptr;
    }
    case PlistValue::Type::Data: {
        const auto& data = *value.asData();
        return plist_new_data(reinterpret_cast<const char*>(data.data()), data.size());
    }
    case PlistValue::Type::Array: {
        PlistNode array(plist_new_array());
        for (const auto& element : *value.asArray()) {
            plist_t item = toNode(element, error);
            if (!item)
                return nullptr;
            plist_array_append_item(array.get(), item);
        }
        return static_cast<plist_t>(array.release());
    }
    case PlistValue::Type::Dictionary: {
        PlistNode dictionary(plist_new_dict());
        for (const auto& [key, element] : *value.asDictionary()) {
            plist_t item = toNode(element, error);
            if (!item)
                return nullptr;
            plist_dict_set_item(dictionary.get(), key.c_str(), item);
        }
        return static_cast<plist_t>(dictionary.release());
    }
    case PlistValue::Type::None:
    case PlistValue::Type::Object:
        break;
    }
    if (error)
        *error = "value has no property-list form";
    return nullptr;
}

}

std::optional<PlistValue> PropertyList::parse(std::string_view bytes, std::string* error)
{
    if (bytes.empty() || bytes.size() > std::numeric_limits<uint32_t>::max()) {
        if (error)
            *error = "not a property list";
        return std::nullopt;
    }
    plist_t root = nullptr;
    plist_from_memory(bytes.data(), static_cast<uint32_t>(bytes.size()), &root);
    PlistNode owner(root);
    auto value = fromNode(root, 0);
    if (!value && error)
        *error = "not a property list";
    return value;
}

std::optional<std::string> PropertyList::serialize(const PlistValue& value, Format format, std::string* error)
{
    PlistNode root(toNode(value, error));
    if (!root)
        return std::nullopt;
    // libplist writes nothing when the output pointer is not null on entry.
    char* out = nullptr;
    uint32_t length = 0;
    if (format == Format::XML)
        plist_to_xml(static_cast<plist_t>(root.get()), &out, &length);
    else
        plist_to_bin(static_cast<plist_t>(root.get()), &out, &length);
    if (!out) {
        if (error)
            *error = "cannot encode the property list";
        return std::nullopt;
    }
    std::string bytes(out, length);
    if (format == Format::XML)
        plist_to_xml_free(out);
    else
        plist_to_bin_free(out);
    return bytes;
}

std::optional<PlistValue> PropertyList::read(const std::filesystem::path& path, std::string* error)
{
    if (PropertyListMemory::isEnabled()) {
        auto known = PropertyListMemory::recall(path);
        if (!known) {
            known.emplace();
            known->value = readFromDisk(path, &known->error);
            PropertyListMemory::keepRead(path, *known);
        } else if (known->written) {
            auto bytes = serialize(known->written->value, known->written->format, &known->error);
            known->value = bytes ? parse(*bytes, &known->error) : std::nullopt;
            PropertyListMemory::keepRead(path, *known);
        }
        if (error && !known->value)
            *error = known->error;
        return known->value;
    }
    return readFromDisk(path, error);
}

bool PropertyList::exists(const std::filesystem::path& path, std::error_code& error)
{
    // Nothing is removed in memory: a file the process has not written is as the disk has it.
    if (PropertyListMemory::isEnabled())
        if (auto known = PropertyListMemory::recall(path); known && (known->written || known->value))
            return true;
    return std::filesystem::exists(path, error);
}

bool PropertyList::write(const std::filesystem::path& path, const PlistValue& value, Format format, std::string* error, std::string* written)
{
    if (PropertyListMemory::isEnabled()) {
        if (!isRepresentable(value, error))
            return false;
        PropertyListMemory::keepWritten(path, { value, format });
        return true;
    }
    auto bytes = serialize(value, format, error);
    if (!bytes)
        return false;
    std::error_code ignored;
    std::filesystem::create_directories(path.parent_path(), ignored);
    if (!writeFileAtomically(path, *bytes, error))
        return false;
    if (written)
        *written = std::move(*bytes);
    return true;
}

std::optional<std::string> PropertyList::diskBytes(const std::filesystem::path& path)
{
    std::string bytes;
    if (!readFile(path, bytes))
        return std::nullopt;
    return bytes;
}
