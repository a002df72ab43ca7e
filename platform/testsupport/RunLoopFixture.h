#pragma once

#include "platform/foundation/NSRunLoop.h"
#include "platform/testsupport/DeviceFixture.h"

// A fresh phone whose main run loop starts and ends empty: what a test queues or watches is
// dropped before the next test, whatever it left behind. m_start is the clock at the start.
class RunLoopFixture : public DeviceFixture {
protected:
    void SetUp() override
    {
        DeviceFixture::SetUp();
        NSRunLoop::main().reset();
        m_start = m_clock->now();
    }
    void TearDown() override
    {
        NSRunLoop::main().reset();
        DeviceFixture::TearDown();
    }

    NSTimeInterval m_start { 0 };
};
