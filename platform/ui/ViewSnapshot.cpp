#include "platform/ui/ViewSnapshot.h"

#include "platform/base/NSArray.h"
#include "platform/base/NSData.h"
#include "platform/base/NSString.h"
#include "platform/graphics/UIImage.h"
#include "platform/ui/CALayer.h"
#include "platform/ui/UIView.h"
#include "platform/ui/internal/BitmapTarget.h"
#include "platform/ui/internal/PassScheduler.h"
#include "platform/ui/internal/ViewFormat.h"

namespace dv {

Ref<UIImage> snapshotView(const Ref<UIView>& view, CGFloat scale)
{
    if (!view || CGRectIsEmpty(view->bounds()))
        return nil;
    internal::PassScheduler::shared().runPasses();
    internal::BitmapTarget target(view->bounds().size, scale);
    if (!target.context())
        return nil;
    view->layer()->renderInContext(target.context());
    return target.finish();
}

bool writeSnapshotPNG(const Ref<UIView>& view, const std::string& path, CGFloat scale)
{
    auto png = UIImagePNGRepresentation(snapshotView(view, scale));
    return png && png->writeToFile(NSString::fromUTF8(path), true);
}

namespace {

// Texts are quoted, and so is any value with a quote or a line break in it.
bool needsQuotes(std::string_view key, std::string_view value)
{
    if (key == "text" || key == "title" || key == "placeholder")
        return true;
    return value.find_first_of("\"\n") != std::string_view::npos;
}

void dumpLine(const UIView& view, int depth, std::string& out)
{
    out.append(std::size_t(depth) * 2, ' ');
    out += view.className()->utf8() + " " + internal::ViewFormat::frame(view.frame());
    DescriptionFields fields;
    view.appendDescriptionFields(fields);
    for (auto& [key, value] : fields) {
        out += " " + key;
        if (!value.empty())
            out += "=" + (needsQuotes(key, value) ? internal::ViewFormat::quoted(value) : value);
    }
    out += "\n";
    const auto subviews = view.subviews();
    for (auto& sub : subviews->items())
        dumpLine(static_cast<const UIView&>(*sub), depth + 1, out);
}

} // namespace

std::string dumpViewTree(const Ref<UIView>& view)
{
    if (!view)
        return {};
    internal::PassScheduler::shared().runPasses();
    std::string out;
    dumpLine(*view, 0, out);
    return out;
}

} // namespace dv
