#include "core/HLLog.h"

std::string hl_qualifiedFunctionName(std::string_view pretty)
{
    // "void HLProfilesManager::loadProfiles()" -> "HLProfilesManager::loadProfiles". The first
    // parenthesis ends the function's own name, also inside a lambda of that function.
    size_t open = pretty.find('(');
    std::string_view name = pretty.substr(0, open);
    size_t space = name.rfind(' ');
    if (space != std::string_view::npos)
        name = name.substr(space + 1);
    while (!name.empty() && (name.front() == '*' || name.front() == '&'))
        name.remove_prefix(1);
    return std::string(name);
}
