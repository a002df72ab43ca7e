#pragma once

#include <optional>
#include <string>
#include <string_view>

// What a request's headers say about the answer the client wants.

// Whether Accept-Encoding takes the content coding (as "gzip"): named, or by "*", with a quality
// above zero. No header takes none but identity.
bool acceptsCoding(const std::optional<std::string>& acceptEncoding, std::string_view coding);

// Whether If-None-Match names the entity tag (or is "*"): the client's copy is current. Tags
// compare weakly (W/ ignored), as RFC 9110 asks of If-None-Match.
bool matchesEntityTag(const std::optional<std::string>& ifNoneMatch, std::string_view entityTag);
