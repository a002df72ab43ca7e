#include "platform/session/RemoteValue.h"
#include "platform/session/SameVolume.h"

#include <gtest/gtest.h>
#include <ostream>
#include <string>
#include <vector>

namespace {

// One thing that happens to a remote value. Writes are numbered 1, 2, ... in the order they
// begin; `told` of a case lists each writer told, in order: "2+" landed, "2-" did not.
struct Step {
    enum class Kind { Read, Write, WriteAnyway, Arrive, Refuse, Landed, Forget, EndLanded, Gone } kind;
    uint32_t value { 0 };
    // Arrive: whether it is the owner's change.
    bool owners { false };
};

Step read(uint32_t value) { return { Step::Kind::Read, value }; }
Step write(uint32_t value) { return { Step::Kind::Write, value }; }
Step writeAnyway(uint32_t value) { return { Step::Kind::WriteAnyway, value }; }
Step ours(uint32_t value) { return { Step::Kind::Arrive, value, false }; }
Step owners(uint32_t value) { return { Step::Kind::Arrive, value, true }; }
Step refuse(uint32_t write) { return { Step::Kind::Refuse, write }; }
Step landed(uint32_t write) { return { Step::Kind::Landed, write }; }
Step forget() { return { Step::Kind::Forget }; }
Step endLanded() { return { Step::Kind::EndLanded }; }
Step gone() { return { Step::Kind::Gone }; }

struct Case {
    const char* name;
    bool volumes;
    std::vector<Step> steps;
    std::string told;
    std::optional<uint32_t> value;
};

void PrintTo(const Case& test, std::ostream* out) { *out << test.name; }

class Script {
public:
    explicit Script(bool volumes)
        : m_value(volumes ? RemoteValue<uint32_t>::Same(sameVolume) : RemoteValue<uint32_t>::Same(std::equal_to<uint32_t>()))
    {
        m_value.setPresent(true);
    }

    void step(const Step& step, size_t index)
    {
        switch (step.kind) {
        case Step::Kind::Read:
            return m_value.read(step.value);
        case Step::Kind::Write:
            return began(m_value.beginWrite(step.value, writer()));
        case Step::Kind::WriteAnyway:
            return began(m_value.beginWriteAnyway(step.value, writer()));
        case Step::Kind::Arrive:
            EXPECT_EQ(m_value.arrived(step.value), step.owners) << "step " << index << ": " << step.value;
            return;
        case Step::Kind::Refuse:
            return m_value.refused(m_writes.at(step.value - 1));
        case Step::Kind::Landed:
            return m_value.finish(m_writes.at(step.value - 1), true);
        case Step::Kind::Forget:
            return m_value.forgetWrites();
        case Step::Kind::EndLanded:
            return m_value.endWrites(true);
        case Step::Kind::Gone:
            return m_value.setPresent(false);
        }
    }

    const std::string& told() const { return m_told; }
    const std::optional<uint32_t>& value() const { return m_value.value(); }

private:
    RemoteValue<uint32_t>::Done writer()
    {
        return [this, number = m_writes.size() + 1](bool landed) { m_told += std::to_string(number) + (landed ? "+" : "-"); };
    }
    // A write answered at once keeps its number: the numbers follow the steps.
    void began(RemoteValue<uint32_t>::Write write) { m_writes.push_back(write); }

