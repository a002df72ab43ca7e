#pragma once

// Test support for the code that acts on the simulated phone (include in tests only).

#include "platform/device/Device.h"
#include "platform/machinery/DeviceRoot.h"
#include "platform/foundation/NSRunLoop.h"
#include "platform/testsupport/DeviceFixture.h"

#include <filesystem>
#include <string>
#include <vector>

#ifndef HUSHLINE_LIBSTATUSBAR_PATH
#error "HUSHLINE_LIBSTATUSBAR_PATH names the built libstatusbar stand-in"
#endif

// A DeviceFixture whose phone starts with an empty main run loop and a clean change log, with
// helpers to read what the phone did on the virtual clock.
class PhoneFixture : public DeviceFixture {
protected:
    void SetUp() override
    {
        DeviceFixture::SetUp();
        NSRunLoop::main().reset();
        // The phone is on before the test acts: it hears its notifications from the start.
        Device::current();
        m_start = m_clock->now();
    }

    void TearDown() override
    {
        NSRunLoop::main().reset();
        DeviceFixture::TearDown();
    }

    static Device& phone() { return Device::current(); }
    static NSRunLoop& loop() { return NSRunLoop::main(); }

    // Seconds since the test began (or since markTime()).
    double secondsSinceStart(const NSDate& date) const { return date.timeIntervalSince1970() - m_start; }
    double elapsed() const { return m_clock->now() - m_start; }
    void markTime() { m_start = m_clock->now(); }

    // When each change of the kind happened, in seconds since the start.
    std::vector<double> timesOf(DeviceChange what) const
    {
        std::vector<double> times;
        for (const auto& change : Device::current().changesOf(what))
            times.push_back(secondsSinceStart(change.date));
        return times;
    }

    // Puts the built libstatusbar where the phone keeps it.
    void installLibStatusbar() const
    {
        auto target = DeviceRoot::resolve("/Library/MobileSubstrate/DynamicLibraries/libstatusbar.dylib");
        std::filesystem::create_directories(target.parent_path());
        std::filesystem::copy_file(HUSHLINE_LIBSTATUSBAR_PATH, target, std::filesystem::copy_options::overwrite_existing);
    }

    NSTimeInterval m_start { 0 };
};
