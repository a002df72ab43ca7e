#include "preferences/HushlineBaseEditableSettingsController.h"

void HushlineBaseEditableSettingsController::viewDidLoad()
{
    PSEditableListController::viewDidLoad();
    m_chrome.viewDidLoad(*this);
}

void HushlineBaseEditableSettingsController::viewWillAppear(bool animated)
{
    PSEditableListController::viewWillAppear(animated);
    m_chrome.viewWillAppear(*this);
}

void HushlineBaseEditableSettingsController::viewWillDisappear(bool animated)
{
    m_chrome.viewWillDisappear(*this);
    PSEditableListController::viewWillDisappear(animated);
}

void HushlineBaseEditableSettingsController::__tesselTwitterAction()
{
    hl_tesselTwitterAction(*this);
}

void HushlineBaseEditableSettingsController::shareAction()
{
    hl_shareAction(*this);
}
