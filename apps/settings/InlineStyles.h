#pragma once

#include <functional>
#include <optional>
#include <string>

// A page whose stylesheets of its own come inside it: each `<link rel="stylesheet" href="…">`
// naming one of the page's files becomes a `<style>` element with the file's text, so that the
// browser can paint the page as soon as the page itself has arrived, without a request more. A
// link whose file cannot be read, or whose text could end the element, stays a link.
class InlineStyles {
public:
    // The text of the page's file at the address (/page/…); none when there is no such file.
    using Read = std::function<std::optional<std::string>(const std::string& address)>;

    static std::string apply(std::string html, const Read&);
};
