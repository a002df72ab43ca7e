#pragma once

#include "platform/preferences/PSTableCell.h"

#include <memory>
#include <string>

class UIColor;

// A view behind a cell's content, as data (a coloured panel).
struct UIBackgroundView {
    std::shared_ptr<UIColor> color;
    CGRect frame;
    bool flexibleWidth { false };
    // Below every other view of the cell.
    bool atBack { true };
};

// libvelloq's header of a maker's settings page: the group's "title" and "subTitle" as a header.
class VQPackageHeaderCell : public PSTableCell {
public:
    void refreshCellContentsWithSpecifier(const std::shared_ptr<PSSpecifier>&) override;

    const std::string& title() const { return textLabel().text; }
    const std::string& subTitle() const { return detailTextLabel().text; }
    virtual double preferredHeightForWidth(double width) const { return 110; }

    const std::shared_ptr<UIBackgroundView>& backgroundPanel() const { return m_panel; }
    void setBackgroundPanel(std::shared_ptr<UIBackgroundView> panel) { m_panel = std::move(panel); }

    // The width the cell is laid out for.
    double width() const { return m_width; }

private:
    std::shared_ptr<UIBackgroundView> m_panel;
    double m_width { 390 };
};
