#pragma once

#include <memory>

class CPDistributedMessagingCenter;

// The messaging bootstrap library (librocketbootstrap). On the phone other processes cannot look
// a server in the home screen up without it; here it is the step that lets the centre's server
// claim its name on the phone's bus, before or after the server starts running. Until then the
// server runs but no other process can reach it. A client needs no such step.
void rocketbootstrap_distributedmessagingcenter_apply(const std::shared_ptr<CPDistributedMessagingCenter>& center);
