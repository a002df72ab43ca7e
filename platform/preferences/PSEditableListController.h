#pragma once

#include "platform/preferences/PSListController.h"

#include <memory>

class UIBarButtonItem;

enum class UITableViewCellEditingStyle { None = 0, Delete = 1, Insert = 2 };

// A settings list whose rows may be deleted: each row has an editing style, the list is in
// editing mode or not, and a committed delete takes the row off the list.
class PSEditableListController : public PSListController {
public:
    void viewDidLoad() override;

    virtual UITableViewCellEditingStyle tableViewEditingStyleForRow(size_t index);
    // The user deletes the row (tableView:commitEditingStyle:forRowAtIndexPath:): the standard
    // commit removes it from the list with animation.
    virtual void tableViewCommitEditingStyle(UITableViewCellEditingStyle, size_t index);

    bool isEditing() const { return m_editing; }
    virtual void setEditing(bool editing, bool animated = true);

    // The bar button the list shows on the right: the standard one switches editing mode.
    virtual std::shared_ptr<UIBarButtonItem> editButtonBarItem();

private:
    bool m_editing { false };
};
