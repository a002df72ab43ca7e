#include "platform/appsupport/CPDistributedMessagingCenter.h"

#include "platform/appsupport/rocketbootstrap.h"
#include "platform/machinery/AtomicFile.h"
#include "platform/machinery/PhoneBus.h"
#include "platform/phonebus/PhoneBusConnection.h"
#include "platform/foundation/PropertyList.h"
#include "platform/testsupport/PeerProcess.h"
#include "platform/testsupport/PhoneBusFixture.h"

#include <systemd/sd-bus.h>

namespace {

constexpr const char* kCenter = "com.velloq.hushline";
constexpr const char* kMessage = "com.velloq.HushlineProfileUpdateMessageKey";

struct Receiver : NSObject {
    std::vector<std::pair<std::string, PlistDictionary>> messages;
    void handle(const std::string& name, const PlistDictionary& userInfo) { messages.emplace_back(name, userInfo); }
};

// What a raw D-Bus caller got back.
struct Reply {
    bool done { false };
    std::string error;
    std::string errorMessage;
    std::string text;

    static int arrived(sd_bus_message* message, void* userdata, sd_bus_error*)
    {
        auto* reply = static_cast<Reply*>(userdata);
        reply->done = true;
        if (const sd_bus_error* error = sd_bus_message_get_error(message)) {
            reply->error = error->name ? error->name : "";
            reply->errorMessage = error->message ? error->message : "";
        } else if (sd_bus_message_has_signature(message, "s")) {
            const char* text = nullptr;
            sd_bus_message_read(message, "s", &text);
            reply->text = text;
        }
        return 0;
    }
};

class MessagingCenterTest : public PhoneBusFixture {
protected:
    void TearDown() override
    {
        if (m_server)
            m_server->stopServer();
        m_server.reset();
        m_caller.reset();
        PhoneBusFixture::TearDown();
    }

    // The server as the home screen sets it up at launch: opened, running, one message name.
    void startServer(bool open = true)
    {
        m_server = CPDistributedMessagingCenter::centerNamed(kCenter);
        if (open)
            rocketbootstrap_distributedmessagingcenter_apply(m_server);
        m_server->runServerOnCurrentThread();
        m_server->registerForMessageName(kMessage, m_receiver, &Receiver::handle);
    }

    std::string writeUserInfo(const PlistDictionary& userInfo)
    {
        auto path = m_root / "tmp/userInfo.plist";
        EXPECT_TRUE(PropertyList::write(path, PlistValue(userInfo), PropertyList::Format::Binary));
        return path.string();
    }

    // Sends from another process of the phone; true when it says it sent.
    bool sendFromPeer(const std::string& message, const std::string& plistFile = "")
    {
        std::vector<std::string> arguments { "send", kCenter, message };
        if (!plistFile.empty())
            arguments.push_back(plistFile);
        PeerProcess peer(peerProgram(), arguments);
        EXPECT_TRUE(peer.waitForExit());
        return peer.exitStatus() == 0 && peer.hasLine("sent");
    }

    // A call straight on the bus from a connection of its own, as any D-Bus client can make it.
    sd_bus_message* newCall(const char* interface, const char* member)
    {
        if (!m_caller)
            m_caller = PhoneBusConnection::open(m_bus->address());
        sd_bus_message* call = nullptr;
        EXPECT_GE(sd_bus_message_new_method_call(m_caller->bus(), &call, kCenter, CPDistributedMessagingCenter::objectPath(kCenter).c_str(),
                      interface, member),
            0);
        return call;
    }
    void callAndWait(sd_bus_message* call, Reply& reply)
    {
        EXPECT_GE(sd_bus_call_async(m_caller->bus(), nullptr, call, &Reply::arrived, &reply, 5000000), 0);
        sd_bus_message_unref(call);
        m_caller->updateWatch();
        EXPECT_TRUE(waitFor([&] { return reply.done; }));
    }

    std::shared_ptr<Receiver> m_receiver = std::make_shared<Receiver>();
    std::shared_ptr<CPDistributedMessagingCenter> m_server;
    std::shared_ptr<PhoneBusConnection> m_caller;
};

}

