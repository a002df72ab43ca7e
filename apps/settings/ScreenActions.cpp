#include "apps/settings/ScreenActions.h"

#include "apps/common/PlistJson.h"
#include "platform/foundation/NSCalendar.h"
#include "platform/messageui/MFMailComposeViewController.h"
#include "platform/preferences/PSDetailController.h"
#include "platform/preferences/PSEditingPane.h"
#include "platform/preferences/PSEditableListController.h"
#include "platform/preferences/PSSpecifier.h"
#include "platform/social/SLComposeViewController.h"
#include "platform/uikit/UIAlertController.h"
#include "platform/uikit/UIAlertView.h"
#include "platform/uikit/UIBarButtonItem.h"
#include "platform/uikit/UIDatePicker.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UITableView.h"
#include "platform/uikit/UIWindow.h"

#include <map>
#include <optional>

using nlohmann::json;

namespace {

std::optional<size_t> index(const json& action, const char* key)
{
    auto it = action.find(key);
    if (it == action.end() || !it->is_number_integer() || it->get<int64_t>() < 0)
        return std::nullopt;
    return it->get<size_t>();
}

std::string text(const json& action, const char* key)
{
    auto it = action.find(key);
    return it != action.end() && it->is_string() ? it->get<std::string>() : std::string();
}

// The pane of a detail screen, when the screen has one.
std::shared_ptr<PSEditingPane> paneOf(const std::shared_ptr<UIViewController>& controller)
{
    auto detail = std::dynamic_pointer_cast<PSDetailController>(controller);
    return detail ? detail->pane() : nullptr;
}

// The user turns a time picker's wheels to hour:minute; the picker keeps its day.
std::string pickTime(const std::shared_ptr<UIViewController>& controller, const json& action)
{
    auto pane = paneOf(controller);
    auto picker = pane ? pane->datePicker() : nullptr;
    auto hour = index(action, "hour");
    auto minute = index(action, "minute");
    if (!picker || !hour || !minute || *hour > 23 || *minute > 59)
        return "a time names a screen with a picker, an hour and a minute";
    const auto& calendar = NSCalendar::currentCalendar();
    auto fields = calendar.components(picker->date());
    fields.hour = static_cast<int>(*hour);
    fields.minute = static_cast<int>(*minute);
    fields.second = 0;
    auto date = calendar.dateFromComponents(fields);
    if (!date)
        return "no such time";
    picker->userDidPickDate(*date);
    return {};
}

using Controller = std::shared_ptr<UIViewController>;

// The row the action names when it is a row of `list` that is not a group header.
std::optional<size_t> listRow(const std::shared_ptr<PSListController>& list, const json& action)
{
    auto row = index(action, "row");
    if (!list || !row || *row >= list->specifiers().size() || list->specifiers()[*row]->isGroup())
        return std::nullopt;
    return row;
}

std::string tapAlertView(const json& action)
{
    auto button = index(action, "button");
    auto alert = UIAlertView::visibleAlertView();
    if (!button || !alert || !alert->clickButtonAtIndex(static_cast<long>(*button)))
        return "no such button on the alert";
    return {};
}

// A detail screen's rows live in its pane's table; any other screen is a list of specifiers.
std::string selectRow(const Controller& controller, const json& action)
{
    if (auto pane = paneOf(controller); pane && pane->tableView()) {
        auto table = pane->tableView();
        auto row = index(action, "row");
        if (!row || *row >= table->numberOfRows())
            return "no such row";
        table->userDidSelectRow(*row);
        UIWindow::keyWindow().setNeedsDisplay();
        return {};
    }
    auto list = std::dynamic_pointer_cast<PSListController>(controller);
    auto row = listRow(list, action);
    if (!row)
        return "no such row";
    list->tableViewDidSelectRow(*row);
    return {};
}

// The page redraws after every turn of the wheels, even one it refused.
std::string turnTimePicker(const Controller& controller, const json& action)
{
    std::string why = pickTime(controller, action);
    UIWindow::keyWindow().setNeedsDisplay();
    return why;
}

std::string changeControl(const Controller& controller, const json& action)
{
    auto list = std::dynamic_pointer_cast<PSListController>(controller);
    auto value = action.contains("value") ? jsonToPlist(action["value"], PlistJsonScope::Scalar) : std::nullopt;
    auto row = listRow(list, action);
    if (!row || !value)
        return "a change names a row and a value";
    list->controlChanged(*row, *value);
    return {};
}

std::string deleteRow(const Controller& controller, const json& action)
{
    auto editable = std::dynamic_pointer_cast<PSEditableListController>(controller);
    auto row = listRow(std::dynamic_pointer_cast<PSListController>(controller), action);
    if (!row || !editable || editable->tableViewEditingStyleForRow(*row) != UITableViewCellEditingStyle::Delete)
        return "the row cannot be deleted";
    editable->setEditing(true);
    editable->tableViewCommitEditingStyle(UITableViewCellEditingStyle::Delete, *row);
    return {};
}

std::string tapBarButton(const Controller& controller, const json& action)
{
    auto button = index(action, "button");
    std::string side = text(action, "side");
    const auto& items = side == "left" ? controller->navigationItem().leftBarButtonItems() : controller->navigationItem().rightBarButtonItems();
    if ((side != "left" && side != "right") || !button || *button >= items.size())
        return "no such bar button";
    items[*button]->tap();
    return {};
}

std::string goBack(const Controller& controller, const json&)
{
    auto navigation = controller->navigationController();
    if (!navigation || navigation->topViewController() != controller || navigation->viewControllers().size() < 2)
        return "the screen has no back button";
    navigation->popViewControllerAnimated(true);
    return {};
}

std::string tapAlertAction(const Controller& controller, const json& action)
{
    auto alert = std::dynamic_pointer_cast<UIAlertController>(controller);
    auto button = index(action, "action");
    if (!alert || !button || !alert->tapActionAtIndex(*button))
        return "no such action";
    return {};
}

std::string finishMail(const Controller& controller, const json& action)
{
    auto mail = std::dynamic_pointer_cast<MFMailComposeViewController>(controller);
    std::string result = text(action, "result");
    if (!mail || (result != "send" && result != "cancel"))
        return "a mail is sent or cancelled";
    if (result == "send")
        mail->send();
    else
        mail->cancel();
    return {};
}

std::string finishShare(const Controller& controller, const json& action)
{
    auto share = std::dynamic_pointer_cast<SLComposeViewController>(controller);
    std::string result = text(action, "result");
    if (!share || (result != "post" && result != "cancel"))
        return "a post is posted or cancelled";
    if (action.contains("text") && action["text"].is_string())
        share->setText(action["text"].get<std::string>());
    if (result == "post")
        share->post();
    else
        share->cancel();
    return {};
}

// What each action type does to the screen it names; empty when done, else why not.
const std::map<std::string, std::string (*)(const Controller&, const json&)> kHandlers {
    { "select", selectRow },
    { "pick", turnTimePicker },
    { "change", changeControl },
    { "delete", deleteRow },
    { "bar", tapBarButton },
    { "back", goBack },
    { "alert", tapAlertAction },
    { "mail", finishMail },
    { "share", finishShare },
};

}

