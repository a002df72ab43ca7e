#pragma once

#include "platform/foundation/NSObject.h"
#include "platform/uikit/CGGeometry.h"
#include "platform/uikit/NSTextAlignment.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

class UIColor;

// One row of a plain table as drawn: its text, colour and alignment.
struct UITableViewRow {
    std::string text;
    std::shared_ptr<UIColor> textColor;
    NSTextAlignment alignment { NSTextAlignment::Left };
};

// A table of one section that a screen fills itself (its data source and delegate are the
// functions below), with its layout and the selected row.
class UITableView : public NSObject {
public:
    using NumberOfRows = std::function<size_t()>;
    using CellForRow = std::function<UITableViewRow(size_t)>;
    using DidSelectRow = std::function<void(size_t)>;

    CGRect frame;
    double rowHeight { 44 };
    double contentInsetTop { 0 };
    bool scrollEnabled { true };
    bool bounces { true };
    bool grouped { false };
    std::string reuseIdentifier;

    void setDataSource(NumberOfRows rows, CellForRow cell)
    {
        m_numberOfRows = std::move(rows);
        m_cellForRow = std::move(cell);
    }
    void setDidSelectRow(DidSelectRow action) { m_didSelectRow = std::move(action); }

    size_t numberOfRows() const { return m_numberOfRows ? m_numberOfRows() : 0; }
    // tableView:cellForRowAtIndexPath:, asked afresh on every draw.
    UITableViewRow cellForRow(size_t index) const { return m_cellForRow && index < numberOfRows() ? m_cellForRow(index) : UITableViewRow {}; }

    const std::optional<size_t>& indexPathForSelectedRow() const { return m_selected; }
    // selectRowAtIndexPath: by the program; the delegate is not told.
    void selectRow(size_t index)
    {
        if (index < numberOfRows())
            m_selected = index;
    }
    // The user taps a row: it becomes selected and the delegate is told.
    void userDidSelectRow(size_t index)
    {
        if (index >= numberOfRows())
            return;
        m_selected = index;
        if (m_didSelectRow)
            m_didSelectRow(index);
    }

private:
    NumberOfRows m_numberOfRows;
    CellForRow m_cellForRow;
    DidSelectRow m_didSelectRow;
    std::optional<size_t> m_selected;
};
