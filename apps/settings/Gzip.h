#pragma once

#include <string>
#include <string_view>

// The bytes in gzip's format (zlib, best compression): the page's files are compressed once and
// kept, so the slowest level costs nothing per request.
std::string gzip(std::string_view bytes);
