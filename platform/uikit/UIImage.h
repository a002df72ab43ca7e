#pragma once

#include "platform/foundation/NSObject.h"

#include <filesystem>
#include <memory>
#include <string>

// An image read from a PNG file of the phone. The picture itself is never decoded here: the
// Settings host hands the file to the page that draws it.
class UIImage : public NSObject {
public:
    // The image "<name>.png" (or "<name>@2x.png") in the bundle folder at a phone path; null when
    // there is no such file.
    static std::shared_ptr<UIImage> imageNamed(const std::string& name, const std::string& bundlePhonePath);
    // The image in a file at a phone path; null when the file is missing or not a PNG file.
    static std::shared_ptr<UIImage> imageWithContentsOfFile(const std::string& phonePath);

    // The file's phone path and its name without folder and extension.
    const std::string& phonePath() const { return m_phonePath; }
    std::string name() const;

    bool isEqual(const std::shared_ptr<const NSObject>& other) const override;
    std::string description() const override { return "UIImage " + m_phonePath; }

    explicit UIImage(std::string phonePath) : m_phonePath(std::move(phonePath)) { }

private:
    std::string m_phonePath;
};
