#include "platform/session/evolution/EvolutionEventFile.h"

#include "platform/eventkit/ICalendarLoader.h"

#include <gtest/gtest.h>
#include <memory>

namespace {

struct ComponentFree {
    void operator()(icalcomponent* component) const { icalcomponent_free(component); }
};

std::unique_ptr<icalcomponent, ComponentFree> vevent(const std::string& lines)
{
    return std::unique_ptr<icalcomponent, ComponentFree>(icalparser_parse_string(("BEGIN:VEVENT\r\n" + lines + "END:VEVENT\r\n").c_str()));
}

const std::string kInvitation = "UID:invite\r\nDTSTART:20261208T090000Z\r\nDTEND:20261208T100000Z\r\nSTATUS:CONFIRMED\r\n"
                                "ORGANIZER:mailto:boss@example.com\r\n"
                                "ATTENDEE;PARTSTAT=ACCEPTED:mailto:boss@example.com\r\n"
                                "ATTENDEE;PARTSTAT=DECLINED:MAILTO:Me@Example.com\r\n";

int statusRead(const std::string& text)
{
    auto file = loadICalendar(text);
    return file->events.empty() ? -1 : file->events.front().status;
}

}

TEST(EvolutionEventFileTest, TheOwnersAnswerIsTheAttendeeWithOneOfHisAddressesOrTheOrganiser)
{
    auto event = vevent(kInvitation);
    EXPECT_EQ(EvolutionEventFile::participation(event.get(), { "me@example.com" }), "DECLINED") << "addresses compare without case";
    EXPECT_EQ(EvolutionEventFile::participation(event.get(), { "mailto:boss@example.com" }), "ACCEPTED");
    EXPECT_EQ(EvolutionEventFile::participation(event.get(), { "other@example.com" }), std::nullopt);
    EXPECT_EQ(EvolutionEventFile::participation(event.get(), {}), std::nullopt);

    auto unanswered = vevent("UID:x\r\nDTSTART:20261208T090000Z\r\nATTENDEE:mailto:me@example.com\r\n");
    EXPECT_EQ(EvolutionEventFile::participation(unanswered.get(), { "me@example.com" }), "NEEDS-ACTION");
    auto organised = vevent("UID:y\r\nDTSTART:20261208T090000Z\r\nORGANIZER:mailto:me@example.com\r\nATTENDEE:mailto:you@example.com\r\n");
    EXPECT_EQ(EvolutionEventFile::participation(organised.get(), { "me@example.com" }), "ACCEPTED");
}

TEST(EvolutionEventFileTest, TheFileIsTheStoredEventWithTheOwnersAnswerAsThePhoneReadsIt)
{
    auto event = vevent(kInvitation);
    std::string declined = EvolutionEventFile::text(event.get(), { "me@example.com" }, {});
    EXPECT_EQ(statusRead(declined), 3) << declined;
    EXPECT_NE(declined.find("ATTENDEE;PARTSTAT=DECLINED"), std::string::npos) << "the event stays as it was stored";
    EXPECT_EQ(statusRead(EvolutionEventFile::text(event.get(), {}, {})), 1) << "without a known owner the event's status";

    // A file made again after the owner's addresses changed says only the new answer.
    auto noted = vevent(kInvitation + kParticipationProperty + ":DECLINED\r\n");
    std::string accepted = EvolutionEventFile::text(noted.get(), { "boss@example.com" }, {});
    EXPECT_EQ(statusRead(accepted), 1);
    EXPECT_EQ(accepted.find(std::string(kParticipationProperty) + ":DECLINED"), std::string::npos);
    EXPECT_EQ(EvolutionEventFile::text(event.get(), { "me@example.com" }, {}), declined) << "the same event makes the same bytes";
}

TEST(EvolutionEventFileTest, ZonesThePhoneDoesNotKnowByNameComeWithTheirDefinition)
{
    auto event = vevent("UID:z\r\nDTSTART;TZID=Europe/Berlin:20261208T090000\r\nDTEND;TZID=/freeassociation.sourceforge.net/Europe/Berlin:"
                        "20261208T100000\r\nEXDATE;TZID=Office Time:20261215T090000\r\n");
    EXPECT_EQ(EvolutionEventFile::unknownZones(event.get()), std::vector<std::string> { "Office Time" });
    std::string office = "BEGIN:VTIMEZONE\r\nTZID:Office Time\r\nBEGIN:STANDARD\r\nDTSTART:19700101T000000\r\nTZOFFSETFROM:+0300\r\n"
                         "TZOFFSETTO:+0300\r\nEND:STANDARD\r\nEND:VTIMEZONE\r\n";
    std::vector<std::string> asked;
    std::string text = EvolutionEventFile::text(event.get(), {}, [&](const std::string& tzid) {
        asked.push_back(tzid);
        return std::optional<std::string>(office);
    });
    EXPECT_EQ(asked, std::vector<std::string> { "Office Time" });
    EXPECT_NE(text.find("TZID:Office Time"), std::string::npos);
    EXPECT_LT(text.find("BEGIN:VTIMEZONE"), text.find("BEGIN:VEVENT"));
}
