#pragma once

#include "platform/foundation/NSObject.h"
#include "platform/foundation/PlistValue.h"
#include "platform/uikit/CGGeometry.h"
#include "platform/uikit/NSTextAlignment.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

class PSSpecifier;
class UIColor;
class UIImage;

// What a cell shows at its right edge.
enum class UITableViewCellAccessoryType { None, DisclosureIndicator, Checkmark };

// A label inside a cell, as data.
struct UILabelData {
    std::string text;
    std::shared_ptr<UIColor> textColor;
    std::shared_ptr<UIColor> backgroundColor;
    bool hidden { false };
    double alpha { 1 };
    long numberOfLines { 1 };
    NSTextAlignment alignment { NSTextAlignment::Left };
    CGRect frame;
};

// A settings row as drawn: title, detail text and its colour, checkmark, tint, icon and the
// row's value. A cell is made from its row (initWithStyle:reuseIdentifier:specifier:), filled
// from it (refreshCellContentsWithSpecifier:) and laid out (layoutSubviews); a class named by
// the row's "cellClass" property may change any of these steps.
class PSTableCell : public NSObject {
public:
    // Makes the cell of the row: the class registered under `cellClass` (ObjCRuntime) when it
    // names a cell class, else the standard cell of the row's kind.
    static std::shared_ptr<PSTableCell> cellForSpecifier(const std::shared_ptr<PSSpecifier>&, const std::string& cellClass);

    virtual void initWithSpecifier(const std::shared_ptr<PSSpecifier>& specifier);
    virtual void refreshCellContentsWithSpecifier(const std::shared_ptr<PSSpecifier>& specifier);
    virtual void layoutSubviews() { }
    // The row height; 0 means the list's standard height.
    virtual double defaultCellHeight() const { return 0; }

    std::shared_ptr<PSSpecifier> specifier() const { return m_specifier.lock(); }

    UILabelData& textLabel() { return m_textLabel; }
    UILabelData& detailTextLabel() { return m_detailTextLabel; }
    const UILabelData& textLabel() const { return m_textLabel; }
    const UILabelData& detailTextLabel() const { return m_detailTextLabel; }
    const PlistValue& value() const { return m_value; }
    void setValue(PlistValue value) { m_value = std::move(value); }
    // A link row starts with the disclosure indicator, every other row with nothing.
    UITableViewCellAccessoryType accessoryType() const { return m_accessoryType; }
    void setAccessoryType(UITableViewCellAccessoryType type) { m_accessoryType = type; }
    bool isChecked() const { return m_accessoryType == UITableViewCellAccessoryType::Checkmark; }
    void setChecked(bool checked) { m_accessoryType = checked ? UITableViewCellAccessoryType::Checkmark : UITableViewCellAccessoryType::None; }
    // The label that shows the row's title: the stock title label unless a cell draws its own.
    virtual const UILabelData& displayedTitleLabel() const { return m_textLabel; }
    const std::shared_ptr<UIColor>& tintColor() const { return m_tintColor; }
    void setTintColor(std::shared_ptr<UIColor> color) { m_tintColor = std::move(color); }
    const std::shared_ptr<UIColor>& backgroundColor() const { return m_backgroundColor; }
    void setBackgroundColor(std::shared_ptr<UIColor> color) { m_backgroundColor = std::move(color); }
    const std::shared_ptr<UIImage>& iconImage() const { return m_icon; }
    void setIconImage(std::shared_ptr<UIImage> icon) { m_icon = std::move(icon); }
    // Labels a cell class adds to its content view, in drawing order.
    std::vector<UILabelData>& contentLabels() { return m_contentLabels; }
    const std::vector<UILabelData>& contentLabels() const { return m_contentLabels; }
    // The width of the content view (the cell less its accessory).
    static constexpr double kContentWidth = 342;

private:
    std::weak_ptr<PSSpecifier> m_specifier;
    UILabelData m_textLabel;
    UILabelData m_detailTextLabel;
    PlistValue m_value;
    UITableViewCellAccessoryType m_accessoryType { UITableViewCellAccessoryType::None };
    std::shared_ptr<UIColor> m_tintColor;
    std::shared_ptr<UIColor> m_backgroundColor;
    std::shared_ptr<UIImage> m_icon;
    std::vector<UILabelData> m_contentLabels;
};
