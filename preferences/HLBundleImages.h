#pragma once

#include <memory>
#include <string>

class UIColor;
class UIImage;

// The settings bundle's own images ("nav", "twitter", "Hushline", "Misc", "email", ...).
std::shared_ptr<UIImage> hl_bundleImage(const std::string& name);

// The navigation colour: the pattern colour of the bundle image "nav" (the resource "nav" of type
// "png", or the image named "nav" when that file cannot be read). It tints navigation bars,
// detail texts and checkmarks throughout.
std::shared_ptr<UIColor> hl_navigationColor();
