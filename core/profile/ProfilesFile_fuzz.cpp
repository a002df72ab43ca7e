// libFuzzer target: the profiles file as the store reads it. Any bytes must load without harm, and
// every profile read from them must survive a save: its entry, written as the store writes the
// file, reads back as the same entry. Built and run by scripts/fuzz-profiles.sh.
#include "core/profile/HLProfile.h"
#include "platform/foundation/PropertyList.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

// The script closes the target's error stream (the record logs every entry it reads); a broken
// promise is told on the standard output.
[[noreturn]] void fail(const char* what, const PlistValue& before, const PlistValue& after)
{
    printf("%s\nwritten: %s\nread back: %s\n", what, before.description().c_str(), after.description().c_str());
    fflush(stdout);
    abort();
}

}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    auto file = PropertyList::parse(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!file || !file->asArray())
        return 0;
    for (const auto& element : *file->asArray()) {
        auto entry = element.asDictionary();
        if (!entry)
            continue;
        auto written = HLProfile(*entry).dictionaryRepresentation();
        auto bytes = PropertyList::serialize(PlistValue(written), PropertyList::Format::XML);
        if (!bytes)
            fail("a profile's entry cannot be written", PlistValue(written), PlistValue());
        auto back = PropertyList::parse(*bytes);
        if (!back || !back->asDictionary())
            fail("a written entry cannot be read", PlistValue(written), PlistValue());
        auto rewritten = HLProfile(*back->asDictionary()).dictionaryRepresentation();
        if (rewritten != written)
            fail("an entry changes when it is saved again", PlistValue(written), PlistValue(rewritten));
    }
    return 0;
}
