// Touching and typing: what a person's fingers do on the screen, found by what it shows.
#include "tools/sim/internal/Verbs.h"

#include "tools/sim/ScriptRunner.h"
#include "tools/sim/internal/ScreenSearch.h"

#include "app/shell/navigation/ScreenFactory.h"

#include "platform/base/NSIndexPath.h"
#include "platform/base/NSString.h"
#include "platform/dispatch/TestSupport.h"
#include "platform/graphics/UIColor.h"
#include "platform/graphics/UIGraphics.h"
#include "platform/graphics/UIImage.h"
#include "platform/system/PrivacyAccess.h"
#include "platform/testing/UIDriver.h"
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
bool touchTarget(VerbContext& context, const Target& target, std::optional<double> seconds, std::string& reason)
{
    auto& ui = context.ui();
    auto point = reachTarget(ui, target, context.findTimeout(), reason);
    if (!point)
        return false;
    if (seconds ? ui.longPress(*point, *seconds) : ui.tap(*point))
        return true;
    reason = "nothing takes a touch where " + target.describe() + " shows";
    return false;
}

std::optional<double> holdOf(const ScriptCommand& command, std::size_t index)
{
    return command.arguments.size() > index ? command.number(index) : kLongPress;
}

bool touchAt(VerbContext& context, const ScriptCommand& command, std::optional<double> seconds, std::string& reason)
{
    const CGPoint point = CGPointMake(command.number(0), command.number(1));
    if (seconds ? context.ui().longPress(point, *seconds) : context.ui().tap(point))
        return true;
    reason = "nothing takes a touch there";
    return false;
}

bool noFocus(std::string& reason)
{
    reason = "no text field or text view has the focus";
    return false;
}

bool tapRow(VerbContext& context, const ScriptCommand& command, std::string& reason)
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
    if (!table && !collection) {
        reason = "no list shows on the screen";
        return false;
    }
    const bool tapped = table ? ui.tapRow(table, NSIndexPath::indexPathForRow(row, section))
                              : ui.tapItem(collection, NSIndexPath::indexPathForItem(row, section));
    if (tapped)
        return true;
    const NSInteger rows = table ? (section < table->numberOfSections() ? table->numberOfRowsInSection(section) : 0)
                                 : (section < collection->numberOfSections() ? collection->numberOfItemsInSection(section) : 0);
    reason = "the list has " + std::to_string(rows) + " rows in section " + std::to_string(section) + " (waited "
        + seconds(context.findTimeout()) + ")";
    return false;
}

bool spin(VerbContext& context, const ScriptCommand& command, std::string& reason)
{
    auto& ui = context.ui();
    Ref<UIPickerView> picker;
    dv::testing::runMainLoopUntil([&] { return (picker = frontmost<UIPickerView>(ui)) != nil; }, context.findTimeout());
    if (!picker) {
        reason = "no picker shows (waited " + seconds(context.findTimeout()) + ")";
        return false;
    }
    const auto wheel = static_cast<NSInteger>(command.number(0));
    const auto row = static_cast<NSInteger>(command.number(1));
    if (wheel >= picker->numberOfComponents()) {
        reason = "the picker has " + std::to_string(picker->numberOfComponents()) + " wheels";
        return false;
    }
    // The rows of a wheel may come from the server after the wheel before it turned.
    dv::testing::runMainLoopUntil([&] { return row < picker->numberOfRowsInComponent(wheel); }, context.findTimeout());
    if (row >= picker->numberOfRowsInComponent(wheel)) {
        reason = "wheel " + std::to_string(wheel) + " has " + std::to_string(picker->numberOfRowsInComponent(wheel)) + " rows";
        return false;
    }
    if (ui.spinPicker(picker, wheel, row) && picker->selectedRowInComponent(wheel) == row) {
        ui.runUntilIdle();
        return true;
    }
    reason = "the wheel did not stop at row " + std::to_string(row);
    return false;
}

bool focus(VerbContext& context, const ScriptCommand& command, std::string& reason)
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
    if (!field) {
        reason = "no field shows \"" + text + "\"";
        return false;
    }
    if (ui.focus(field))
        return true;
    reason = "the view showing \"" + text + "\" does not take the focus";
    return false;
}

