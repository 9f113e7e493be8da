#include "tools/sim/WindowMode.h"

#include "tools/sim/ScreenCapture.h"
#include "tools/sim/ScriptRunner.h"
#include "tools/sim/StepWriter.h"
#include "tools/sim/internal/AreaScaling.h"
#include "tools/sim/internal/OpenedURLs.h"
#include "tools/sim/internal/WheelFinger.h"

#include "platform/base/NSString.h"
#include "platform/dispatch/Clock.h"
#include "platform/dispatch/NSRunLoop.h"
#include "platform/graphics/CGImage.h"
#include "platform/graphics/UIImage.h"
#include "platform/system/UIScreen.h"
#include "platform/testing/UIDriver.h"
#include "platform/ui/TouchInput.h"
#include "platform/ui/UIApplication.h"
#include "platform/ui/UIKeyboard.h"
#include "platform/ui/UIWindow.h"

#include <SDL.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <utility>
#include <vector>

namespace dv::sim {

struct WindowMode::State {
    SDL_Window* window = nullptr;
    bool sdlStarted = false;
    WindowOptions options;
    double zoom = 1;             // window pixels per point
    TouchID touch = 0;           // the finger the left button holds down
    bool dirty = true;
    bool running = true;
    std::chrono::steady_clock::time_point lastDraw {};
};

WindowMode::WindowMode() = default;

WindowMode::~WindowMode() { close(); }

namespace {

// Window pixels per point: the screen's scale, halved until the window fits the display.
double fittingZoom(double scale, CGSize screen)
{
    SDL_Rect usable {};
    double zoom = scale;
    if (SDL_GetDisplayUsableBounds(0, &usable) == 0 && usable.h > 0)
        while (zoom > 0.5 && (screen.height * zoom > usable.h || screen.width * zoom > usable.w))
            zoom -= 0.5;
    return zoom;
}

// The window a finger at `point` touches: the keyboard's where it shows, else the key window.
Ref<UIWindow> windowAt(CGPoint point)
{
    if (auto keyboard = dv::keyboardWindow(); keyboard && CGRectContainsPoint(dv::keyboardFrame(), point))
        return keyboard;
    return UIApplication::sharedApplication()->keyWindow();
}

void saveShot(StepWriter* shots)
{
    if (!shots)
        return;
    if (auto written = shots->write("window"); written)
        std::printf("dovrelta-sim: saved %s\n", shots->pictures().back().c_str());
    else
        std::fprintf(stderr, "dovrelta-sim: %s\n", written.reason().c_str());
    std::fflush(stdout);
}

} // namespace

Result<void> WindowMode::open(const WindowOptions& options)
{
    m_state = std::make_unique<State>();
    m_state->options = options;
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        Failure failure(std::string("cannot open a window: ") + SDL_GetError());
        m_state.reset();
        return failure;
    }
    m_state->sdlStarted = true;
    // Without a display server SDL may fall back on a driver that shows nothing (offscreen, the
    // console's); a window nobody can see is no window.
    const std::string driver = SDL_GetCurrentVideoDriver() ? SDL_GetCurrentVideoDriver() : "";
    if (driver != "x11" && driver != "wayland") {
        close();
        return Failure("cannot open a window: no display answers (SDL's video driver is \"" + driver + "\")");
    }
    const CGSize screen = UIScreen::mainScreen()->bounds().size;
    m_state->zoom = fittingZoom(UIScreen::mainScreen()->scale(), screen);
    m_state->window = SDL_CreateWindow(options.title.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
        static_cast<int>(std::lround(screen.width * m_state->zoom)), static_cast<int>(std::lround(screen.height * m_state->zoom)), 0);
    if (!m_state->window) {
        Failure failure(std::string("cannot open a window: ") + SDL_GetError());
        close();
        return failure;
    }
    // The surface is made now: on X11 making it may put a new window in place of the first one,
    // and the window that shows must be the one people (and tests) see from the start.
    if (!SDL_GetWindowSurface(m_state->window)) {
        Failure failure(std::string("cannot draw in the window: ") + SDL_GetError());
        close();
        return failure;
    }
    SDL_StartTextInput();
    return {};
}

void WindowMode::close()
{
    if (!m_state)
        return;
    if (m_state->touch)
        dv::cancelTouch(std::exchange(m_state->touch, 0));
    if (m_state->window)
        SDL_DestroyWindow(m_state->window);
    if (m_state->sdlStarted)
        SDL_Quit();
    m_state.reset();
}

