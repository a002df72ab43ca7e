#pragma once

#include "platform/foundation/PlistValue.h"
#include "platform/foundation/PropertyList.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

// Property-list files kept in memory, for a process whose files are its own and thrown away
// when it ends: the shadow phone of `phonectl today` reads the device's volumes, vibrate
// settings and OS version at every step of its day and saves its profiles and settings at every
// apply and revert. When switched on, a file is read from disk the first time only; a write
// keeps the value, which a read gives back as a read of the written file would (it is
// encoded and decoded then), and leaves the disk alone. Nothing else may then use those files: other processes and other ways
// of reading them see the disk as it was.
//
// Off unless switched on. Safe to use from any thread.
class PropertyListMemory {
public:
    static void setEnabled(bool);
    static bool isEnabled();

    // What is known of the file: its value, or why it has none (a missing or damaged file); or
    // the value last written and its encoding, encoded and decoded when the file is next read
    // (many files are written far more often than read).
    struct Written {
        PlistValue value;
        PropertyList::Format format;
    };
    struct Known {
        std::optional<PlistValue> value;
        std::string error;
        std::optional<Written> written;
        // Counts the writes of the file, so that a read does not put back an older value.
        uint64_t generation { 0 };
    };
    static std::optional<Known> recall(const std::filesystem::path&);
    // A write: the value replaces whatever was known.
    static void keepWritten(const std::filesystem::path&, Written);
    // What a read made of the file (read from disk, or the last write decoded), kept unless the
    // file was written since the read recalled it (its generation).
    static void keepRead(const std::filesystem::path&, Known);
};
