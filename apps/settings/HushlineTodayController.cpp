#include "apps/settings/HushlineTodayController.h"

#include "apps/settings/TodayWording.h"
#include "core/profile/HLProfilesManager.h"
#include "platform/device/PhoneControl.h"
#include "platform/eventkit/CalendarWatcher.h"
#include "platform/eventkit/EKEventStore.h"
#include "platform/foundation/DarwinNotifyCenter.h"
#include "platform/machinery/DeviceRoot.h"
#include "platform/foundation/ObjCRuntime.h"
#include "platform/preferences/PSSpecifier.h"
#include "platform/preferences/PSTableCell.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIColor.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UINavigationController.h"

#include <cstdlib>

using nlohmann::json;

namespace {

// What the Wi-Fi stack posts when the phone joins or leaves a network.
constexpr const char* kNetworkChangeNotification = "com.apple.system.config.network_change";

std::string text(const json& object, const char* key)
{
    auto it = object.find(key);
    return it != object.end() && it->is_string() ? it->get<std::string>() : std::string();
}

const json& list(const json& object, const char* key)
{
    static const json none = json::array();
    auto it = object.find(key);
    return it != object.end() && it->is_array() ? *it : none;
}

std::shared_ptr<PSSpecifier> textRow(const std::string& title, const std::string& detail = {})
{
    auto row = PSSpecifier::preferenceSpecifierNamed(title, nullptr, nullptr, {}, PSCellType::StaticText);
    if (!detail.empty())
        row->setProperty(detail, "detail");
    return row;
}

std::shared_ptr<PSSpecifier> group(const std::string& title, const std::string& footer = {})
{
    auto row = title.empty() ? PSSpecifier::emptyGroupSpecifier() : PSSpecifier::groupSpecifierWithName(title);
    if (!footer.empty())
        row->setProperty(footer, "footerText");
    return row;
}

// An event as the timeline names it: "Standup" (Work).
std::string eventName(const json& event)
{
    std::string calendar = text(event, "calendarTitle");
    return "\"" + text(event, "title") + "\" (" + (calendar.empty() ? "?" : calendar) + ")";
}

std::string eventSpan(const json& event)
{
    if (event.value("allDay", false))
        return "all day";
    return TodayWording::range(TodayWording::clockTime(text(event, "start")), TodayWording::clockTime(text(event, "end")));
}

}

void HushlineTodayController::registerClass()
{
    ObjCRuntime::registerClass<HushlineTodayController>("HushlineTodayController", {}, [] { return std::make_shared<HushlineTodayController>(); });
}

HushlineTodayController::~HushlineTodayController()
{
    DarwinNotifyCenter::current().removeEveryObserver(this);
    // A look under way finishes on its own; nobody hears of it.
    if (m_look)
        m_look->cancel();
}

void HushlineTodayController::viewDidLoad()
{
    PSListController::viewDidLoad();
    observeChanges();
    look();
}

void HushlineTodayController::viewWillAppear(bool animated)
{
    PSListController::viewWillAppear(animated);
    auto application = UIApplication::sharedApplication();
    SavedChrome saved { application->statusBarStyle(), nullptr, nullptr };
    if (auto navigation = navigationController()) {
        saved.tint = navigation->navigationBar().tintColor;
        saved.barTint = navigation->navigationBar().barTintColor;
        navigation->navigationBar().tintColor = UIColor::whiteColor();
        if (auto pattern = UIImage::imageWithContentsOfFile(std::string(kHLPreferencesBundlePath) + "/nav.png"))
            navigation->navigationBar().barTintColor = UIColor::colorWithPatternImage(pattern);
    }
    application->setStatusBarStyle(1);
    m_savedChrome = saved;
}

void HushlineTodayController::viewWillDisappear(bool animated)
{
    PSListController::viewWillDisappear(animated);
    if (!m_savedChrome)
        return;
    UIApplication::sharedApplication()->setStatusBarStyle(m_savedChrome->statusBarStyle);
    if (auto navigation = navigationController()) {
        navigation->navigationBar().tintColor = m_savedChrome->tint;
        navigation->navigationBar().barTintColor = m_savedChrome->barTint;
    }
    m_savedChrome.reset();
}

void HushlineTodayController::observeChanges()
{
    std::weak_ptr<HushlineTodayController> weakSelf = std::static_pointer_cast<HushlineTodayController>(shared_from_this());
    auto changed = [weakSelf](const std::string&) {
        if (auto self = weakSelf.lock())
            self->refresh();
    };
    auto& center = DarwinNotifyCenter::current();
    for (const char* name : { kHLProfileAddedNotification, kHLProfileChangedNotification, kHLProfileDeletedNotification,
             kHLEnabledOrDisabledNotification, kNetworkChangeNotification, PhoneControl::kClockMovedNotification })
        center.addObserver(this, name, changed);

    // The calendar folders are watched on the main run loop itself: no thread of its own.
    m_calendarWatch = std::make_unique<CalendarWatcher>(EKEventStore::calendarsFolder(), [weakSelf] {
        if (auto self = weakSelf.lock())
            self->refresh();
    });
}

