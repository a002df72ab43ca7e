#pragma once

#include <functional>

// The end every host program shares: runs the host, says on the error stream, under the
// program's name, why it could not start, and ends the process without static destructors. The
// loaded plug-ins' singletons live until the process ends, as on the phone, so nothing may be
// destroyed after the libraries' objects are gone.
[[noreturn]] void runHostAndExit(const char* program, const std::function<int()>& host);
