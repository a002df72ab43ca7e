#pragma once

#include "platform/preferences/PSListController.h"

#include <memory>
#include <string>

class PSViewController;
class PSSpecifier;
class UINavigationController;

// PSViewController(Velloq): row look-ups. The searches run from the last row to the first and
// the first hit wins.

// The outermost navigation controller above the controller's own; none when it has none.
std::shared_ptr<UINavigationController> __vqRealNavigationController(const PSViewController&);
// By the row's "label" property, ignoring case; -1 / none when nothing matches.
long vq__identifierIndex(const PSListController::Specifiers&, const std::string& label);
std::shared_ptr<PSSpecifier> vq__specifierForIdentifier(const PSListController::Specifiers&, const std::string& label);
// By the row's identifier; -1 / none when nothing matches.
long vq__indexByIdentifier(const PSListController::Specifiers&, const std::string& identifier);
std::shared_ptr<PSSpecifier> vq__specifierByIdentifier(const PSListController::Specifiers&, const std::string& identifier);
