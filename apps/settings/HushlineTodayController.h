#pragma once

#include "apps/settings/TodayReportProcess.h"
#include "platform/preferences/PSListController.h"

#include <memory>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

class CalendarWatcher;
class UIColor;

// The Today screen of the Settings app, opened by the settings bundle's "Today" row: what each
// profile does for the rest of the day, and why. Its report is the one `phonectl today --json`
// gives for the phone (phonectl is named by $HUSHLINE_PHONECTL), so the screen reads as the
// terminal does: the span and the assumption, the timeline (time, profile, sentence), what was
// on when the look began, and per profile every event that does not silence the phone, with
// the reason.
//
// While it lives the screen looks again whenever the profiles, the master switch, the calendars,
// the Wi-Fi network or the clock change. One look runs at a time; changes during a look are
// taken up by one more look after it.
class HushlineTodayController : public PSListController {
public:
    // Makes the class known by its name, for the bundle's row to open.
    static void registerClass();

    ~HushlineTodayController() override;

    void viewDidLoad() override;
    // While shown, the bar wears the plug-in's colours as its other screens do (white tint on the
    // bundle's navigation pattern, light status bar); they are put back when the screen goes.
    void viewWillAppear(bool animated) override;
    void viewWillDisappear(bool animated) override;
    const Specifiers& specifiers() override;
    // Every row's text wraps; a row's "detail" property is its detail text (a time, a span).
    std::shared_ptr<PSTableCell> tableViewCellForRow(size_t index) override;

    // The rows of a report (TodayReport.h's layout).
    static Specifiers specifiersForReport(const nlohmann::json& report);

    // Asks for a new look: on the next turn of the run loop, or after the look under way.
    void refresh();
    // Whether a look is under way or about to start.
    bool isLooking() const { return m_look || m_lookQueued; }
    // How many looks have been started.
    size_t looksStarted() const { return m_looksStarted; }

private:
    void observeChanges();
    void look();
    void lookFinished(const TodayReportProcess::Result&);

    std::optional<nlohmann::json> m_report;
    std::optional<std::string> m_error;
    std::shared_ptr<TodayReportProcess> m_look;
    bool m_lookQueued { false };
    bool m_lookAgain { false };
    size_t m_looksStarted { 0 };
    struct SavedChrome {
        long statusBarStyle { 0 };
        std::shared_ptr<UIColor> tint;
        std::shared_ptr<UIColor> barTint;
    };
    std::optional<SavedChrome> m_savedChrome;
    std::unique_ptr<CalendarWatcher> m_calendarWatch;
};
