#pragma once

#include "platform/preferences/PSTableCell.h"

// A cell with a control (a switch or a slider) that shows and changes the row's value.
class PSControlTableCell : public PSTableCell {
public:
    void refreshCellContentsWithSpecifier(const std::shared_ptr<PSSpecifier>&) override;

    // The control's value (the switch's state, the slider's position).
    const PlistValue& controlValue() const { return value(); }
    void setControlValue(PlistValue v) { setValue(std::move(v)); }
    // The control's frame inside the cell.
    CGRect& controlFrame() { return m_controlFrame; }
    const CGRect& controlFrame() const { return m_controlFrame; }

private:
    CGRect m_controlFrame;
};

// A switch row: its control is on or off; its on colour is the cell's choice.
class PSSwitchTableCell : public PSControlTableCell {
public:
    bool isOn() const { return controlValue().boolValue(); }
    // The switch's colour while on; none leaves the system's green.
    virtual std::shared_ptr<UIColor> switchCellOnTintColor() const { return nullptr; }
};

// A slider row: "min", "max", "leftImage" and "rightImage" come from the row's properties.
class PSSliderTableCell : public PSControlTableCell {
public:
    void refreshCellContentsWithSpecifier(const std::shared_ptr<PSSpecifier>&) override;
    void layoutSubviews() override;

    double minimumValue() const { return m_min; }
    double maximumValue() const { return m_max; }
    const std::shared_ptr<UIImage>& minimumValueImage() const { return m_leftImage; }
    const std::shared_ptr<UIImage>& maximumValueImage() const { return m_rightImage; }

private:
    double m_min { 0 };
    double m_max { 1 };
    std::shared_ptr<UIImage> m_leftImage;
    std::shared_ptr<UIImage> m_rightImage;
};