TEST_F(MessagingCenterTest, EveryPropertyListTypeArrivesIntactFromAnotherProcess)
{
    startServer();
    PlistDictionary changed {
        { "title", "Réunion \"Q4\" – 会议" },
        { "enabled", true },
        { "silent", false },
        { "ringerVolume", 0.25 },
        { "identifier", int64_t(-9007199254740993) },
        { "huge", int64_t(INT64_MAX) },
        { "startDate", NSDate(1765180800.5) },
        { "token", PlistData { 0, 1, 2, 0xff, 0 } },
        { "empty", PlistData {} },
        { "calendars", PlistArray { "Work", int64_t(3), PlistArray {}, PlistDictionary { { "nested", true } } } },
        { "nothing", PlistDictionary {} },
        { "", "an empty key" },
    };
    PlistDictionary userInfo { { "ProfileIdentifier", int64_t(1765180800) }, { "ChangedData", changed } };

    EXPECT_TRUE(sendFromPeer(kMessage, writeUserInfo(userInfo)));
    ASSERT_TRUE(waitFor([&] { return !m_receiver->messages.empty(); }));
    ASSERT_EQ(m_receiver->messages.size(), 1u);
    EXPECT_EQ(m_receiver->messages[0].first, kMessage);
    EXPECT_EQ(m_receiver->messages[0].second, userInfo);
}

TEST_F(MessagingCenterTest, AMessageNobodyRegisteredForIsIgnored)
{
    startServer();
    EXPECT_TRUE(sendFromPeer("com.velloq.NoSuchMessage"));
    EXPECT_TRUE(sendFromPeer(kMessage));
    ASSERT_TRUE(waitFor([&] { return !m_receiver->messages.empty(); }));
    ASSERT_EQ(m_receiver->messages.size(), 1u);
    EXPECT_EQ(m_receiver->messages[0].first, kMessage);
    EXPECT_EQ(logCount("no handler for the message \"com.velloq.NoSuchMessage\"; ignored"), 1u);
}

TEST_F(MessagingCenterTest, OtherProcessesReachTheServerOnlyOnceRocketbootstrapOpensIt)
{
    startServer(false);
    EXPECT_FALSE(sendFromPeer(kMessage)) << "no other process can look the server up";

    rocketbootstrap_distributedmessagingcenter_apply(m_server);
    // The running server keeps itself: the plug-in need not hold the centre.
    std::weak_ptr<CPDistributedMessagingCenter> server = m_server;
    m_server.reset();
    EXPECT_TRUE(sendFromPeer(kMessage));
    ASSERT_TRUE(waitFor([&] { return m_receiver->messages.size() == 1; }));

    server.lock()->stopServer();
    EXPECT_TRUE(server.expired());
    EXPECT_FALSE(sendFromPeer(kMessage));
    EXPECT_EQ(m_receiver->messages.size(), 1u);
}

