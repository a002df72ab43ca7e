#include "platform/machinery/DeviceRoot.h"

#include <cstdlib>

std::filesystem::path DeviceRoot::path()
{
    const char* root = std::getenv("HUSHLINE_DEVICE_ROOT");
    if (root && *root)
        return std::filesystem::path(root);
    return std::filesystem::current_path() / "device";
}

std::filesystem::path DeviceRoot::resolve(std::string_view phonePath)
{
    while (!phonePath.empty() && phonePath.front() == '/')
        phonePath.remove_prefix(1);
    return path() / std::filesystem::path(phonePath);
}

std::filesystem::path NSHomeDirectory()
{
    return DeviceRoot::resolve("/var/mobile");
}
