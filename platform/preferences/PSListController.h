#pragma once

#include "platform/foundation/PlistValue.h"
#include "platform/preferences/PSViewController.h"

#include <memory>
#include <string>
#include <vector>

class PSSpecifier;
class PSTableCell;

// A settings list: rows (specifiers), grouped by their group rows, built on first use by
// `specifiers()`, which a screen overrides to fill `m_specifiers` once. Rows are inserted and
// removed with or without animation, values are read and written through each row's getter and
// setter, and a tap on a link row opens its detail screen in the same navigation stack.
class PSListController : public PSViewController {
public:
    using Specifiers = std::vector<std::shared_ptr<PSSpecifier>>;

    // initForContentSize:
    virtual void initForContentSize() { }
    // The list's rows are built when its view loads.
    void viewDidLoad() override;

    virtual const Specifiers& specifiers() { return m_specifiers; }
    // Drops the list and builds it again through specifiers().
    virtual void reloadSpecifiers();
    void reloadSpecifier(const std::shared_ptr<PSSpecifier>&, bool animated = false);

    void insertSpecifier(const std::shared_ptr<PSSpecifier>&, size_t index, bool animated);
    void insertContiguousSpecifiers(const Specifiers&, size_t index, bool animated);
    void addSpecifier(const std::shared_ptr<PSSpecifier>&, bool animated = false);
    void removeSpecifier(const std::shared_ptr<PSSpecifier>&, bool animated);
    void removeSpecifierAtIndex(size_t index, bool animated);
    void removeContiguousSpecifiers(const Specifiers&, bool animated);

    std::shared_ptr<PSSpecifier> specifierAtIndex(size_t index);
    std::shared_ptr<PSSpecifier> specifierForID(const std::string& identifier);
    // -1 when the row is not in the list.
    long indexOfSpecifier(const std::shared_ptr<PSSpecifier>&);

    // The value the row shows: the row's "value"/"default" when it has no reader of its own.
    virtual PlistValue readPreferenceValue(const std::shared_ptr<PSSpecifier>&);
    virtual void setPreferenceValue(const PlistValue& value, const std::shared_ptr<PSSpecifier>&);

    // tableView:cellForRowAtIndexPath: for the row at the index (group rows have no cell here;
    // headerCellForGroup makes their header). A screen overrides it to change a cell after the
    // standard one is made.
    virtual std::shared_ptr<PSTableCell> tableViewCellForRow(size_t index);
    std::shared_ptr<PSTableCell> headerCellForGroup(size_t index);

    // What the user does on the list.
    // A tap on the row: a link opens its screen, a button runs its action, a confirmation button
    // first asks with an action sheet.
    virtual void tableViewDidSelectRow(size_t index);
    // A switch, slider or text field changed to the value.
    void controlChanged(size_t index, const PlistValue& value);

    // The screen a link row opens: its detail class made by name, told its row and parent.
    std::shared_ptr<PSViewController> controllerForSpecifier(const std::shared_ptr<PSSpecifier>&);
    void pushController(const std::shared_ptr<PSViewController>&, bool animated);

    // How many rows changed on screen with an animation since the screen was made (insertions
    // and removals), for whoever draws transitions.
    size_t animatedChanges() const { return m_animatedChanges; }

protected:
    Specifiers m_specifiers;

private:
    void specifiersChanged(bool animated);
    void showConfirmation(const std::shared_ptr<PSSpecifier>&);

    size_t m_animatedChanges { 0 };
};
