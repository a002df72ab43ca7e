#include "platform/session/RouteSettingsWatch.h"

#include <gtest/gtest.h>

TEST(RouteSettingsWatchTest, OnlyPipeWireBeforeTheFixNeedsTheWatchAndOnlyTheEventRoleKeyCounts)
{
    EXPECT_TRUE(RouteSettingsWatch::isNeededFor("PulseAudio (on PipeWire 0.3.65)"));
    EXPECT_TRUE(RouteSettingsWatch::isNeededFor("PulseAudio (on PipeWire 1.1.80)"));
    EXPECT_FALSE(RouteSettingsWatch::isNeededFor("PulseAudio (on PipeWire 1.1.81)"));
    EXPECT_FALSE(RouteSettingsWatch::isNeededFor("PulseAudio (on PipeWire 1.2.7)"));
    EXPECT_FALSE(RouteSettingsWatch::isNeededFor("pulseaudio")) << "PulseAudio itself reports the entry";
    EXPECT_FALSE(RouteSettingsWatch::isNeededFor("PulseAudio (on PipeWire )"));

    EXPECT_TRUE(RouteSettingsWatch::isEventRoleUpdate("update: id:0 key:'restore.stream.Output/Audio.media.role:Notification' "
                                                      "value:'{ \"mute\": false, \"volumes\": [ 0.095923 ] }' type:'Spa:String:JSON'"));
    EXPECT_FALSE(RouteSettingsWatch::isEventRoleUpdate("update: id:0 key:'restore.stream.Output/Audio.media.role:Music' value:'{}'"));
    EXPECT_FALSE(RouteSettingsWatch::isEventRoleUpdate("Found \"route-settings\" metadata 36"));
}
