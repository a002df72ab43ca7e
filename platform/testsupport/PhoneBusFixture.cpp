#include "platform/testsupport/PhoneBusFixture.h"

#include "platform/phonebus/BusDarwinNotifyCenter.h"
#include "platform/foundation/DarwinNotifyCenter.h"
#include "platform/foundation/NSRunLoop.h"
#include "platform/machinery/PhoneBus.h"
#include "platform/phonebus/PhoneBusConnection.h"

#ifndef HUSHLINE_PHONE_BUS_PEER
#error "HUSHLINE_PHONE_BUS_PEER names the peer program"
#endif
#ifndef HUSHLINE_SOURCE_DIR
#error "HUSHLINE_SOURCE_DIR names the source tree"
#endif

void PhoneBusFixture::SetUp()
{
    DeviceFixture::SetUp();
    NSRunLoop::main().reset();
    m_bus = PhoneBus::start(m_root);
    m_connection = PhoneBusConnection::process();
    ASSERT_TRUE(m_connection) << "the test process cannot connect to its phone's bus";
    DarwinNotifyCenter::install(std::make_shared<BusDarwinNotifyCenter>(m_connection));
}

void PhoneBusFixture::TearDown()
{
    DarwinNotifyCenter::install(std::make_shared<InProcessDarwinNotifyCenter>());
    m_connection.reset();
    PhoneBusConnection::closeProcessConnection();
    NSRunLoop::main().reset();
    m_bus.reset();
    DeviceFixture::TearDown();
}

bool PhoneBusFixture::waitFor(const std::function<bool()>& condition, double seconds)
{
    return NSRunLoop::main().runUntilCondition(condition, seconds);
}

std::string PhoneBusFixture::peerProgram()
{
    return HUSHLINE_PHONE_BUS_PEER;
}

std::filesystem::path PhoneBusFixture::sourcePath(const std::string& relative)
{
    return std::filesystem::path(HUSHLINE_SOURCE_DIR) / relative;
}
