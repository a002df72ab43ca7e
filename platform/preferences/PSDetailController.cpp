#include "platform/preferences/PSDetailController.h"

#include "platform/foundation/ObjCRuntime.h"
#include "platform/preferences/PSEditingPane.h"
#include "platform/preferences/PSSpecifier.h"

void PSDetailController::viewDidLoad()
{
    PSViewController::viewDidLoad();
    if (!m_pane && specifier())
        loadPane();
    if (m_pane)
        m_pane->layoutSubviews();
}

void PSDetailController::loadPane()
{
    auto paneClass = NSClassFromString(specifier()->editPaneClass());
    m_pane = paneClass ? std::dynamic_pointer_cast<PSEditingPane>(paneClass->alloc()) : nullptr;
    if (!m_pane)
        return;
    m_pane->initWithFrame(viewFrame());
    m_pane->setDelegate(std::static_pointer_cast<PSViewController>(shared_from_this()));
    m_pane->setPreferenceSpecifier(specifier());
    m_pane->setPreferenceValue(specifier()->performGetter());
}

void PSDetailController::viewWillDisappear(bool animated)
{
    saveChanges();
    PSViewController::viewWillDisappear(animated);
}

void PSDetailController::saveChanges()
{
    if (m_pane && specifier())
        specifier()->performSetter(m_pane->preferenceValue());
}
