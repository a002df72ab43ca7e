#include "apps/settings/ScreenVersions.h"

#include "platform/preferences/PSListController.h"
#include "platform/preferences/PSSpecifier.h"

namespace {

// The rows of a list as a text: identifier, label and kind of each, in order.
std::string rowsOf(const std::shared_ptr<UIViewController>& controller)
{
    auto list = std::dynamic_pointer_cast<PSListController>(controller);
    if (!list)
        return {};
    std::string rows;
    for (const auto& specifier : list->specifiers()) {
        rows += specifier->identifier();
        rows += '\x1f';
        rows += specifier->name().value_or("");
        rows += '\x1f';
        rows += std::to_string(static_cast<int>(specifier->cellType()));
        rows += '\x1e';
    }
    return rows;
}

}

uint64_t ScreenVersions::versionOf(const std::shared_ptr<UIViewController>& controller)
{
    if (!controller)
        return 0;
    std::string rows = rowsOf(controller);
    auto [it, added] = m_entries.try_emplace(controller.get(), Entry { controller, rows, 1 });
    Entry& entry = it->second;
    if (!added && entry.controller.lock() != controller)
        entry = Entry { controller, rows, 1 };
    else if (entry.rows != rows) {
        entry.rows = std::move(rows);
        ++entry.version;
    }
    return entry.version;
}

void ScreenVersions::forgetGone()
{
    std::erase_if(m_entries, [](const auto& item) { return item.second.controller.expired(); });
}