// A tap on a button of the alert on top, once it has come up (an alert that waited behind another
// comes up as that one goes).
bool tapAlertButton(VerbContext& context, const UIDriver::Alert& alert, const std::string& button, std::string& reason)
{
    if (std::find(alert.buttons.begin(), alert.buttons.end(), button) == alert.buttons.end()) {
        reason = "the alert \"" + alert.title + "\" has no button \"" + button + "\"";
        return false;
    }
    const auto before = context.ui().visibleAlerts().size();
    if (dv::testing::runMainLoopUntil([&] { return context.ui().tapAlertButton(button); }, context.findTimeout())) {
        // The alert goes; what it covered is the person's again once it has.
        dv::testing::runMainLoopUntil([&] { return context.ui().visibleAlerts().size() < before; }, context.findTimeout());
        context.settle();
        return true;
    }
    reason = "the button \"" + button + "\" of the alert \"" + alert.title + "\" cannot be touched";
    return false;
}

// The alert a person is asked to answer, by its title or (for alerts of one title, such as the
// push alerts) its message; it must be the one on top.
bool chooseInAlert(VerbContext& context, const std::string& title, const std::string& button, std::string& reason)
{
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
        reason = "no alert \"" + title + "\" shows (waited " + seconds(context.findTimeout()) + ")";
        for (std::size_t i = 0; i < alerts.size(); ++i)
            reason += (i ? ", \"" : "; the alerts: \"") + alerts[i].title + "\"";
        return false;
    }
    if (*index + 1 != alerts.size()) {
        reason = "the alert \"" + title + "\" waits under \"" + alerts.back().title + "\" (" + alerts.back().message + "), which is answered first";
        return false;
    }
    return tapAlertButton(context, alerts.back(), button, reason);
}

} // namespace

