#include "platform/foundation/SharedClock.h"

#include "platform/foundation/NSRunLoop.h"
#include "platform/foundation/SharedClockReader.h"
#include "platform/testsupport/DeviceFixture.h"

#include <fstream>

namespace {

class SharedClockTest : public DeviceFixture { };

}

TEST_F(SharedClockTest, EveryReaderOfThePhoneSeesTheOwnersMoves)
{
    NSTimeInterval start = localTime("2026-12-08T08:55:00");
    auto owner = SharedClock::open(m_root, &start);
    auto reader = SharedClockReader::open(m_root);
    ASSERT_TRUE(reader);
    EXPECT_TRUE(reader->isVirtual());
    EXPECT_EQ(reader->now(), start);
    owner->advance(302);
    EXPECT_EQ(reader->now(), start + 302);
    EXPECT_EQ(SharedClockReader::open(m_root)->now(), start + 302);
}

TEST_F(SharedClockTest, ARestartedOwnerResumesTheTimeAndOldReadersKeepUp)
{
    NSTimeInterval start = localTime("2026-12-08T08:55:00");
    auto reader = [&] {
        auto first = SharedClock::open(m_root, &start);
        first->advance(60);
        return SharedClockReader::open(m_root);
    }();
    auto resumed = SharedClock::open(m_root, nullptr);
    EXPECT_EQ(resumed->now(), start + 60);
    resumed->advance(5);
    EXPECT_EQ(reader->now(), start + 65);
}

TEST_F(SharedClockTest, NoClockFileMeansNoReaderAndNothingToResume)
{
    EXPECT_EQ(SharedClockReader::open(m_root), nullptr);
    EXPECT_THROW(SharedClock::open(m_root, nullptr), std::runtime_error);
    std::filesystem::create_directories(SharedClockFile::path(m_root).parent_path());
    std::ofstream(SharedClockFile::path(m_root)) << "garbage, not eight bytes";
    EXPECT_EQ(SharedClockReader::open(m_root), nullptr);
    EXPECT_THROW(SharedClock::open(m_root, nullptr), std::runtime_error);
    SharedClockFile::remove(m_root);
    EXPECT_FALSE(std::filesystem::exists(SharedClockFile::path(m_root)));
}

TEST_F(SharedClockTest, TheRunLoopFiresTimersAtTheirMomentsOnTheSharedClock)
{
    NSRunLoop::main().reset();
    NSTimeInterval start = localTime("2026-12-08T09:00:00");
    auto owner = SharedClock::open(m_root, &start);
    Clock::install(owner);
    auto reader = SharedClockReader::open(m_root);
    std::vector<NSTimeInterval> seenByReader;
    NSRunLoop::main().performBlockAtDate(NSDate(start + 10), [&] { seenByReader.push_back(reader->now()); });
    NSRunLoop::main().performBlockAtDate(NSDate(start + 20), [&] { seenByReader.push_back(reader->now()); });
    NSRunLoop::main().advanceBy(30);
    EXPECT_EQ(seenByReader, (std::vector<NSTimeInterval> { start + 10, start + 20 }));
    EXPECT_EQ(reader->now(), start + 30);
}