bool ScreenActions::isStale(const json& action)
{
    if (!action.is_object() || text(action, "type") == "alertView" || !action.contains("screen"))
        return false;
    auto controller = m_registry.controllerNamed(text(action, "screen"));
    if (!controller)
        return true;
    if (auto version = action.find("version"); version != action.end() && version->is_number_integer()
        && version->get<int64_t>() != static_cast<int64_t>(m_registry.versionOf(controller)))
        return true;
    auto list = std::dynamic_pointer_cast<PSListController>(controller);
    auto row = index(action, "row");
    auto rowId = action.find("rowId");
    if (list && row && rowId != action.end() && rowId->is_string()) {
        const auto& rows = list->specifiers();
        return *row >= rows.size() || rows[*row]->identifier() != rowId->get<std::string>();
    }
    return false;
}

std::string ScreenActions::perform(const json& action)
{
    if (!action.is_object())
        return "an action is a JSON object";
    std::string type = text(action, "type");
    // The system alert floats over every screen, so its taps name no screen.
    if (type == "alertView")
        return tapAlertView(action);
    auto controller = m_registry.controllerNamed(text(action, "screen"));
    if (!controller)
        return "no such screen";
    auto handler = kHandlers.find(type);
    if (handler == kHandlers.end())
        return "unknown action type";
    return handler->second(controller, action);
}