std::vector<Verb> touchVerbs()
{
    return {
        { "tap", { text("TEXT") }, 1, Phase::Application, Effect::Acts, Checkable::No,
            "taps the view that shows TEXT, scrolling lists and pages to it (waits for it up to 15 s)",
            [](VerbContext& context, const ScriptCommand& command, std::string& reason) {
                return touchTarget(context, { Target::Kind::Text, command.arguments[0] }, std::nullopt, reason);
            } },
        { "tap-at", { number("X"), number("Y") }, 2, Phase::Application, Effect::Acts, Checkable::No, "taps the point X,Y of the screen (points)",
            [](VerbContext& context, const ScriptCommand& command, std::string& reason) { return touchAt(context, command, std::nullopt, reason); } },
        { "tap-image", { text("NAME") }, 1, Phase::Application, Effect::Acts, Checkable::No,
            "taps the button or image view showing the picture NAME (a resource name, or part of the URL it was loaded from)",
            [](VerbContext& context, const ScriptCommand& command, std::string& reason) {
                return touchTarget(context, { Target::Kind::Picture, command.arguments[0] }, std::nullopt, reason);
            } },
        { "tap-row", { number("ROW"), number("SECTION") }, 1, Phase::Application, Effect::Acts, Checkable::No,
            "taps row ROW (from 0) of the list on screen, scrolling to it (waits for it up to 15 s)", tapRow },
        { "long-press", { text("TEXT"), number("SECONDS") }, 1, Phase::Application, Effect::Acts, Checkable::No,
            "holds a finger on the view that shows TEXT (for SECONDS, default 0.6)",
            [](VerbContext& context, const ScriptCommand& command, std::string& reason) {
                return touchTarget(context, { Target::Kind::Text, command.arguments[0] }, holdOf(command, 1), reason);
            } },
        { "long-press-at", { number("X"), number("Y"), number("SECONDS") }, 2, Phase::Application, Effect::Acts, Checkable::No,
            "holds a finger on the point X,Y (for SECONDS, default 0.6)",
            [](VerbContext& context, const ScriptCommand& command, std::string& reason) { return touchAt(context, command, holdOf(command, 2), reason); } },
        { "long-press-image", { text("NAME"), number("SECONDS") }, 1, Phase::Application, Effect::Acts, Checkable::No,
            "holds a finger on the button or image view showing the picture NAME (for SECONDS, default 0.6)",
            [](VerbContext& context, const ScriptCommand& command, std::string& reason) {
                return touchTarget(context, { Target::Kind::Picture, command.arguments[0] }, holdOf(command, 1), reason);
            } },
        { "drag", { signedNumber("X"), signedNumber("Y"), signedNumber("DX"), signedNumber("DY") }, 4, Phase::Application, Effect::Acts,
            Checkable::No, "drags a finger from the point X,Y by DX,DY",
            [](VerbContext& context, const ScriptCommand& command, std::string& reason) {
                if (context.ui().pan(CGPointMake(command.number(0), command.number(1)), CGPointMake(command.number(2), command.number(3))))
                    return true;
                reason = "nothing takes a touch there";
                return false;
            } },
        { "scroll", { signedNumber("DX"), signedNumber("DY") }, 2, Phase::Application, Effect::Acts, Checkable::No,
            "scrolls the scroll view on screen by DX,DY points with a finger: DY 300 shows what lies 300 points further down "
            "(the content moves up), DY -300 goes back up; past an edge the content springs back",
            [](VerbContext& context, const ScriptCommand& command, std::string& reason) {
                auto scroll = mainScrollView(context.ui());
                if (!scroll) {
                    reason = "nothing on the screen scrolls";
                    return false;
                }
                if (context.ui().dragScrollView(scroll, CGPointMake(command.number(0), command.number(1))))
                    return true;
                reason = "the scroll view cannot be touched";
                return false;
            } },
        { "swipe", { choice("DIRECTION", { "left", "right", "up", "down" }) }, 1, Phase::Application, Effect::Acts, Checkable::No,
            "a quick stroke of the finger that way, which turns a page of the scroll view on screen",
            [](VerbContext& context, const ScriptCommand& command, std::string& reason) {
                auto scroll = mainScrollView(context.ui());
                if (!scroll) {
                    reason = "nothing on the screen scrolls";
                    return false;
                }
                const auto& way = command.arguments[0];
                const auto direction = way == "left" ? dv::testing::SwipeDirection::Left
                    : way == "right"                 ? dv::testing::SwipeDirection::Right
                    : way == "up"                    ? dv::testing::SwipeDirection::Up
                                                     : dv::testing::SwipeDirection::Down;
                if (context.ui().swipePage(scroll, direction))
                    return true;
                reason = "the scroll view cannot be touched";
                return false;
            } },
        { "spin", { number("WHEEL"), number("ROW") }, 2, Phase::Application, Effect::Acts, Checkable::No,
            "turns wheel WHEEL (from 0) of the picker on screen to row ROW with the finger", spin },
        { "focus", { text("TEXT") }, 1, Phase::Application, Effect::Acts, Checkable::No,
            "taps the text field showing TEXT or the placeholder TEXT", focus },
        { "type", { text("TEXT") }, 1, Phase::Application, Effect::Acts, Checkable::No,
            "types TEXT into the focused field (\\n presses return)",
            [](VerbContext& context, const ScriptCommand& command, std::string& reason) {
                return context.ui().typeText(command.arguments[0]) || noFocus(reason);
            } },
        { "delete", { number("TIMES") }, 0, Phase::Application, Effect::Acts, Checkable::No, "presses the delete key (TIMES times)",
            [](VerbContext& context, const ScriptCommand& command, std::string& reason) {
                return context.ui().deleteBackward(command.arguments.empty() ? 1 : static_cast<int>(command.number(0))) || noFocus(reason);
            } },
        { "return", {}, 0, Phase::Application, Effect::Acts, Checkable::No, "presses the return key",
            [](VerbContext& context, const ScriptCommand&, std::string& reason) { return context.ui().pressReturn() || noFocus(reason); } },
        { "hide-keyboard", {}, 0, Phase::Application, Effect::Acts, Checkable::No, "ends editing, as a tap outside the field does",
            [](VerbContext& context, const ScriptCommand&, std::string&) {
                context.ui().resignFocus();
                return true;
            } },
        { "tap-bar", { choice("SIDE", { "left", "right" }) }, 1, Phase::Application, Effect::Acts, Checkable::No,
            "taps the left or right button of the navigation bar",
            [](VerbContext& context, const ScriptCommand& command, std::string& reason) {
                context.settle();
                const auto& side = command.arguments[0];
                auto top = context.ui().topViewController();
                auto item = top ? (side == "left" ? top->navigationItem()->leftBarButtonItem() : top->navigationItem()->rightBarButtonItem()) : nil;
                if (!item) {
                    reason = "the navigation bar has no " + side + " button";
                    return false;
                }
                if (context.ui().tap(item))
                    return true;
                reason = "the " + side + " button cannot be touched";
                return false;
            } },
        { "back", {}, 0, Phase::Application, Effect::Acts, Checkable::No, "goes back: the navigation bar's back button, or the back swipe",
            [](VerbContext& context, const ScriptCommand&, std::string& reason) {
                context.settle();
                return handled(dv::sim::goBack(), reason);
            } },
        { "open", { text("CLASS"), text("TITLE") }, 1, Phase::Application, Effect::Acts, Checkable::No,
            "pushes a new screen of class CLASS (titled TITLE) as a home tile does (--tiles lists sets of tiles that lead to every screen)",
            [](VerbContext& context, const ScriptCommand& command, std::string& reason) {
                // The home screen's way of opening a feature: the screen made by its class name,
                // titled, pushed animated on the navigation controller on screen.
                context.settle();
                auto navigation = context.ui().navigationController();
                if (!navigation) {
                    reason = "no navigation controller shows";
                    return false;
                }
                auto screen = dv::app::makeScreen(command.arguments[0]);
                if (!screen) {
                    reason = "no screen class " + command.arguments[0] + " is in the application";
                    return false;
                }
                if (command.arguments.size() > 1)
                    screen->setTitle(NSString::fromUTF8(command.arguments[1]));
                navigation->pushViewController(screen, true);
                context.ui().runUntilIdle();
                return true;
            } },
        { "alert", { text("BUTTON") }, 1, Phase::Application, Effect::Acts, Checkable::No, "taps BUTTON of the alert on top (waits for one up to 15 s)",
            [](VerbContext& context, const ScriptCommand& command, std::string& reason) {
                auto& ui = context.ui();
                dv::testing::runMainLoopUntil([&] { return !ui.visibleAlerts().empty(); }, context.findTimeout());
                auto alerts = ui.visibleAlerts();
                if (alerts.empty()) {
                    reason = "no alert shows (waited " + seconds(context.findTimeout()) + ")";
                    return false;
                }
                return tapAlertButton(context, alerts.back(), command.arguments[0], reason);
            } },
        { "alert-choose", { text("TITLE"), text("BUTTON") }, 2, Phase::Application, Effect::Acts, Checkable::No,
            "when several alerts wait: taps BUTTON of the one titled TITLE (or with the message TITLE), which must be on top",
            [](VerbContext& context, const ScriptCommand& command, std::string& reason) {
                return chooseInAlert(context, command.arguments[0], command.arguments[1], reason);
            } },
        { "pick-image", {}, 0, Phase::Application, Effect::Acts, Checkable::No, "picks a picture in the image picker on screen",
            [](VerbContext& context, const ScriptCommand&, std::string& reason) {
                auto& ui = context.ui();
                dv::testing::runMainLoopUntil([&] { return ui.imagePicker() != nil; }, context.findTimeout());
                if (!ui.imagePicker()) {
                    reason = "no image picker shows (waited " + seconds(context.findTimeout()) + ")";
                    return false;
                }
                // The picker's grid shows pictures once the person has answered whether the
                // application may see them (the camera once it may use it).
                dv::testing::runMainLoopUntil([&] {
                    return dv::PrivacyAccess::status(dv::PrivacyService::photos) != dv::PrivacyStatus::notDetermined
                        || dv::PrivacyAccess::status(dv::PrivacyService::camera) != dv::PrivacyStatus::notDetermined;
                }, context.findTimeout());
                // And once what covered the screen (the sheet that offered the album) has faded away.
                context.settle();
                if (ui.pickImage(samplePicture()))
                    return true;
                reason = "the image picker offers nothing to pick";
                return false;
            } },
    };
}

} // namespace dv::internal::sim
