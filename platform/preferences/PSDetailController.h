#pragma once

#include "platform/preferences/PSViewController.h"

#include <memory>

class PSEditingPane;

// A detail screen that hosts one editing pane: the pane of the class the opening row names
// ("edit" of the row), given the row and the row's current value, and saved back through the
// row's setter when the screen goes.
class PSDetailController : public PSViewController {
public:
    void viewDidLoad() override;
    void viewWillDisappear(bool animated) override;

    const std::shared_ptr<PSEditingPane>& pane() const { return m_pane; }
    void setPane(std::shared_ptr<PSEditingPane> pane) { m_pane = std::move(pane); }
    // The pane's value goes back to the row (saveChanges).
    void saveChanges();

private:
    std::shared_ptr<PSEditingPane> m_pane;
};
