#include "platform/libvelloq/VQActivityAlertView.h"

std::shared_ptr<VQActivityAlertView> VQActivityAlertView::initWithTitle(std::string title, std::string message)
{
    return std::make_shared<VQActivityAlertView>(std::move(title), std::move(message));
}

VQActivityAlertView::VQActivityAlertView(std::string title, std::string message)
    : UIAlertView(std::move(title), std::move(message), {}, std::nullopt, {})
{
}
