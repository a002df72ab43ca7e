#pragma once

#include "platform/preferences/PSListController.h"

#include <memory>

class TKTonePickerViewController;

// The system's tone-settings screen: it shows the tone list of the tone picker it is given, one
// group per section of the picker, the selected tone with a checkmark, and hands a tap on a tone
// to the picker. The class exists under the name the system's version gives it: "ToneController"
// before 9, "PSUIToneController" from 9 to 12, "SHSToneController" from 13 on.
class ToneController : public PSListController {
public:
    virtual void setTonePickerViewController(std::shared_ptr<TKTonePickerViewController> picker);
    const std::shared_ptr<TKTonePickerViewController>& tonePickerViewController() const { return m_picker; }

    const Specifiers& specifiers() override;
    std::shared_ptr<PSTableCell> tableViewCellForRow(size_t index) override;
    void tableViewDidSelectRow(size_t index) override;

private:
    std::shared_ptr<TKTonePickerViewController> m_picker;
};
