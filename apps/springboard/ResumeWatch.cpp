#include "apps/springboard/ResumeWatch.h"

#include "platform/foundation/NSLog.h"
#include "platform/phonebus/PhoneBusConnection.h"
#include "platform/session/NetworkManagerWatch.h"

namespace {

constexpr const char* kPrepareForSleep = "type='signal',sender='org.freedesktop.login1',path='/org/freedesktop/login1',"
                                         "interface='org.freedesktop.login1.Manager',member='PrepareForSleep'";

}

std::unique_ptr<ResumeWatch> ResumeWatch::start(Handler wokeUp)
{
    std::shared_ptr<PhoneBusConnection> bus;
    try {
        bus = PhoneBusConnection::open(NetworkManagerWatch::systemBusAddress());
    } catch (const std::exception& error) {
        NSLog("SpringBoard: no system bus (%s); a wake-up from a suspend is noticed by the timers alone", error.what());
    }
    return start(std::move(bus), std::move(wokeUp));
}

std::unique_ptr<ResumeWatch> ResumeWatch::start(std::shared_ptr<PhoneBusConnection> systemBus, Handler wokeUp)
{
    return std::unique_ptr<ResumeWatch>(new ResumeWatch(std::move(systemBus), std::move(wokeUp)));
}

ResumeWatch::ResumeWatch(std::shared_ptr<PhoneBusConnection> bus, Handler handler)
    : m_bus(std::move(bus))
    , m_handler(std::move(handler))
{
    if (!m_bus || !m_bus->isOpen())
        return;
    m_match = BusCall::match(*m_bus, kPrepareForSleep, [this](sd_bus_message* signal) { prepareForSleep(signal); });
    if (!m_match)
        NSLog("SpringBoard: cannot watch logind's PrepareForSleep; a wake-up from a suspend is noticed by the timers alone");
}

ResumeWatch::~ResumeWatch() = default;

void ResumeWatch::prepareForSleep(sd_bus_message* signal)
{
    int goingToSleep = 0;
    if (sd_bus_message_read(signal, "b", &goingToSleep) < 0 || goingToSleep)
        return;
    NSLog("SpringBoard: the machine woke up; checking what became due while it slept");
    if (m_handler)
        m_handler();
}
