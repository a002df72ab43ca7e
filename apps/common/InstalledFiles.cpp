#include "apps/common/InstalledFiles.h"

#include <stdexcept>

#if !defined(HUSHLINE_BIN_TO_PKGLIB) || !defined(HUSHLINE_PKGLIB_TO_PKGDATA)
#error "the build names the layout's relative paths (cmake/Layout.cmake)"
#endif

namespace {

// The running program's folder, through any links to it.
std::filesystem::path ownFolder()
{
    std::error_code error;
    auto self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error)
        throw std::runtime_error("cannot find the running program: " + error.message());
    return self.parent_path();
}

}

InstalledFiles::InstalledFiles(std::filesystem::path library)
    : m_library(std::move(library))
    , m_data((m_library / HUSHLINE_PKGLIB_TO_PKGDATA).lexically_normal())
{
    if (!m_data.empty() && !m_data.has_filename())
        m_data = m_data.parent_path();
}

InstalledFiles InstalledFiles::fromPhonectl()
{
    auto library = (ownFolder() / HUSHLINE_BIN_TO_PKGLIB).lexically_normal();
    if (!library.has_filename())
        library = library.parent_path();
    return InstalledFiles(library);
}

InstalledFiles InstalledFiles::fromHost()
{
    return InstalledFiles(ownFolder());
}

InstalledFiles InstalledFiles::atLibraryFolder(std::filesystem::path library)
{
    return InstalledFiles(std::move(library));
}
