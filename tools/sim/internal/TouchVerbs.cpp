// Touching and typing: what a person's fingers do on the screen, found by what it shows.
#include "tools/sim/internal/Verbs.h"

#include "tools/sim/ScriptRunner.h"
#include "tools/sim/internal/ScreenSearch.h"

#include "app/shell/navigation/ScreenFactory.h"

#include "platform/base/NSIndexPath.h"
#include "platform/base/NSString.h"
#include "platform/graphics/UIColor.h"
#include "platform/graphics/UIGraphics.h"
#include "platform/graphics/UIImage.h"
#include "platform/system/PrivacyAccess.h"
#include "platform/testing/UIDriver.h"
#include "platform/testing/support/RunLoopWaits.h"
#include "platform/ui/UIBarButtonItem.h"
#include "platform/ui/UICollectionView.h"
#include "platform/ui/UIImagePickerController.h"
#include "platform/ui/UINavigationController.h"
#include "platform/ui/UINavigationItem.h"
#include "platform/ui/UIPickerView.h"
#include "platform/ui/UIScrollView.h"
#include "platform/ui/UITableView.h"

#include <algorithm>

using dv::sim::ScriptCommand;

namespace dv::internal::sim {

namespace {

using dv::testing::UIDriver;
using dv::testing::ViewQuery;

constexpr double kLongPress = 0.6;

template <class T>
Ref<T> frontmost(const UIDriver& ui)
{
    Ref<T> found;
    for (const auto& view : ui.findAll<T>())
        if (ui.isVisible(view))
            found = view;
    return found;
}

// A picture for the image picker: coloured bands with a white square, drawn here once (the
// album shows it as one picture however often it is picked).
Ref<UIImage> drawSamplePicture()
{
    UIGraphicsBeginImageContextWithOptions(CGSizeMake(300, 300), true, 1);
    const Ref<UIColor> bands[] = { UIColor::colorWithRed(0.16, 0.5, 0.73, 1), UIColor::colorWithRed(0.9, 0.49, 0.13, 1),
        UIColor::colorWithRed(0.15, 0.68, 0.38, 1) };
    for (int i = 0; i < 3; ++i) {
        bands[i]->setFill();
        UIRectFill(CGRectMake(0, i * 100, 300, 100));
    }
    UIColor::whiteColor()->setFill();
    UIRectFill(CGRectMake(100, 100, 100, 100));
    auto image = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    return image;
}

Ref<UIImage> samplePicture()
{
    static const Ref<UIImage> picture = drawSamplePicture();
    return picture;
}

// A tap or a long press of `seconds` on what shows the target, found (and scrolled to) first.
Result<void> touchTarget(VerbContext& context, const Target& target, std::optional<double> seconds)
{
    auto& ui = context.ui();
    DV_TRY_ASSIGN(const CGPoint point, reachTarget(ui, target, context.findTimeout()));
    if (seconds ? ui.longPress(point, *seconds) : ui.tap(point))
        return {};
    return Failure("nothing takes a touch where " + target.describe() + " shows");
}

Target textOf(const ScriptCommand& command) { return { Target::Kind::Text, command.arguments[0] }; }
Target pictureOf(const ScriptCommand& command) { return { Target::Kind::Picture, command.arguments[0] }; }

std::optional<double> holdOf(const ScriptCommand& command, std::size_t index)
{
    return command.arguments.size() > index ? command.number(index) : kLongPress;
}

Result<void> touchAt(VerbContext& context, const ScriptCommand& command, std::optional<double> seconds)
{
    const CGPoint point = CGPointMake(command.number(0), command.number(1));
    if (seconds ? context.ui().longPress(point, *seconds) : context.ui().tap(point))
        return {};
    return Failure("nothing takes a touch there");
}

// A key press that needs a focused field: done, or the failure that no field has the focus.
Result<void> focused(bool pressed)
{
    if (pressed)
        return {};
    return Failure("no text field or text view has the focus");
}

Result<void> deleteBackward(VerbContext& context, const ScriptCommand& command)
{
    return focused(context.ui().deleteBackward(command.arguments.empty() ? 1 : static_cast<int>(command.number(0))));
}

Result<void> hideKeyboard(VerbContext& context, const ScriptCommand&)
{
    context.ui().resignFocus();
    return {};
}

Result<void> back(VerbContext& context, const ScriptCommand&)
{
    context.settle();
    return dv::sim::goBack();
}

Result<void> tapRow(VerbContext& context, const ScriptCommand& command)
{
    auto& ui = context.ui();
    const auto row = static_cast<NSInteger>(command.number(0));
    const auto section = static_cast<NSInteger>(command.arguments.size() > 1 ? command.number(1) : 0);
    Ref<UITableView> table;
    Ref<UICollectionView> collection;
    dv::testing::runMainLoopUntil([&] {
        table = frontmost<UITableView>(ui);
        collection = table ? nil : frontmost<UICollectionView>(ui);
        if (table)
            return section < table->numberOfSections() && row < table->numberOfRowsInSection(section);
        if (collection)
            return section < collection->numberOfSections() && row < collection->numberOfItemsInSection(section);
        return false;
    }, context.findTimeout());
    if (!table && !collection)
        return Failure("no list shows on the screen");
    const bool tapped = table ? ui.tapRow(table, NSIndexPath::indexPathForRow(row, section))
                              : ui.tapItem(collection, NSIndexPath::indexPathForItem(row, section));
    if (tapped)
        return {};
    const NSInteger rows = table ? (section < table->numberOfSections() ? table->numberOfRowsInSection(section) : 0)
                                 : (section < collection->numberOfSections() ? collection->numberOfItemsInSection(section) : 0);
    return Failure("the list has " + std::to_string(rows) + " rows in section " + std::to_string(section) + " (waited "
        + seconds(context.findTimeout()) + ")");
}

Result<void> drag(VerbContext& context, const ScriptCommand& command)
{
    if (context.ui().pan(CGPointMake(command.number(0), command.number(1)), CGPointMake(command.number(2), command.number(3))))
        return {};
    return Failure("nothing takes a touch there");
}

Result<void> scrollBy(VerbContext& context, const ScriptCommand& command)
{
    auto scroll = mainScrollView(context.ui());
    if (!scroll)
        return Failure("nothing on the screen scrolls");
    if (context.ui().dragScrollView(scroll, CGPointMake(command.number(0), command.number(1))))
        return {};
    return Failure("the scroll view cannot be touched");
}

Result<void> swipe(VerbContext& context, const ScriptCommand& command)
{
    auto scroll = mainScrollView(context.ui());
    if (!scroll)
        return Failure("nothing on the screen scrolls");
    const auto& way = command.arguments[0];
    const auto direction = way == "left" ? dv::testing::SwipeDirection::Left
        : way == "right"                 ? dv::testing::SwipeDirection::Right
        : way == "up"                    ? dv::testing::SwipeDirection::Up
                                         : dv::testing::SwipeDirection::Down;
    if (context.ui().swipePage(scroll, direction))
        return {};
    return Failure("the scroll view cannot be touched");
}

Result<void> spin(VerbContext& context, const ScriptCommand& command)
{
    auto& ui = context.ui();
    Ref<UIPickerView> picker;
    dv::testing::runMainLoopUntil([&] { return (picker = frontmost<UIPickerView>(ui)) != nil; }, context.findTimeout());
    if (!picker)
        return Failure("no picker shows (waited " + seconds(context.findTimeout()) + ")");
    const auto wheel = static_cast<NSInteger>(command.number(0));
    const auto row = static_cast<NSInteger>(command.number(1));
    if (wheel >= picker->numberOfComponents())
        return Failure("the picker has " + std::to_string(picker->numberOfComponents()) + " wheels");
    // The rows of a wheel may come from the server after the wheel before it turned.
    dv::testing::runMainLoopUntil([&] { return row < picker->numberOfRowsInComponent(wheel); }, context.findTimeout());
    if (row >= picker->numberOfRowsInComponent(wheel))
        return Failure("wheel " + std::to_string(wheel) + " has " + std::to_string(picker->numberOfRowsInComponent(wheel)) + " rows");
    if (ui.spinPicker(picker, wheel, row) && picker->selectedRowInComponent(wheel) == row) {
        ui.runUntilIdle();
        return {};
    }
    return Failure("the wheel did not stop at row " + std::to_string(row));
}

Result<void> focus(VerbContext& context, const ScriptCommand& command)
{
    auto& ui = context.ui();
    const auto& text = command.arguments[0];
    Ref<UIView> field;
    dv::testing::runMainLoopUntil([&] {
        field = ui.find(ViewQuery().withPlaceholder(text));
        if (!field || !ui.isVisible(field)) {
            auto views = viewsShowing(ui, { Target::Kind::Text, text });
            field = views.empty() ? nil : views.front();
        }
        return field != nil;
    }, context.findTimeout());
    if (!field)
        return Failure("no field shows \"" + text + "\"");
    if (ui.focus(field))
        return {};
    return Failure("the view showing \"" + text + "\" does not take the focus");
}

Result<void> tapBar(VerbContext& context, const ScriptCommand& command)
{
    context.settle();
    const auto& side = command.arguments[0];
    auto top = context.ui().topViewController();
    auto item = top ? (side == "left" ? top->navigationItem()->leftBarButtonItem() : top->navigationItem()->rightBarButtonItem()) : nil;
    if (!item)
        return Failure("the navigation bar has no " + side + " button");
    if (context.ui().tap(item))
        return {};
    return Failure("the " + side + " button cannot be touched");
}

// The home screen's way of opening a feature: the screen made by its class name, titled, pushed
// animated on the navigation controller on screen.
Result<void> openScreen(VerbContext& context, const ScriptCommand& command)
{
    context.settle();
    auto navigation = context.ui().navigationController();
    if (!navigation)
        return Failure("no navigation controller shows");
    auto screen = dv::app::makeScreen(command.arguments[0]);
    if (!screen)
        return Failure("no screen class " + command.arguments[0] + " is in the application");
    if (command.arguments.size() > 1)
        screen->setTitle(NSString::fromUTF8(command.arguments[1]));
    navigation->pushViewController(screen, true);
    context.ui().runUntilIdle();
    return {};
}

// A tap on a button of the alert on top, once it has come up (an alert that waited behind another
// comes up as that one goes).
Result<void> tapAlertButton(VerbContext& context, const UIDriver::Alert& alert, const std::string& button)
{
    if (std::find(alert.buttons.begin(), alert.buttons.end(), button) == alert.buttons.end())
        return Failure("the alert \"" + alert.title + "\" has no button \"" + button + "\"");
    const auto before = context.ui().visibleAlerts().size();
    if (dv::testing::runMainLoopUntil([&] { return context.ui().tapAlertButton(button); }, context.findTimeout())) {
        // The alert goes; what it covered is the person's again once it has.
        dv::testing::runMainLoopUntil([&] { return context.ui().visibleAlerts().size() < before; }, context.findTimeout());
        context.settle();
        return {};
    }
    return Failure("the button \"" + button + "\" of the alert \"" + alert.title + "\" cannot be touched");
}

Result<void> answerAlert(VerbContext& context, const ScriptCommand& command)
{
    auto& ui = context.ui();
    dv::testing::runMainLoopUntil([&] { return !ui.visibleAlerts().empty(); }, context.findTimeout());
    auto alerts = ui.visibleAlerts();
    if (alerts.empty())
        return Failure("no alert shows (waited " + seconds(context.findTimeout()) + ")");
    return tapAlertButton(context, alerts.back(), command.arguments[0]);
}

// The alert a person is asked to answer, by its title or (for alerts of one title, such as the
// push alerts) its message; it must be the one on top.
Result<void> chooseInAlert(VerbContext& context, const ScriptCommand& command)
{
    const std::string& title = command.arguments[0];
    auto& ui = context.ui();
    auto find = [&]() -> std::optional<std::size_t> {
        auto alerts = ui.visibleAlerts();
        for (std::size_t i = alerts.size(); i-- > 0;)
            if (alerts[i].title == title)
                return i;
        for (std::size_t i = alerts.size(); i-- > 0;)
            if (alerts[i].message == title)
                return i;
        return std::nullopt;
    };
    dv::testing::runMainLoopUntil([&] { return find().has_value() && *find() + 1 == ui.visibleAlerts().size(); }, context.findTimeout());
    auto alerts = ui.visibleAlerts();
    auto index = find();
    if (!index) {
        std::string reason = "no alert \"" + title + "\" shows (waited " + seconds(context.findTimeout()) + ")";
        for (std::size_t i = 0; i < alerts.size(); ++i)
            reason += (i ? ", \"" : "; the alerts: \"") + alerts[i].title + "\"";
        return Failure(reason);
    }
    if (*index + 1 != alerts.size())
        return Failure("the alert \"" + title + "\" waits under \"" + alerts.back().title + "\" (" + alerts.back().message + "), which is answered first");
    return tapAlertButton(context, alerts.back(), command.arguments[1]);
}

Result<void> pickImage(VerbContext& context, const ScriptCommand&)
{
    auto& ui = context.ui();
    dv::testing::runMainLoopUntil([&] { return ui.imagePicker() != nil; }, context.findTimeout());
    if (!ui.imagePicker())
        return Failure("no image picker shows (waited " + seconds(context.findTimeout()) + ")");
    // The picker's grid shows pictures once the person has answered whether the application may
    // see them (the camera once it may use it).
    dv::testing::runMainLoopUntil([&] {
        return dv::PrivacyAccess::status(dv::PrivacyService::photos) != dv::PrivacyStatus::notDetermined
            || dv::PrivacyAccess::status(dv::PrivacyService::camera) != dv::PrivacyStatus::notDetermined;
    }, context.findTimeout());
    // And once what covered the screen (the sheet that offered the album) has faded away.
    context.settle();
    if (ui.pickImage(samplePicture()))
        return {};
    return Failure("the image picker offers nothing to pick");
}

} // namespace

std::vector<Verb> touchVerbs()
{
    return {
        { "tap", { text("TEXT") }, 1, Phase::Application, Effect::Acts, Checkable::No,
            "taps the view that shows TEXT, scrolling lists and pages to it (waits for it up to 15 s)",
            [](VerbContext& context, const ScriptCommand& command) { return touchTarget(context, textOf(command), std::nullopt); } },
        { "tap-at", { number("X"), number("Y") }, 2, Phase::Application, Effect::Acts, Checkable::No, "taps the point X,Y of the screen (points)",
            [](VerbContext& context, const ScriptCommand& command) { return touchAt(context, command, std::nullopt); } },
        { "tap-image", { text("NAME") }, 1, Phase::Application, Effect::Acts, Checkable::No,
            "taps the button or image view showing the picture NAME (a resource name, or part of the URL it was loaded from)",
            [](VerbContext& context, const ScriptCommand& command) { return touchTarget(context, pictureOf(command), std::nullopt); } },
        { "tap-row", { number("ROW"), number("SECTION") }, 1, Phase::Application, Effect::Acts, Checkable::No,
            "taps row ROW (from 0) of the list on screen, scrolling to it (waits for it up to 15 s)", tapRow },
        { "long-press", { text("TEXT"), number("SECONDS") }, 1, Phase::Application, Effect::Acts, Checkable::No,
            "holds a finger on the view that shows TEXT (for SECONDS, default 0.6)",
            [](VerbContext& context, const ScriptCommand& command) { return touchTarget(context, textOf(command), holdOf(command, 1)); } },
        { "long-press-at", { number("X"), number("Y"), number("SECONDS") }, 2, Phase::Application, Effect::Acts, Checkable::No,
            "holds a finger on the point X,Y (for SECONDS, default 0.6)",
            [](VerbContext& context, const ScriptCommand& command) { return touchAt(context, command, holdOf(command, 2)); } },
        { "long-press-image", { text("NAME"), number("SECONDS") }, 1, Phase::Application, Effect::Acts, Checkable::No,
            "holds a finger on the button or image view showing the picture NAME (for SECONDS, default 0.6)",
            [](VerbContext& context, const ScriptCommand& command) { return touchTarget(context, pictureOf(command), holdOf(command, 1)); } },
        { "drag", { signedNumber("X"), signedNumber("Y"), signedNumber("DX"), signedNumber("DY") }, 4, Phase::Application, Effect::Acts,
            Checkable::No, "drags a finger from the point X,Y by DX,DY", drag },
        { "scroll", { signedNumber("DX"), signedNumber("DY") }, 2, Phase::Application, Effect::Acts, Checkable::No,
            "scrolls the scroll view on screen by DX,DY points with a finger: DY 300 shows what lies 300 points further down "
            "(the content moves up), DY -300 goes back up; past an edge the content springs back",
            scrollBy },
        { "swipe", { choice("DIRECTION", { "left", "right", "up", "down" }) }, 1, Phase::Application, Effect::Acts, Checkable::No,
            "a quick stroke of the finger that way, which turns a page of the scroll view on screen", swipe },
        { "spin", { number("WHEEL"), number("ROW") }, 2, Phase::Application, Effect::Acts, Checkable::No,
            "turns wheel WHEEL (from 0) of the picker on screen to row ROW with the finger", spin },
        { "focus", { text("TEXT") }, 1, Phase::Application, Effect::Acts, Checkable::No,
            "taps the text field showing TEXT or the placeholder TEXT and puts the caret at the end of its text (tap-at puts it "
            "where it taps)",
            focus },
        { "type", { text("TEXT") }, 1, Phase::Application, Effect::Acts, Checkable::No,
            "types TEXT into the focused field at its caret (\\n presses return)",
            [](VerbContext& context, const ScriptCommand& command) { return focused(context.ui().typeText(command.arguments[0])); } },
        { "delete", { number("TIMES") }, 0, Phase::Application, Effect::Acts, Checkable::No, "presses the delete key (TIMES times)",
            deleteBackward },
        { "return", {}, 0, Phase::Application, Effect::Acts, Checkable::No, "presses the return key",
            [](VerbContext& context, const ScriptCommand&) { return focused(context.ui().pressReturn()); } },
        { "hide-keyboard", {}, 0, Phase::Application, Effect::Acts, Checkable::No, "ends editing, as a tap outside the field does",
            hideKeyboard },
        { "tap-bar", { choice("SIDE", { "left", "right" }) }, 1, Phase::Application, Effect::Acts, Checkable::No,
            "taps the left or right button of the navigation bar", tapBar },
        { "back", {}, 0, Phase::Application, Effect::Acts, Checkable::No, "goes back: the navigation bar's back button, or the back swipe",
            back },
        { "open", { text("CLASS"), text("TITLE") }, 1, Phase::Application, Effect::Acts, Checkable::No,
            "pushes a new screen of class CLASS (titled TITLE) as a home tile does (--tiles lists sets of tiles that lead to every screen)",
            openScreen },
        { "alert", { text("BUTTON") }, 1, Phase::Application, Effect::Acts, Checkable::No, "taps BUTTON of the alert on top (waits for one up to 15 s)",
            answerAlert },
        { "alert-choose", { text("TITLE"), text("BUTTON") }, 2, Phase::Application, Effect::Acts, Checkable::No,
            "when several alerts wait: taps BUTTON of the one titled TITLE (or with the message TITLE), which must be on top",
            chooseInAlert },
        { "pick-image", {}, 0, Phase::Application, Effect::Acts, Checkable::No, "picks a picture in the image picker on screen", pickImage },
    };
}

} // namespace dv::internal::sim