void HushlineTodayController::refresh()
{
    if (m_look) {
        m_lookAgain = true;
        return;
    }
    if (m_lookQueued)
        return;
    // A burst of changes in one turn (a calendar file written in several steps, the profile
    // file and its notification) makes one look.
    m_lookQueued = true;
    std::weak_ptr<HushlineTodayController> weakSelf = std::static_pointer_cast<HushlineTodayController>(shared_from_this());
    NSRunLoop::main().performBlock([weakSelf] {
        if (auto self = weakSelf.lock()) {
            self->m_lookQueued = false;
            if (!self->m_look)
                self->look();
        }
    });
}

void HushlineTodayController::look()
{
    const char* phonectl = std::getenv("HUSHLINE_PHONECTL");
    if (!phonectl || !*phonectl) {
        m_error = "phonectl is not known to the Settings app (HUSHLINE_PHONECTL is not set)";
        reloadSpecifiers();
        return;
    }
    ++m_looksStarted;
    m_lookAgain = false;
    std::weak_ptr<HushlineTodayController> weakSelf = std::static_pointer_cast<HushlineTodayController>(shared_from_this());
    m_look = TodayReportProcess::start({ phonectl, "--root", DeviceRoot::path().string(), "today", "--json" },
        [weakSelf](const TodayReportProcess::Result& result) {
            if (auto self = weakSelf.lock())
                self->lookFinished(result);
        });
}

void HushlineTodayController::lookFinished(const TodayReportProcess::Result& result)
{
    m_look = nullptr;
    if (result.report) {
        m_report = result.report;
        m_error.reset();
    } else {
        m_error = result.error;
    }
    reloadSpecifiers();
    if (m_lookAgain)
        look();
}

const PSListController::Specifiers& HushlineTodayController::specifiers()
{
    if (!m_specifiers.empty())
        return m_specifiers;
    if (m_error) {
        m_specifiers = { group("Today Cannot Be Shown"), textRow(*m_error) };
        // The last report, when there is one, stays below the failure.
        if (m_report) {
            auto rows = specifiersForReport(*m_report);
            m_specifiers.insert(m_specifiers.end(), rows.begin(), rows.end());
        }
    } else if (m_report) {
        m_specifiers = specifiersForReport(*m_report);
    } else {
        m_specifiers = { group({}), textRow("Looking at the rest of today…") };
    }
    return m_specifiers;
}

PSListController::Specifiers HushlineTodayController::specifiersForReport(const json& report)
{
    Specifiers rows;
    std::string from = text(report, "from");
    rows.push_back(group({}, text(report, "assumption")));
    rows.push_back(textRow(from.ends_with("T00:00:00") ? "The whole day" : "From " + TodayWording::clockTime(from) + " to midnight",
        TodayWording::day(text(report, "day"))));
    if (!report.value("hushlineEnabled", true))
        rows.push_back(textRow("Hushline is switched off."));

    const json& atStart = list(report, "appliedAtStart");
    if (!atStart.empty()) {
        rows.push_back(group("On Now"));
        for (const auto& on : atStart)
            rows.push_back(textRow(text(on, "profileTitle") + " is " + TodayWording::withClockTimes(text(on, "text"))));
    }

    rows.push_back(group("Timeline"));
    const json& moments = list(report, "moments");
    if (moments.empty())
        rows.push_back(textRow("No profile is applied or reverted."));
    for (const auto& moment : moments)
        rows.push_back(textRow(text(moment, "profileTitle") + " " + TodayWording::withClockTimes(text(moment, "text")),
            TodayWording::clockTime(text(moment, "time"))));

    for (const auto& profile : list(report, "profiles")) {
        const json& passed = list(profile, "notActedUpon");
        if (passed.empty())
            continue;
        rows.push_back(group(text(profile, "title") + " (" + text(profile, "hours") + ")"));
        for (const auto& entry : passed) {
            const json& event = entry.contains("event") ? entry["event"] : json::object();
            rows.push_back(textRow(eventName(event) + " – " + TodayWording::withClockTimes(text(entry, "text")), eventSpan(event)));
        }
    }
    return rows;
}

std::shared_ptr<PSTableCell> HushlineTodayController::tableViewCellForRow(size_t index)
{
    auto cell = PSListController::tableViewCellForRow(index);
    if (!cell)
        return cell;
    cell->textLabel().numberOfLines = 0;
    if (auto detail = specifierAtIndex(index)->propertyForKey("detail").asString())
        cell->detailTextLabel().text = *detail;
    return cell;
}
