#pragma once

#include "platform/foundation/Inotify.h"

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

// An inotify watch on the calendar folders: the root, its account folders and their calendar
// folders (folders whose names begin with "." are left out). Folders that appear are watched as
// they are reported. Several watches of the same folders may exist; each sees every change.
class DirectoryWatch {
public:
    enum Depth { Root = 0, Account = 1, Calendar = 2 };

    struct Change {
        std::filesystem::path folder; // the watched folder the change happened in
        std::string name;             // the entry that changed; empty for the folder itself
        uint32_t mask;                // inotify's event bits
        Depth depth;
    };

    explicit DirectoryWatch(std::filesystem::path root);

    // False when inotify is not available: nothing is reported, every folder must be looked at.
    bool isAvailable() const { return m_inotify.isValid(); }
    bool isWatchingRoot() const { return m_rootWatch >= 0; }
    // While the root is missing, its nearest existing ancestor is watched for the next folder on
    // the way to it, so that the root's appearance is reported without anyone looking again.
    bool isWaitingForRoot() const { return m_ancestorWatch >= 0; }
    // Readable when changes are queued.
    int fileDescriptor() const { return m_inotify.fileDescriptor(); }

    // Appends the changes queued so far, without waiting. Returns false when changes may have
    // been lost (the queue overflowed, the root was replaced or has just appeared): the caller
    // must then look at every folder again. The watch renews itself.
    bool readChanges(std::vector<Change>& out);

private:
    void watchAll();
    void watchTree(const std::filesystem::path& folder, Depth depth);
    void unwatchTree(const std::filesystem::path& folder);
    void unwatchAll();
    void watchAncestor();
    bool isOnTheWayToRoot(const std::filesystem::path& folder) const;

    std::filesystem::path m_root;
    Inotify m_inotify;
    int m_rootWatch { -1 };
    int m_ancestorWatch { -1 };
    std::filesystem::path m_ancestor;
    std::map<int, std::pair<std::filesystem::path, Depth>> m_watches;
};
