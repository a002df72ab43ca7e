#pragma once

#include "platform/preferences/PSViewController.h"
#include "platform/uikit/CGGeometry.h"

#include <memory>

class PSEditingPane;

// A detail screen that hosts one editing pane. By default (loadPane) the pane is of the class
// the opening row names ("edit" of the row), given the row and the row's current value, and
// saved back through the row's setter when the screen goes; a subclass may make its own pane.
class PSDetailController : public PSViewController {
public:
    void viewDidLoad() override;
    void viewWillDisappear(bool animated) override;

    // Makes the pane when the view loads.
    virtual void loadPane();
    // The frame of the screen's view below the navigation bar (a phone's portrait screen).
    CGRect viewFrame() const { return CGRect { 0, 0, 375, 603 }; }

    const std::shared_ptr<PSEditingPane>& pane() const { return m_pane; }
    void setPane(std::shared_ptr<PSEditingPane> pane) { m_pane = std::move(pane); }
    // The pane's value goes back to the row (saveChanges).
    virtual void saveChanges();

private:
    std::shared_ptr<PSEditingPane> m_pane;
};
