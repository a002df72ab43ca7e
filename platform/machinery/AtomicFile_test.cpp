#include "platform/machinery/AtomicFile.h"

#include "platform/testsupport/DeviceFixture.h"

#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <set>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

class AtomicFileTest : public DeviceFixture {
protected:
    void SetUp() override
    {
        DeviceFixture::SetUp();
        m_folder = m_root / "var/mobile/Library/Preferences";
        m_target = m_folder / "com.velloq.hushline.plist";
    }

    std::set<std::string> names() const
    {
        std::set<std::string> result;
        for (const auto& entry : std::filesystem::directory_iterator(m_folder))
            result.insert(entry.path().filename().string());
        return result;
    }

    void plant(const std::string& name, const std::string& content = "half a plist") const
    {
        std::ofstream(m_folder / name) << content;
    }

    // Another process that holds `name` locked, as a writer does while it writes, until it is
    // killed. Returns its id once the lock is taken.
    pid_t holdLocked(const std::string& name) const
    {
        int ready[2];
        EXPECT_EQ(pipe(ready), 0);
        std::string path = (m_folder / name).string();
        pid_t child = fork();
        if (child == 0) {
            int fd = open(path.c_str(), O_RDWR);
            char ok = (fd >= 0 && flock(fd, LOCK_EX) == 0) ? 1 : 0;
            (void)!write(ready[1], &ok, 1);
            for (;;)
                pause();
        }
        close(ready[1]);
        char ok = 0;
        EXPECT_EQ(read(ready[0], &ok, 1), 1);
        EXPECT_EQ(ok, 1);
        close(ready[0]);
        return child;
    }

    static void kill(pid_t child)
    {
        ::kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
    }

    std::filesystem::path m_folder;
    std::filesystem::path m_target;
};

std::string content(const std::filesystem::path& path)
{
    std::string bytes;
    EXPECT_TRUE(readFile(path, bytes));
    return bytes;
}

}

TEST_F(AtomicFileTest, TemporaryFilesOfKilledWritersAreRemovedByTheNextWrite)
{
    ASSERT_TRUE(writeFileAtomically(m_target, "first"));
    // What two writes killed before their rename leave behind.
    plant(".com.velloq.hushline.plist.a1B2c3");
    plant(".com.velloq.hushline.plist.Zz9yY8");
    ASSERT_TRUE(writeFileAtomically(m_target, "second"));
    EXPECT_EQ(names(), std::set<std::string> { "com.velloq.hushline.plist" });
    EXPECT_EQ(content(m_target), "second");
}

TEST_F(AtomicFileTest, FilesThatAreNotThisTargetsTemporariesStay)
{
    // Another target's temporary, names of other lengths, the target's name itself with a
    // dot, and a link: none is a temporary of this target.
    const std::set<std::string> others {
        ".com.velloq.hushline.profiles.plist.a1B2c3",
        ".com.velloq.hushline.plist.a1B2c",
        ".com.velloq.hushline.plist.a1B2c3d",
        "com.velloq.hushline.plist.a1B2c3",
        ".com.velloq.hushline.plist.corrupt",
    };
    for (const auto& name : others)
        plant(name);
    ASSERT_TRUE(writeFileAtomically(m_target, "new"));
    auto expected = others;
    expected.insert("com.velloq.hushline.plist");
    EXPECT_EQ(names(), expected);
}

TEST_F(AtomicFileTest, ATemporaryThatALivingWriterHoldsStaysUntilThatWriterDies)
{
    const std::string inFlight = ".com.velloq.hushline.plist.Writer";
    plant(inFlight, "being written");
    pid_t writer = holdLocked(inFlight);

    ASSERT_TRUE(writeFileAtomically(m_target, "mine"));
    EXPECT_TRUE(names().contains(inFlight)) << "the other writer's rename would fail";
    EXPECT_EQ(content(m_folder / inFlight), "being written");

    kill(writer);
    ASSERT_TRUE(writeFileAtomically(m_target, "mine again"));
    EXPECT_EQ(names(), std::set<std::string> { "com.velloq.hushline.plist" });
    EXPECT_EQ(content(m_target), "mine again");
}

TEST_F(AtomicFileTest, TwoProcessesWritingOneFileNeverTakeEachOthersTemporaryForAbandoned)
{
    // Each write of one process clears the folder while the other may be anywhere in its own.
    constexpr int kWrites = 200;
    auto writeMany = [this](char mark) {
        pid_t child = fork();
        if (child == 0) {
            int failed = 0;
            for (int i = 0; i < kWrites; ++i)
                failed += writeFileAtomically(m_target, std::string(4096, mark)) ? 0 : 1;
            _exit(failed > 0 ? 1 : 0);
        }
        return child;
    };
    pid_t first = writeMany('a');
    pid_t second = writeMany('b');
    for (pid_t child : { first, second }) {
        int status = -1;
        waitpid(child, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "a write failed";
    }
    auto last = content(m_target);
    EXPECT_TRUE(last == std::string(4096, 'a') || last == std::string(4096, 'b'));
    EXPECT_EQ(names(), std::set<std::string> { "com.velloq.hushline.plist" });
}

TEST_F(AtomicFileTest, ALinkPlantedAtATemporarysNameIsNotFollowed)
{
    std::ofstream(m_root / "elsewhere") << "keep me";
    std::filesystem::create_symlink(m_root / "elsewhere", m_folder / ".com.velloq.hushline.plist.LinkXX");
    ASSERT_TRUE(writeFileAtomically(m_target, "new"));
    EXPECT_EQ(content(m_root / "elsewhere"), "keep me");
    EXPECT_EQ(content(m_target), "new");
}
