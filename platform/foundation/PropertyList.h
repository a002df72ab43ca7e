#pragma once

#include "platform/foundation/PlistValue.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

// Reading and writing property lists in the phone's encodings (XML and binary).
class PropertyList {
public:
    enum class Format { XML, Binary };

    // Parses any encoding. nullopt for bytes that are not a property list; never throws and
    // never trusts the content (any bytes at all are safe to hand in).
    static std::optional<PlistValue> parse(std::string_view bytes, std::string* error = nullptr);

    // nullopt when the value holds something a file cannot (no value, a reference object).
    static std::optional<std::string> serialize(const PlistValue&, Format, std::string* error = nullptr);

    // A missing, unreadable or malformed file gives nullopt.
    static std::optional<PlistValue> read(const std::filesystem::path&, std::string* error = nullptr);

    // Whether the file exists, as this process's reads see it: a file kept in memory
    // (PropertyListMemory) exists once it has been written. Set *error when it cannot be told.
    static bool exists(const std::filesystem::path&, std::error_code& error);

    // Writes the value to the file atomically (see writeFileAtomically); false on failure. When
    // `written` is given it receives the bytes that went to disk (nothing for a file kept in memory).
    static bool write(const std::filesystem::path&, const PlistValue&, Format = Format::XML, std::string* error = nullptr,
        std::string* written = nullptr);

    // The file's bytes as they are on disk now, so that a process can tell whether another one
    // replaced the file since it read or wrote it; nullopt when there is no readable file.
    static std::optional<std::string> diskBytes(const std::filesystem::path&);
};
