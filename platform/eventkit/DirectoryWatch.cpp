#include "platform/eventkit/DirectoryWatch.h"

#include <algorithm>
#include <sys/inotify.h>

namespace {

constexpr uint32_t kMask = IN_CREATE | IN_DELETE | IN_CLOSE_WRITE | IN_MOVED_FROM | IN_MOVED_TO | IN_ATTRIB
    | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;

bool isHidden(const std::string& name)
{
    return name.empty() || name.front() == '.';
}

bool isInside(const std::filesystem::path& path, const std::filesystem::path& folder)
{
    auto [end, rest] = std::mismatch(folder.begin(), folder.end(), path.begin(), path.end());
    return end == folder.end();
}

} // namespace

DirectoryWatch::DirectoryWatch(std::filesystem::path root) : m_root(std::move(root))
{
    if (m_inotify.isValid())
        watchAll();
}

void DirectoryWatch::watchAll()
{
    watchTree(m_root, Root);
    if (m_rootWatch < 0)
        watchAncestor();
}

void DirectoryWatch::watchAncestor()
{
    std::error_code error;
    std::filesystem::path ancestor = m_root.parent_path();
    while (!ancestor.empty() && ancestor != ancestor.root_path() && !std::filesystem::is_directory(ancestor, error))
        ancestor = ancestor.parent_path();
    if (ancestor.empty())
        return;
    m_ancestor = ancestor;
    m_ancestorWatch = m_inotify.addWatch(ancestor, IN_CREATE | IN_MOVED_TO | IN_ONLYDIR);
    // A folder made on the way before the watch was in place is not reported: look once more.
    std::filesystem::path next = ancestor / *std::next(m_root.begin(), std::distance(ancestor.begin(), ancestor.end()));
    if (m_ancestorWatch >= 0 && std::filesystem::is_directory(next, error)) {
        m_inotify.removeWatch(m_ancestorWatch);
        m_ancestorWatch = -1;
        watchAll();
    }
}

bool DirectoryWatch::isOnTheWayToRoot(const std::filesystem::path& folder) const
{
    return isInside(m_root, folder);
}

void DirectoryWatch::watchTree(const std::filesystem::path& folder, Depth depth)
{
    int wd = m_inotify.addWatch(folder, kMask);
    if (wd < 0)
        return;
    m_watches[wd] = { folder, depth };
    if (depth == Root)
        m_rootWatch = wd;
    if (depth == Calendar)
        return;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        std::error_code ignored;
        if (!isHidden(entry.path().filename().string()) && entry.is_directory(ignored))
            watchTree(entry.path(), static_cast<Depth>(depth + 1));
    }
}

void DirectoryWatch::unwatchTree(const std::filesystem::path& folder)
{
    for (auto it = m_watches.begin(); it != m_watches.end();) {
        if (it->second.second != Root && isInside(it->second.first, folder)) {
            m_inotify.removeWatch(it->first);
            it = m_watches.erase(it);
        } else {
            ++it;
        }
    }
}

void DirectoryWatch::unwatchAll()
{
    for (const auto& [wd, watched] : m_watches)
        m_inotify.removeWatch(wd);
    m_watches.clear();
    m_rootWatch = -1;
    if (m_ancestorWatch >= 0)
        m_inotify.removeWatch(m_ancestorWatch);
    m_ancestorWatch = -1;
}

bool DirectoryWatch::readChanges(std::vector<Change>& out)
{
    if (!m_inotify.isValid())
        return false;
    bool complete = true;
    for (const auto& event : m_inotify.readEvents()) {
        if (event.mask & IN_Q_OVERFLOW) {
            complete = false;
            continue;
        }
        if (event.watch == m_ancestorWatch && m_ancestorWatch >= 0) {
            // A folder on the way to the missing root appeared (or the ancestor went).
            if ((event.mask & IN_IGNORED) || (!event.name.empty() && isOnTheWayToRoot(m_ancestor / event.name))) {
                if (event.mask & IN_IGNORED)
                    m_ancestorWatch = -1;
                complete = false;
            }
            continue;
        }
        auto watched = m_watches.find(event.watch);
        if (watched == m_watches.end())
            continue;
        auto [folder, depth] = watched->second;
        if (event.mask & IN_IGNORED) {
            m_watches.erase(watched);
            if (depth == Root) {
                m_rootWatch = -1;
                complete = false;
            }
            continue;
        }
        if (depth == Root && (event.mask & (IN_DELETE_SELF | IN_MOVE_SELF)))
            complete = false;
        if ((event.mask & IN_ISDIR) && depth != Calendar && !isHidden(event.name)) {
            if (event.mask & (IN_CREATE | IN_MOVED_TO))
                watchTree(folder / event.name, static_cast<Depth>(depth + 1));
            else if (event.mask & IN_MOVED_FROM)
                unwatchTree(folder / event.name);
        }
        out.push_back({ folder, event.name, event.mask, depth });
    }
    // Renewed only for a change that asks for it: renewing removes watches, and each removal is
    // itself queued as an event, so renewing on every read would wake the loop without end.
    if (!complete || (m_rootWatch < 0 && m_ancestorWatch < 0)) {
        bool hadRoot = m_rootWatch >= 0;
        unwatchAll();
        watchAll();
        // A root that has just appeared was never looked at either.
        if (!hadRoot && m_rootWatch >= 0)
            complete = false;
    }
    return complete;
}
