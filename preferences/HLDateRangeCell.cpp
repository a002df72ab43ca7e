#include "preferences/HLDateRangeCell.h"

#include "core/profile/HLProfile.h"
#include "platform/foundation/ObjCRuntime.h"
#include "platform/preferences/PSSpecifier.h"
#include "platform/uikit/UIColor.h"
#include "preferences/HLDateRangePane.h"
#include "preferences/HLLocalizedString.h"

namespace {

[[maybe_unused]] const bool registered
    = ObjCRuntime::registerClass<HLDateRangeCell>("HLDateRangeCell", {}, [] { return std::make_shared<HLDateRangeCell>(); });

constexpr double kWordLeft = 16;
constexpr double kTimeWidth = 100;
constexpr double kTimeInset = 135;
constexpr double kLabelHeight = 20;

UILabelData label(std::string text, std::shared_ptr<UIColor> color, NSTextAlignment alignment)
{
    UILabelData data;
    data.text = std::move(text);
    data.textColor = std::move(color);
    data.alignment = alignment;
    return data;
}

}

void HLDateRangeCell::refreshCellContentsWithSpecifier(const std::shared_ptr<PSSpecifier>& specifier)
{
    PSTableCell::refreshCellContentsWithSpecifier(specifier);
    textLabel().text.clear();
    auto profile = specifier->userInfo().asObject<HLProfile>();
    auto& labels = contentLabels();
    labels.clear();
    labels.push_back(label(HLLocalizedString("From"), UIColor::blackColor(), NSTextAlignment::Left));
    labels.push_back(label(profile ? profile->startTime().value_or("") : "", HLDateRangePane::timeColor(), NSTextAlignment::Right));
    labels.push_back(label(HLLocalizedString("To"), UIColor::blackColor(), NSTextAlignment::Left));
    labels.push_back(label(profile ? profile->endTime().value_or("") : "", HLDateRangePane::timeColor(), NSTextAlignment::Right));
}

void HLDateRangeCell::layoutSubviews()
{
    auto& labels = contentLabels();
    double top = (kHeight - kLineSpacing - kLabelHeight) / 2;
    for (size_t index = 0; index < labels.size(); ++index) {
        double y = top + static_cast<double>(index / 2) * kLineSpacing;
        bool time = index % 2 == 1;
        labels[index].frame = time ? CGRect { kContentWidth - kTimeInset, y, kTimeWidth, kLabelHeight }
                                   : CGRect { kWordLeft, y, kContentWidth - kTimeInset - kWordLeft, kLabelHeight };
    }
}
