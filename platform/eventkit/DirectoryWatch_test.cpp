#include "platform/eventkit/DirectoryWatch.h"

#include <gtest/gtest.h>

#include <fstream>
#include <poll.h>
#include <unistd.h>

namespace {

class DirectoryWatchTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/directory-watch-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_base = pattern;
        m_root = m_base / "mobile" / "Calendars";
    }
    void TearDown() override { std::filesystem::remove_all(m_base); }

    static bool isReadable(const DirectoryWatch& watch)
    {
        pollfd fd { watch.fileDescriptor(), POLLIN, 0 };
        return poll(&fd, 1, 0) == 1;
    }

    // Reads what is queued, as the run loop does when the descriptor is readable; returns how
    // often it did before the descriptor stayed quiet (a loop that never quietens gives up at 50).
    static int readUntilQuiet(DirectoryWatch& watch, std::vector<DirectoryWatch::Change>& changes, bool& complete)
    {
        complete = true;
        int reads = 0;
        while (isReadable(watch) && reads < 50) {
            complete = watch.readChanges(changes) && complete;
            ++reads;
        }
        return reads;
    }

    static void touch(const std::filesystem::path& file) { std::ofstream(file) << "x"; }

    std::filesystem::path m_base;
    std::filesystem::path m_root;
};

TEST_F(DirectoryWatchTest, WhileTheRootIsMissingOtherActivityBesideItIsReadOnceAndThenNothingWakes)
{
    std::filesystem::create_directories(m_root.parent_path());
    DirectoryWatch watch(m_root);
    ASSERT_TRUE(watch.isAvailable());
    EXPECT_TRUE(watch.isWaitingForRoot());
    EXPECT_FALSE(isReadable(watch));

    touch(m_root.parent_path() / "notes.txt");
    std::filesystem::create_directory(m_root.parent_path() / "Library");
    std::vector<DirectoryWatch::Change> changes;
    bool complete = false;
    EXPECT_EQ(readUntilQuiet(watch, changes, complete), 1);
    EXPECT_TRUE(complete) << "nothing on the way to the root changed";
    EXPECT_TRUE(changes.empty());
    EXPECT_TRUE(watch.isWaitingForRoot());
}

TEST_F(DirectoryWatchTest, ARootRemovedWhileWatchedIsToldOnceAndWaitedForQuietly)
{
    std::filesystem::create_directories(m_root / "account" / "work");
    DirectoryWatch watch(m_root);
    ASSERT_TRUE(watch.isWatchingRoot());

    std::filesystem::remove_all(m_root);
    std::vector<DirectoryWatch::Change> changes;
    bool complete = true;
    EXPECT_LE(readUntilQuiet(watch, changes, complete), 3);
    EXPECT_FALSE(complete) << "every folder must be looked at again";
    EXPECT_TRUE(watch.isWaitingForRoot());
    EXPECT_FALSE(isReadable(watch));

    touch(m_root.parent_path() / "notes.txt");
    changes.clear();
    EXPECT_EQ(readUntilQuiet(watch, changes, complete), 1);
    EXPECT_TRUE(complete);
    EXPECT_TRUE(watch.isWaitingForRoot());
}

TEST_F(DirectoryWatchTest, ARootThatAppearsIsWatchedWithItsCalendars)
{
    DirectoryWatch watch(m_root);
    ASSERT_TRUE(watch.isWaitingForRoot()) << "the nearest existing ancestor is watched";

    std::filesystem::create_directories(m_root / "account" / "work");
    std::vector<DirectoryWatch::Change> changes;
    bool complete = true;
    readUntilQuiet(watch, changes, complete);
    EXPECT_FALSE(complete) << "a root that has just appeared was never looked at";
    EXPECT_TRUE(watch.isWatchingRoot());
    EXPECT_FALSE(watch.isWaitingForRoot());

    touch(m_root / "account" / "work" / "meeting.ics");
    changes.clear();
    EXPECT_EQ(readUntilQuiet(watch, changes, complete), 1);
    EXPECT_TRUE(complete);
    ASSERT_EQ(changes.size(), 2u) << "created, then closed after writing";
    EXPECT_EQ(changes[0].folder, m_root / "account" / "work");
    EXPECT_EQ(changes[0].name, "meeting.ics");
    EXPECT_EQ(changes[0].depth, DirectoryWatch::Calendar);
}

} // namespace
