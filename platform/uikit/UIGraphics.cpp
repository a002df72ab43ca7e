#include "platform/uikit/UIGraphics.h"

#include "platform/uikit/UIColor.h"
#include "platform/uikit/UIImage.h"

#include <vector>

namespace {

struct ImageContext {
    UIImage::Drawing drawing;
    std::shared_ptr<UIColor> fill;
};

std::vector<ImageContext>& contexts()
{
    thread_local std::vector<ImageContext> stack;
    return stack;
}

ImageContext* current()
{
    auto& stack = contexts();
    return stack.empty() ? nullptr : &stack.back();
}

}

void UIGraphicsBeginImageContextWithOptions(CGSize size, bool opaque, double scale)
{
    ImageContext context;
    context.drawing.size = size;
    context.drawing.opaque = opaque;
    // A scale of 0 means the main screen's.
    context.drawing.scale = scale > 0 ? scale : 2.0;
    contexts().push_back(std::move(context));
}

std::shared_ptr<UIImage> UIGraphicsGetImageFromCurrentImageContext()
{
    auto* context = current();
    return context ? UIImage::imageWithDrawing(context->drawing) : nullptr;
}

void UIGraphicsEndImageContext()
{
    if (!contexts().empty())
        contexts().pop_back();
}

void UIRectFill(const CGRect& rect)
{
    if (auto* context = current())
        UIGraphicsFillRectWithColor(rect, context->fill);
}

void UIGraphicsFillRectWithColor(const CGRect& rect, const std::shared_ptr<UIColor>& color)
{
    auto* context = current();
    if (!context || !color || rect.width <= 0 || rect.height <= 0)
        return;
    context->drawing.fillColor = color;
}

void UIGraphicsSetFillColor(const std::shared_ptr<UIColor>& color)
{
    if (auto* context = current())
        context->fill = color;
}

std::shared_ptr<UIBezierPath> UIBezierPath::bezierPathWithRoundedRect(const CGRect& rect, double cornerRadius)
{
    auto path = std::make_shared<UIBezierPath>();
    path->m_rect = rect;
    path->m_cornerRadius = cornerRadius;
    return path;
}

void UIBezierPath::addClip() const
{
    if (auto* context = current())
        context->drawing.clipCornerRadius = m_cornerRadius;
}
