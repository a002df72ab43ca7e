#pragma once

#include <string>

// Text made safe inside XML or HTML, as an element's content or a quoted attribute's value:
// the five characters that could end either are written as references.
std::string escapeMarkup(const std::string& text);
