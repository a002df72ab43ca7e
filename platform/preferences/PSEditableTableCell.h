#pragma once

#include "platform/preferences/PSTableCell.h"

#include <string>

enum class UIReturnKeyType : long { Default = 0, Done = 9 };

// A text-field row: "placeholder", "autoCaps" and "noAutoCorrect" come from the row's properties.
class PSEditableTableCell : public PSTableCell {
public:
    void refreshCellContentsWithSpecifier(const std::shared_ptr<PSSpecifier>&) override;

    const std::string& placeholder() const { return m_placeholder; }
    const std::string& autocapitalization() const { return m_autoCaps; }
    bool autocorrection() const { return m_autocorrection; }
    UIReturnKeyType returnKeyType() const { return m_returnKey; }
    void setReturnKeyType(UIReturnKeyType type) { m_returnKey = type; }
    bool isEditing() const { return m_editing; }

    // The user starts typing in the field.
    virtual void textFieldDidBeginEditing() { m_editing = true; }
    // The user presses the keyboard's return key; true when that ends the editing.
    virtual bool textFieldShouldReturn() { return false; }
    void endEditing() { m_editing = false; }

private:
    std::string m_placeholder;
    std::string m_autoCaps;
    bool m_autocorrection { true };
    UIReturnKeyType m_returnKey { UIReturnKeyType::Default };
    bool m_editing { false };
};
