#pragma once

#include "core/profile/HLProfile.h"

#include <functional>
#include <string>
#include <vector>

class HLProfileEntryReader;

// The one table of the record's properties: for each, its key, key-value access by name (what
// the settings editor and the message handler use), and whether and how it lives in the
// profiles file. Reading an entry, writing one, key-value access and the type checks of changes
// from other processes all walk this table, so adding a field is one line.
struct HLProfileProperties {
    enum class Storage {
        // In memory only (the quiet flag, the volume watch's state, ...).
        Memory,
        // Read from and written to the profiles file.
        File,
        // Written to the file for other readers, never read back (the updated date).
        WrittenOnly,
    };

    using Getter = std::function<PlistValue(HLProfile&)>;
    // False when the value has a type the property cannot take; the field is then unchanged.
    using Setter = std::function<bool(HLProfile&, const PlistValue&)>;
    using Reader = std::function<void(HLProfile&, const HLProfileEntryReader&)>;
    using Writer = std::function<void(HLProfile&, PlistDictionary&)>;

    struct Property {
        const char* name;
        Getter get;
        Setter set;
        Storage storage { Storage::Memory };
        Reader read;
        Writer write;
    };

    static const std::vector<Property>& table();
    static const Property* find(const std::string& name);
};
