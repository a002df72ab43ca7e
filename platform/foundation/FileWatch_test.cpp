#include "platform/foundation/FileWatch.h"

#include "platform/machinery/AtomicFile.h"
#include "platform/testsupport/RunLoopFixture.h"

#include <fstream>

namespace {

class FileWatchTest : public RunLoopFixture {
protected:
    void SetUp() override
    {
        RunLoopFixture::SetUp();
        m_folder = m_root / "tmp";
        std::filesystem::create_directories(m_folder);
    }

    void append(const std::filesystem::path& file, const std::string& text)
    {
        std::ofstream out(file, std::ios::app);
        out << text;
    }
    // How many times the handler ran during one turn of the loop.
    int changesSeen()
    {
        m_changes = 0;
        NSRunLoop::main().runPending();
        return m_changes;
    }

    std::filesystem::path m_folder;
    int m_changes { 0 };
};

}

TEST_F(FileWatchTest, CreatingAppendingAndReplacingTheFileAreReported)
{
    auto log = m_folder / "velloq.log";
    FileWatch watch(log, [&] { ++m_changes; });
    ASSERT_TRUE(watch.isWatching());
    EXPECT_EQ(changesSeen(), 0);

    append(log, "first\n");
    EXPECT_EQ(changesSeen(), 1) << "created, written and closed: one report";
    append(log, "second\n");
    EXPECT_EQ(changesSeen(), 1);
    ASSERT_TRUE(writeFileAtomically(log, "replaced\n"));
    EXPECT_EQ(changesSeen(), 1);
}

TEST_F(FileWatchTest, OtherFilesOfTheFolderAreNotReported)
{
    FileWatch watch(m_folder / "velloq.log", [&] { ++m_changes; });
    append(m_folder / "other.log", "noise\n");
    EXPECT_EQ(changesSeen(), 0);
}

TEST_F(FileWatchTest, AWatchOfAMissingFolderReportsNothing)
{
    FileWatch watch(m_root / "no-such-folder" / "velloq.log", [&] { ++m_changes; });
    EXPECT_FALSE(watch.isWatching());
}
