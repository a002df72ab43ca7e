#pragma once

#include <string>

// The footer under the "Contact Velloq" group: the product, its version and the copyright of
// the given year.
std::string hl_versionFooter(long year);
// The share text of the product.
std::string hl_shareMessage();