    RemoteValue<uint32_t> m_value;
    std::vector<RemoteValue<uint32_t>::Write> m_writes;
    std::string m_told;
};

const Case kCases[] = {
    { "OurEchoIsOursAnotherValueTheOwners", false, { read(1), write(2), ours(2), owners(3) }, "1+", 3 },
    { "TheSameValueToldAgainIsNoChange", false, { read(1), ours(1), write(2), ours(2), ours(2) }, "1+", 2 },
    { "AValueToldBeforeAnyReadIsAChange", false, { owners(5) }, "", 5 },
    { "TheOwnersValueArrivesWhileOurWriteIsOnItsWay", false, { read(1), write(2), owners(3), ours(2) }, "1+", 2 },
    { "TheSecondWritesEchoFirstEndsBothAndTheFirstsIsThenTheOwners", false, { read(1), write(2), write(3), ours(3), owners(2) },
        "1+2+", 2 },
    { "AnEchoLeavesTheWritesAfterItPending", false, { read(1), write(2), write(3), ours(2), ours(3) }, "1+2+", 3 },
    { "AVolumeReadBackAUnitOffIsOurWriteKeptAsWritten", true, { read(65536), write(4096), ours(4095), ours(4095) }, "1+", 4096 },
    { "AVolumeFarOffIsTheOwnersAndOurWriteStaysPending", true, { read(65536), write(4096), owners(4000) }, "", 4000 },
    { "AVolumeAUnitOffWhatIsHeldIsNoChange", true, { read(4096), ours(4095), ours(4127), owners(4129) }, "", 4129 },
    { "ExactValuesHaveNoTolerance", false, { read(65536), write(4096), owners(4095) }, "", 4095 },
    { "AWriteOfWhatWillBeHeldIsDoneAtOnce", true, { read(4096), write(4095), write(8192), write(8190), write(4096) }, "1+3+", 4096 },
    { "AWriteAnywayGoesOutAtTheValueHeld", false, { read(2), writeAnyway(2), ours(2) }, "1+", 2 },
    { "ARefusedWriteHasNoEcho", false, { read(1), write(2), refuse(1), owners(2), refuse(1) }, "1-", 2 },
    { "TheWritersWordEndsOnlyItsWrite", false, { read(1), write(2), write(3), landed(2), ours(2) }, "2+1+", 2 },
    { "ARestartForgetsEveryWriteOnItsWay", false, { read(1), write(2), write(3), forget(), read(1), owners(3) }, "1-2-", 3 },
    { "WritesToWhatTheValueNoLongerFollowsEndAsLanded", true, { read(100), write(5000), endLanded(), read(9000) }, "1+", 9000 },
    { "WithoutTheServiceAWriteFailsAtOnce", false, { gone(), write(2), writeAnyway(3), owners(2) }, "1-2-", 2 },
    { "LosingTheServiceTellsItsWritesTheyFailed", false, { read(1), write(2), gone(), write(2), ours(1) }, "1-2-", 1 },
};

class RemoteValueCases : public testing::TestWithParam<Case> { };

}

TEST_P(RemoteValueCases, TracksEchoesAndTheOwnersChanges)
{
    const Case& test = GetParam();
    Script run(test.volumes);
    for (size_t i = 0; i < test.steps.size(); ++i)
        run.step(test.steps[i], i);
    EXPECT_EQ(run.told(), test.told);
    EXPECT_EQ(run.value(), test.value);
}

INSTANTIATE_TEST_SUITE_P(RemoteValue, RemoteValueCases, testing::ValuesIn(kCases), [](const auto& info) { return std::string(info.param.name); });

TEST(RemoteValue, AWriterToldMayBeginTheNextWrite)
{
    RemoteValue<int> level;
    level.setPresent(true);
    level.read(1);
    std::vector<std::string> told;
    RemoteValue<int>::Write again = 0;
    level.beginWrite(2, [&](bool landed) {
        told.push_back(landed ? "2 landed" : "2 failed");
        again = level.beginWrite(3, [&](bool landed) { told.push_back(landed ? "3 landed" : "3 failed"); });
    });
    level.forgetWrites();
    EXPECT_EQ(told, std::vector<std::string> { "2 failed" }) << "the write begun while the others ended is not among them";
    EXPECT_TRUE(level.isPending(again));
    EXPECT_FALSE(level.arrived(3));
    EXPECT_EQ(told, (std::vector<std::string> { "2 failed", "3 landed" }));
}

TEST(RemoteValue, TheValueIsInPlaceBeforeTheWriterIsTold)
{
    RemoteValue<bool> shown;
    shown.setPresent(true);
    shown.read(true);
    std::optional<bool> seen;
    shown.beginWrite(false, [&](bool) { seen = shown.value(); });
    shown.arrived(false);
    EXPECT_EQ(seen, false);
}
