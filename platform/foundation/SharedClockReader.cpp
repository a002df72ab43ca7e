#include "platform/foundation/SharedClockReader.h"

std::shared_ptr<SharedClockReader> SharedClockReader::open(const std::filesystem::path& root)
{
    auto file = SharedClockFile::openForReading(root);
    return file ? std::make_shared<SharedClockReader>(std::move(file)) : nullptr;
}
