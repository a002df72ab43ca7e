#pragma once

#include <filesystem>

// Where Hushline's own files are, found from the running program: phonectl lives in the
// programs' folder (bin/), the hosts in Hushline's library folder, the page and the phone's
// read-only payload in its data folder. Only relative paths between them are built in, so an
// installed tree, an unpacked package and the build tree all run from wherever they are.
class InstalledFiles {
public:
    // The layout seen from phonectl (or a test program beside it in the build tree).
    static InstalledFiles fromPhonectl();
    // The layout seen from a host program in the library folder.
    static InstalledFiles fromHost();
    // The layout around a library folder, for the tests.
    static InstalledFiles atLibraryFolder(std::filesystem::path library);

    const std::filesystem::path& library() const { return m_library; }
    const std::filesystem::path& data() const { return m_data; }

    std::filesystem::path springBoardHost() const { return m_library / "SpringBoard"; }
    std::filesystem::path settingsHost() const { return m_library / "Settings"; }
    // The folder the Settings host serves its page from (page/ inside it).
    const std::filesystem::path& webFolder() const { return m_data; }
    // The payload's read-only files as they lie in a device root.
    std::filesystem::path deviceData() const { return m_data / "device"; }

private:
    explicit InstalledFiles(std::filesystem::path library);

    std::filesystem::path m_library;
    std::filesystem::path m_data;
};
