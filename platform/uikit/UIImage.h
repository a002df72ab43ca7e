#pragma once

#include "platform/foundation/NSObject.h"
#include "platform/uikit/CGGeometry.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

class UIColor;

// An image read from a PNG file of the phone, or drawn in an image context (UIGraphics.h). The
// picture of a file is never decoded here: the Settings host hands the file to the page that
// draws it. A drawn image keeps what was drawn as data: the colour that fills it and the rounded
// clip it was drawn through.
class UIImage : public NSObject {
public:
    struct Drawing {
        CGSize size;
        double scale { 1 };
        bool opaque { false };
        std::shared_ptr<UIColor> fillColor;
        // The corner radius of the rounded clip, 0 for none.
        double clipCornerRadius { 0 };
    };

    // The image "<name>.png" (or "<name>@2x.png") in the bundle folder at a phone path; null when
    // there is no such file.
    static std::shared_ptr<UIImage> imageNamed(const std::string& name, const std::string& bundlePhonePath);
    // The image in a file at a phone path; null when the file is missing or not a PNG file.
    static std::shared_ptr<UIImage> imageWithContentsOfFile(const std::string& phonePath);

    static std::shared_ptr<UIImage> imageWithDrawing(Drawing drawing);

    // Draws the image into the current image context, filling the rectangle.
    void drawInRect(const CGRect& rect) const;

    // A drawn image's content; empty for an image of a file.
    const std::optional<Drawing>& drawing() const { return m_drawing; }
    CGSize size() const { return m_drawing ? m_drawing->size : CGSize {}; }
    double scale() const { return m_drawing ? m_drawing->scale : 1; }

    // The file's phone path (empty for a drawn image) and its name without folder and extension.
    const std::string& phonePath() const { return m_phonePath; }
    std::string name() const;

    bool isEqual(const std::shared_ptr<const NSObject>& other) const override;
    std::string description() const override { return "UIImage " + m_phonePath; }

    explicit UIImage(std::string phonePath) : m_phonePath(std::move(phonePath)) { }

private:
    std::string m_phonePath;
    std::optional<Drawing> m_drawing;
};