TEST_F(MessagingCenterTest, MalformedCallsAreAnsweredWithAnErrorAndHandleNothing)
{
    startServer();
    const char* interface = CPDistributedMessagingCenter::kInterface;

    Reply noUserInfo;
    sd_bus_message* call = newCall(interface, "SendMessage");
    sd_bus_message_append(call, "s", kMessage);
    callAndWait(call, noUserInfo);
    EXPECT_EQ(noUserInfo.error, SD_BUS_ERROR_INVALID_ARGS);

    Reply foreignType;
    call = newCall(interface, "SendMessage");
    sd_bus_message_append(call, "sa{sv}", kMessage, 2, "ProfileIdentifier", "x", int64_t(1), "count", "u", 7u);
    callAndWait(call, foreignType);
    EXPECT_EQ(foreignType.error, SD_BUS_ERROR_INVALID_ARGS);
    EXPECT_NE(foreignType.errorMessage.find("userInfo[\"count\"] has the D-Bus type 'u'"), std::string::npos) << foreignType.errorMessage;

    Reply deepForeignType;
    call = newCall(interface, "SendMessage");
    sd_bus_message_append(call, "sa{sv}", kMessage, 1, "ChangedData", "a{sv}", 1, "window", "(ii)", 9, 17);
    callAndWait(call, deepForeignType);
    EXPECT_NE(deepForeignType.errorMessage.find("userInfo[\"ChangedData\"][\"window\"] has the D-Bus type '(ii)'"), std::string::npos)
        << deepForeignType.errorMessage;

    Reply twice;
    call = newCall(interface, "SendMessage");
    sd_bus_message_append(call, "sa{sv}", kMessage, 2, "ProfileIdentifier", "x", int64_t(1), "ProfileIdentifier", "x", int64_t(2));
    callAndWait(call, twice);
    EXPECT_EQ(twice.error, SD_BUS_ERROR_INVALID_ARGS);
    EXPECT_NE(twice.errorMessage.find("occurs twice"), std::string::npos) << twice.errorMessage;

    Reply unknownMethod;
    callAndWait(newCall(interface, "Frobnicate"), unknownMethod);
    EXPECT_EQ(unknownMethod.error, SD_BUS_ERROR_UNKNOWN_METHOD);

    EXPECT_TRUE(m_receiver->messages.empty());
    EXPECT_EQ(logCount("a malformed message from"), 4u);

    Reply wellFormed;
    call = newCall(interface, "SendMessage");
    sd_bus_message_append(call, "sa{sv}", kMessage, 1, "ProfileIdentifier", "x", int64_t(5));
    callAndWait(call, wellFormed);
    EXPECT_EQ(wellFormed.error, "") << "the server still serves";
    ASSERT_EQ(m_receiver->messages.size(), 1u);
    EXPECT_EQ(m_receiver->messages[0].second, (PlistDictionary { { "ProfileIdentifier", int64_t(5) } }));
}

TEST_F(MessagingCenterTest, IntrospectionServesTheInterfaceFile)
{
    startServer();
    std::string documented;
    ASSERT_TRUE(readFile(sourcePath("dbus/com.velloq.hushline.MessagingCenter.xml"), documented));
    Reply introspection;
    callAndWait(newCall("org.freedesktop.DBus.Introspectable", "Introspect"), introspection);
    EXPECT_EQ(introspection.error, "");
    EXPECT_EQ(introspection.text, documented);
    EXPECT_NE(documented.find("<method name=\"SendMessage\">"), std::string::npos);
}

TEST_F(MessagingCenterTest, AUserInfoThatNoPropertyListCanHoldIsNotSent)
{
    startServer();
    auto client = CPDistributedMessagingCenter::centerNamed(kCenter);
    EXPECT_FALSE(client->sendMessageName(kMessage, { { "ChangedData", PlistDictionary { { "missing", PlistValue() } } } }));
    EXPECT_EQ(logCount("userInfo[\"ChangedData\"][\"missing\"] has no value"), 1u);
    EXPECT_FALSE(client->sendMessageName(kMessage, { { "title", std::string("cut\0off", 7) } }));
    EXPECT_EQ(logCount("userInfo[\"title\"] holds a NUL character"), 1u);

    EXPECT_TRUE(client->sendMessageName(kMessage, { { "title", "whole" } })) << "a client in the server's own process is served too";
    ASSERT_TRUE(waitFor([&] { return !m_receiver->messages.empty(); }));
    ASSERT_EQ(m_receiver->messages.size(), 1u);
    EXPECT_EQ(m_receiver->messages[0].second, (PlistDictionary { { "title", "whole" } }));
}

TEST_F(MessagingCenterTest, WithoutAPhoneBusNothingRunsAndNothingIsSent)
{
    PhoneBusConnection::closeProcessConnection();
    m_connection.reset();
    m_bus.reset();
    auto center = CPDistributedMessagingCenter::centerNamed(kCenter);
    center->runServerOnCurrentThread();
    EXPECT_FALSE(center->isServerRunning());
    EXPECT_FALSE(center->sendMessageName(kMessage, {}));
    EXPECT_EQ(logCount("the phone's bus is not running"), 2u);
}