void WindowMode::run()
{
    if (!m_state)
        return;
    auto& state = *m_state;
    dv::testing::UIDriver ui;
    dv::internal::sim::WheelFinger wheel;
    dv::internal::sim::OpenedURLs openedURLs;

    auto pointOf = [&](int x, int y) { return CGPointMake(x / state.zoom, y / state.zoom); };
    auto draw = [&] {
        SDL_Surface* target = SDL_GetWindowSurface(state.window);
        auto picture = captureScreen();
        if (!target || !picture)
            return;
        auto image = picture->CGImage();
        std::vector<std::uint8_t> pixels = dv::imagePixelsRGBA8(image);
        int width = static_cast<int>(CGImageGetWidth(image));
        int height = static_cast<int>(CGImageGetHeight(image));
        // A window smaller than the picture (a small display) shows it shrunk by area, hairlines kept.
        if ((target->w < width || target->h < height) && target->w <= width && target->h <= height) {
            pixels = dv::internal::sim::shrinkByArea(pixels.data(), width, height, target->w, target->h);
            width = target->w;
            height = target->h;
        }
        SDL_Surface* source = SDL_CreateRGBSurfaceWithFormatFrom(pixels.data(), width, height, 32, width * 4, SDL_PIXELFORMAT_RGBA32);
        if (!source)
            return;
        SDL_SetSurfaceBlendMode(source, SDL_BLENDMODE_NONE);
        SDL_Rect whole { 0, 0, target->w, target->h };
        if (source->w == target->w && source->h == target->h)
            SDL_BlitSurface(source, nullptr, target, nullptr);
        else
            SDL_BlitScaled(source, nullptr, target, &whole);
        SDL_FreeSurface(source);
        SDL_UpdateWindowSurface(state.window);
        state.dirty = false;
        state.lastDraw = std::chrono::steady_clock::now();
    };

    auto handleKey = [&](const SDL_KeyboardEvent& key) {
        const bool alt = key.keysym.mod & KMOD_ALT;
        const bool ctrl = key.keysym.mod & KMOD_CTRL;
        switch (key.keysym.sym) {
        case SDLK_LEFT:
        case SDLK_RIGHT:
        case SDLK_HOME:
        case SDLK_END:
            // Alt+Left is "back"; otherwise the keys move the caret of the focused field.
            if (!(key.keysym.sym == SDLK_LEFT && alt)) {
                const auto sym = key.keysym.sym;
                const auto move = sym == SDLK_LEFT ? dv::CaretMove::Left
                    : sym == SDLK_RIGHT            ? dv::CaretMove::Right
                    : sym == SDLK_HOME             ? (ctrl ? dv::CaretMove::TextStart : dv::CaretMove::Home)
                                                   : (ctrl ? dv::CaretMove::TextEnd : dv::CaretMove::End);
                if (!ui.moveCaret(move))
                    return;
                break;
            }
            [[fallthrough]];
        case SDLK_ESCAPE:
            if (auto back = goBack(); !back)
                std::fprintf(stderr, "dovrelta-sim: %s\n", back.reason().c_str());
            break;
        case SDLK_F12:
            saveShot(state.options.shots);
            break;
        case SDLK_F2:
            // The application starts again: a finger held down belongs to the one that ends.
            if (state.touch)
                dv::cancelTouch(std::exchange(state.touch, 0));
            wheel.cancel();
            if (state.options.switchTiles)
                if (auto title = state.options.switchTiles(); !title.empty())
                    SDL_SetWindowTitle(state.window, title.c_str());
            break;
        case SDLK_s:
            if (ctrl)
                saveShot(state.options.shots);
            break;
        case SDLK_BACKSPACE:
            ui.deleteBackward();
            break;
        case SDLK_RETURN:
        case SDLK_KP_ENTER:
            ui.pressReturn();
            break;
        default:
            return;
        }
        state.dirty = true;
    };

    while (state.running) {
        SDL_Event event;
        while (SDL_PollEvent(&event)) {
            switch (event.type) {
            case SDL_QUIT:
                state.running = false;
                break;
            case SDL_WINDOWEVENT:
                if (event.window.event == SDL_WINDOWEVENT_CLOSE)
                    state.running = false;
                else if (event.window.event == SDL_WINDOWEVENT_EXPOSED || event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED)
                    state.dirty = true;
                else if (event.window.event == SDL_WINDOWEVENT_FOCUS_LOST) {
                    if (state.touch)
                        dv::cancelTouch(std::exchange(state.touch, 0));
                    wheel.cancel();
                }
                break;
            case SDL_MOUSEWHEEL: {
                if (state.touch)
                    break;
                int x = 0, y = 0;
                SDL_GetMouseState(&x, &y);
                const int flip = event.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -1 : 1;
                const CGPoint pointer = pointOf(x, y);
                wheel.turn(windowAt(pointer), pointer, -event.wheel.x * flip, event.wheel.y * flip);
                break;
            }
            case SDL_MOUSEBUTTONDOWN:
                if (event.button.button == SDL_BUTTON_LEFT && !state.touch) {
                    wheel.cancel();
                    const CGPoint point = pointOf(event.button.x, event.button.y);
                    if (auto window = windowAt(point))
                        state.touch = dv::beginTouch(window, point);
                    state.dirty = true;
                }
                break;
            case SDL_MOUSEMOTION:
                if (state.touch && (event.motion.state & SDL_BUTTON_LMASK)) {
                    dv::moveTouch(state.touch, pointOf(event.motion.x, event.motion.y));
                    state.dirty = true;
                }
                break;
            case SDL_MOUSEBUTTONUP:
                if (event.button.button == SDL_BUTTON_LEFT && state.touch) {
                    dv::endTouch(std::exchange(state.touch, 0), pointOf(event.button.x, event.button.y));
                    state.dirty = true;
                }
                break;
            case SDL_TEXTINPUT:
                ui.typeText(event.text.text);
                state.dirty = true;
                break;
            case SDL_KEYDOWN:
                handleKey(event.key);
                break;
            default:
                break;
            }
        }
        if (!state.running)
            break;
        if (wheel.step())
            state.dirty = true;
        if (auto lines = openedURLs.takeLines(); !lines.empty()) {
            for (const auto& line : lines)
                std::printf("dovrelta-sim: %s\n", line.c_str());
            std::fflush(stdout);
        }
        // One turn of the application's loop, waiting at most a few milliseconds for work, so
        // that input is never kept waiting.
        constexpr double turn = 0.008;
        if (NSRunLoop::mainRunLoop()->runTurn(NSDefaultRunLoopMode, dv::Clock::current().now() + turn, turn))
            state.dirty = true;
        if (state.dirty && std::chrono::steady_clock::now() - state.lastDraw > std::chrono::milliseconds(16))
            draw();
    }
    wheel.cancel();
}

} // namespace dv::sim
