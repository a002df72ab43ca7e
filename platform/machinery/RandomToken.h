#pragma once

#include <string>

// 128 random bits from the system's source, as 32 lowercase hex digits: a name no one can guess
// or repeat (a page's tab, a script's nonce).
std::string randomToken();
