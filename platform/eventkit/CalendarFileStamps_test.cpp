#include "platform/eventkit/CalendarFileStamps.h"

#include "platform/machinery/FileDescriptor.h"
#include "platform/testsupport/DeviceFixture.h"

#include <fcntl.h>
#include <fstream>

namespace {

class CalendarFileStampsTest : public DeviceFixture { };

// Enough files for the looks to be shared between two threads: each stamp must still be its
// own file's, and what is not a regular file has none.
TEST_F(CalendarFileStampsTest, EveryFileGetsItsOwnStampAndOnlyRegularFilesHaveOne)
{
    auto folder = m_root / "calendar";
    std::filesystem::create_directories(folder / "folder.ics");
    std::vector<std::string> names;
    for (int i = 0; i < 2500; ++i) {
        names.push_back("event-" + std::to_string(i) + ".ics");
        std::ofstream(folder / names.back()) << std::string(static_cast<size_t>(i), 'x');
    }
    names.insert(names.begin() + 1700, "gone.ics");
    names.insert(names.begin() + 10, "folder.ics");

    FileDescriptor open(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    auto stamps = calendarFileStamps(open.get(), folder, names);
    ASSERT_EQ(stamps.size(), names.size());
    for (size_t index = 0; index < names.size(); ++index) {
        SCOPED_TRACE(names[index]);
        auto alone = calendarFileStamp(-1, folder, names[index]);
        EXPECT_EQ(stamps[index], alone);
        if (names[index] == "gone.ics" || names[index] == "folder.ics")
            EXPECT_FALSE(stamps[index]);
        else
            ASSERT_TRUE(stamps[index]) << "every event file has a stamp";
    }
    EXPECT_EQ(stamps[2501]->size, 2499u);
}

}
