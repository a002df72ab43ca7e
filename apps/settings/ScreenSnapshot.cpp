#include "apps/settings/ScreenSnapshot.h"

#include "apps/common/PlistJson.h"
#include "platform/libvelloq/VQActivityAlertView.h"
#include "platform/libvelloq/VQPackageHeaderCell.h"
#include "platform/messageui/MFMailComposeViewController.h"
#include "platform/foundation/NSCalendar.h"
#include "platform/preferences/PSControlTableCell.h"
#include "platform/preferences/PSDetailController.h"
#include "platform/preferences/PSEditableListController.h"
#include "platform/preferences/PSEditableTableCell.h"
#include "platform/preferences/PSEditingPane.h"
#include "platform/preferences/PSSpecifier.h"
#include "platform/social/SLComposeViewController.h"
#include "platform/uikit/UIAlertController.h"
#include "platform/uikit/UIAlertView.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIBarButtonItem.h"
#include "platform/uikit/UIColor.h"
#include "platform/uikit/UIDatePicker.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UITableView.h"
#include "platform/uikit/UIWindow.h"

#include <algorithm>
#include <cstdio>
#include <functional>

using nlohmann::json;

namespace {

std::string cssColor(const UIColor& color)
{
    char css[64];
    std::snprintf(css, sizeof css, "rgba(%d, %d, %d, %.3g)", static_cast<int>(color.red() * 255 + 0.5),
        static_cast<int>(color.green() * 255 + 0.5), static_cast<int>(color.blue() * 255 + 0.5), color.alpha());
    return css;
}

// A drawn image as an SVG document in a data address: its size, fill and rounded clip.
std::string drawnImageAddress(const UIImage::Drawing& drawing)
{
    double width = drawing.size.width;
    double height = drawing.size.height;
    // A corner radius beyond half the shorter side rounds the whole side, as UIKit's paths do.
    double radius = std::min(drawing.clipCornerRadius, std::min(width, height) / 2);
    std::string fill = drawing.fillColor && !drawing.fillColor->patternImage() ? cssColor(*drawing.fillColor) : "transparent";
    char svg[512];
    std::snprintf(svg, sizeof svg,
        "<svg xmlns='http://www.w3.org/2000/svg' width='%g' height='%g' viewBox='0 0 %g %g'><rect width='%g' height='%g' rx='%g' fill='%s'/></svg>",
        width, height, width, height, width, height, radius, fill.c_str());
    std::string address = "data:image/svg+xml,";
    for (char c : std::string(svg)) {
        if (c == '<' || c == '>' || c == '#' || c == '%' || c == '"' || c == ' ') {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", static_cast<unsigned char>(c));
            address += escaped;
        } else {
            address += c;
        }
    }
    return address;
}

json image(const std::shared_ptr<UIImage>& image)
{
    if (!image)
        return json();
    if (image->drawing())
        return drawnImageAddress(*image->drawing());
    return ScreenSnapshot::imageAddress(image->phonePath());
}

const char* accessoryName(UITableViewCellAccessoryType type)
{
    switch (type) {
    case UITableViewCellAccessoryType::DisclosureIndicator:
        return "disclosure";
    case UITableViewCellAccessoryType::Checkmark:
        return "checkmark";
    default:
        return "none";
    }
}

json color(const std::shared_ptr<UIColor>& color)
{
    if (!color)
        return nullptr;
    if (color->patternImage())
        return { { "image", ScreenSnapshot::imageAddress(color->patternImage()->phonePath()) }, { "alpha", color->alpha() } };
    return { { "css", cssColor(*color) } };
}

const char* kindOf(const PSSpecifier& specifier)
{
    switch (specifier.cellType()) {
    case PSCellType::Switch:
        return "switch";
    case PSCellType::Slider:
        return "slider";
    case PSCellType::EditText:
        return "text";
    case PSCellType::Link:
    case PSCellType::LinkList:
        return "link";
    case PSCellType::Button:
        return specifier.isConfirmation() ? "confirm" : "button";
    default:
        return "static";
    }
}

const char* alignmentName(NSTextAlignment alignment)
{
    switch (alignment) {
    case NSTextAlignment::Center:
        return "center";
    case NSTextAlignment::Right:
        return "right";
    default:
        return "left";
    }
}

json buttons(const std::vector<std::shared_ptr<UIBarButtonItem>>& items)
{
    static const char* systemNames[] = { "", "done", "cancel", "edit", "save", "add" };
    json list = json::array();
    for (const auto& item : items)
        list.push_back({ { "system", systemNames[static_cast<int>(item->systemItem())] }, { "title", item->title() },
            { "image", image(item->image()) }, { "done", item->style() == UIBarButtonItemStyle::Done }, { "enabled", item->isEnabled() } });
    return list;
}

json row(PSListController& list, size_t index, const std::shared_ptr<PSSpecifier>& specifier)
{
    auto cell = list.tableViewCellForRow(index);
    json row { { "index", index }, { "id", specifier->identifier() }, { "kind", kindOf(*specifier) } };
    if (!cell)
        return row;
    // A cell that hides the stock title and draws its own label shows that label's text.
    const auto& title = cell->textLabel().hidden ? cell->displayedTitleLabel() : cell->textLabel();
    row["title"] = title.text;
    row["titleHidden"] = title.hidden;
    row["titleColor"] = color(title.textColor);
    // A label of any number of lines wraps its text instead of cutting it short.
    if (title.numberOfLines != 1)
        row["wrap"] = true;
    row["detail"] = cell->detailTextLabel().text;
    row["detailColor"] = color(cell->detailTextLabel().textColor);
    row["value"] = plistToJson(cell->value(), PlistJsonScope::Scalar);
    row["icon"] = image(cell->iconImage());
    row["checked"] = cell->isChecked();
    row["accessory"] = accessoryName(cell->accessoryType());
    row["tint"] = color(cell->tintColor());
    row["height"] = cell->defaultCellHeight();
    if (specifier->isConfirmation())
        row["destructive"] = specifier->propertyForKey("confirmation")["isDestructive"].boolValue();
    if (auto toggle = std::dynamic_pointer_cast<PSSwitchTableCell>(cell))
        row["onTint"] = color(toggle->switchCellOnTintColor());
    if (auto slider = std::dynamic_pointer_cast<PSSliderTableCell>(cell)) {
        row["min"] = slider->minimumValue();
        row["max"] = slider->maximumValue();
        row["minImage"] = image(slider->minimumValueImage());
        row["maxImage"] = image(slider->maximumValueImage());
        row["titleAbove"] = !cell->textLabel().hidden && cell->textLabel().frame.y < slider->controlFrame().y;
    }
    if (auto text = std::dynamic_pointer_cast<PSEditableTableCell>(cell)) {
        row["placeholder"] = text->placeholder();
        row["autoCaps"] = text->autocapitalization();
        // The key the keyboard shows once the user types: this snapshot's own cell is told.
        text->textFieldDidBeginEditing();
        row["returnKey"] = text->returnKeyType() == UIReturnKeyType::Done ? "done" : "default";
    }
    if (!cell->contentLabels().empty()) {
        json labels = json::array();
        for (const auto& label : cell->contentLabels())
            labels.push_back({ { "text", label.text }, { "color", color(label.textColor) }, { "align", alignmentName(label.alignment) },
                { "x", label.frame.x }, { "y", label.frame.y }, { "width", label.frame.width } });
        row["labels"] = labels;
    }
    if (auto editable = dynamic_cast<PSEditableListController*>(&list))
        row["deletable"] = editable->tableViewEditingStyleForRow(index) == UITableViewCellEditingStyle::Delete;
    return row;
}

json groups(PSListController& list)
{
    json groups = json::array();
    const auto specifiers = list.specifiers();
    for (size_t index = 0; index < specifiers.size(); ++index) {
        const auto& specifier = specifiers[index];
        if (specifier->isGroup() || groups.empty()) {
            json group { { "rows", json::array() } };
            if (specifier->isGroup()) {
                group["title"] = specifier->name().value_or("");
                if (auto footer = specifier->propertyForKey("footerText").asString())
                    group["footer"] = *footer;
                if (auto header = std::dynamic_pointer_cast<VQPackageHeaderCell>(list.headerCellForGroup(index))) {
                    auto background = header->backgroundPanel() ? header->backgroundPanel()->color : header->backgroundColor();
                    group["header"] = { { "title", header->title() }, { "subTitle", header->subTitle() }, { "background", color(background) },
                        { "textColor", color(header->textLabel().textColor) } };
                }
            }
            groups.push_back(group);
            if (specifier->isGroup())
                continue;
        }
        groups.back()["rows"].push_back(row(list, index, specifier));
    }
    return groups;
}

// A time of day as the page's time picker takes it.
std::string clockTime(const NSDate& date)
{
    auto fields = NSCalendar::currentCalendar().components(date);
    char text[8];
    std::snprintf(text, sizeof text, "%02d:%02d", fields.hour.value_or(0) % 24, fields.minute.value_or(0) % 60);
    return text;
}

json pane(const PSEditingPane& pane)
{
    json result { { "frame", { { "width", pane.frame().width }, { "height", pane.frame().height } } } };
    if (auto table = pane.tableView()) {
        json rows = json::array();
        for (size_t index = 0; index < table->numberOfRows(); ++index) {
            auto row = table->cellForRow(index);
            rows.push_back({ { "index", index }, { "text", row.text }, { "color", color(row.textColor) }, { "align", alignmentName(row.alignment) } });
        }
        const auto& selected = table->indexPathForSelectedRow();
        result["table"] = { { "rows", rows }, { "selected", selected ? json(*selected) : json() }, { "top", table->frame.y },
            { "height", table->frame.height }, { "insetTop", table->contentInsetTop }, { "rowHeight", table->rowHeight },
            { "scrolls", table->scrollEnabled } };
    }
    if (auto picker = pane.datePicker()) {
        static const char* modes[] = { "time", "date", "date-time" };
        result["picker"] = { { "mode", modes[static_cast<int>(picker->datePickerMode())] }, { "tag", picker->tag() },
            { "time", clockTime(picker->date()) }, { "height", picker->frame.height } };
    }
    return result;
}

json screen(ControllerRegistry& registry, const std::shared_ptr<UIViewController>& controller, const std::shared_ptr<UIViewController>& previous)
{
    json screen { { "id", registry.nameOf(controller) }, { "version", registry.versionOf(controller) },
        { "title", controller->title().value_or("") } };
    const auto& item = controller->navigationItem();
    if (item.titleView) {
        screen["titleImage"] = image(item.titleView->image);
        screen["titleFade"] = item.titleView->fadeDuration;
        if (item.titleView->labelText)
            screen["titleLabel"] = *item.titleView->labelText;
    }
    if (previous) {
        screen["back"] = previous->title().value_or(previous->navigationItem().titleView ? "" : "Back");
        screen["backImage"] = image(previous->navigationItem().backButtonImage);
    }
    screen["left"] = buttons(item.leftBarButtonItems());
    screen["right"] = buttons(item.rightBarButtonItems());
    if (auto list = std::dynamic_pointer_cast<PSListController>(controller)) {
        screen["groups"] = groups(*list);
        if (auto editable = std::dynamic_pointer_cast<PSEditableListController>(controller))
            screen["editing"] = editable->isEditing();
    }
    if (auto detail = std::dynamic_pointer_cast<PSDetailController>(controller); detail && detail->pane())
        screen["pane"] = pane(*detail->pane());
    return screen;
}

json navigation(ControllerRegistry& registry, const std::shared_ptr<UIViewController>& controller)
{
    json stack = json::array();
    json bar;
    if (auto navigationController = std::dynamic_pointer_cast<UINavigationController>(controller)) {
        std::shared_ptr<UIViewController> previous;
        for (const auto& child : navigationController->viewControllers()) {
            stack.push_back(screen(registry, child, previous));
            previous = child;
        }
        bar = { { "tint", color(navigationController->navigationBar().tintColor) },
            { "barTint", color(navigationController->navigationBar().barTintColor) } };
    } else {
        stack.push_back(screen(registry, controller, nullptr));
    }
    return { { "id", registry.nameOf(controller) }, { "screens", stack }, { "bar", bar } };
}

json overlay(ControllerRegistry& registry, const std::shared_ptr<UIViewController>& controller)
{
    json overlay { { "id", registry.nameOf(controller) } };
    if (auto alert = std::dynamic_pointer_cast<UIAlertController>(controller)) {
        static const char* styles[] = { "default", "cancel", "destructive" };
        json actions = json::array();
        for (const auto& action : alert->actions())
            actions.push_back({ { "title", action->title() }, { "style", styles[static_cast<int>(action->style())] } });
        overlay["kind"] = alert->preferredStyle() == UIAlertControllerStyle::ActionSheet ? "sheet" : "alert";
        overlay["title"] = alert->title() ? json(*alert->title()) : json();
        overlay["message"] = alert->message() ? json(*alert->message()) : json();
        overlay["actions"] = actions;
    } else if (auto mail = std::dynamic_pointer_cast<MFMailComposeViewController>(controller)) {
        json attachments = json::array();
        for (const auto& attachment : mail->attachments())
            attachments.push_back({ { "fileName", attachment.fileName }, { "bytes", attachment.data.size() } });
        overlay.update({ { "kind", "mail" }, { "subject", mail->subject() }, { "to", mail->toRecipients() }, { "body", mail->messageBody() },
            { "html", mail->isHTML() }, { "attachments", attachments } });
    } else if (auto share = std::dynamic_pointer_cast<SLComposeViewController>(controller)) {
        overlay.update({ { "kind", "share" }, { "service", share->serviceType() }, { "text", share->initialText() } });
    } else {
        overlay.update({ { "kind", "modal" }, { "navigation", navigation(registry, controller) } });
    }
    return overlay;
}

}

