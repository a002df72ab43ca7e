#include "platform/appsupport/rocketbootstrap.h"

#include "platform/appsupport/CPDistributedMessagingCenter.h"

void rocketbootstrap_distributedmessagingcenter_apply(const std::shared_ptr<CPDistributedMessagingCenter>& center)
{
    if (center)
        center->openToOtherProcesses();
}
