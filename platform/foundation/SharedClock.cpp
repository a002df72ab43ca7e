#include "platform/foundation/SharedClock.h"

std::shared_ptr<SharedClock> SharedClock::open(const std::filesystem::path& root, const NSTimeInterval* start)
{
    return std::make_shared<SharedClock>(SharedClockFile::openForWriting(root, start));
}

SharedClock::SharedClock(std::unique_ptr<SharedClockFile> file)
    : VirtualClock(file->read())
    , m_file(std::move(file))
{
}