std::string ScreenSnapshot::imageAddress(const std::string& phonePath)
{
    return "/phone" + phonePath;
}

json ScreenSnapshot::take()
{
    return take(UIWindow::keyWindow().rootViewController());
}

json ScreenSnapshot::take(const std::shared_ptr<UIViewController>& root)
{
    m_registry.forgetGone();
    json state { { "navigation", nullptr }, { "overlays", json::array() }, { "alertView", nullptr } };
    if (!root)
        return state;
    state["navigation"] = navigation(m_registry, root);
    if (auto alert = UIAlertView::visibleAlertView()) {
        state["alertView"] = { { "title", alert->title() }, { "message", alert->message() }, { "buttons", alert->buttonTitles() },
            { "progress", std::dynamic_pointer_cast<VQActivityAlertView>(alert) != nullptr } };
    }
    // Whatever a screen of a stack presents, from the bottom up; a presented navigation
    // controller's screens may present again.
    std::function<void(const std::shared_ptr<UIViewController>&)> addPresentedBy = [&](const std::shared_ptr<UIViewController>& base) {
        std::vector<std::shared_ptr<UIViewController>> presenters { base };
        if (auto stack = std::dynamic_pointer_cast<UINavigationController>(base))
            presenters.insert(presenters.end(), stack->viewControllers().begin(), stack->viewControllers().end());
        for (const auto& presenter : presenters)
            if (auto presented = presenter->presentedViewController()) {
                state["overlays"].push_back(overlay(m_registry, presented));
                addPresentedBy(presented);
                return;
            }
    };
    addPresentedBy(root);
    return state;
}
