#pragma once

#include "preferences/HLPickerListController.h"

#include <string>
#include <vector>

// The event-status picker: which attendance lets an event trigger the profile, one of "All",
// "Accepted", "Tentative" and "Declined/Cancelled", the chosen one with a checkmark.
class HushlineEventStatusController : public HLPickerListController {
public:
    const Specifiers& specifiers() override;
    std::shared_ptr<PSTableCell> tableViewCellForRow(size_t index) override;
    void tableViewDidSelectRow(size_t index) override;

    // The four labels through the string table, in the order of their values.
    static std::vector<std::string> statusLabels();
};
