// What the user lets the application reach (the address book, the photo library, the camera) and
// the stand-in for the system's permission prompt. Each service starts "not determined"; the
// first request shows the prompt once, and its answer becomes the service's status for good (the
// user changes it later only in the settings, which tests do with setStatus). Statuses are kept
// with the device's stores under the home (SystemPaths::deviceFolder), so that the application
// started again in the same home finds the answers given before and asks nobody twice.
//
// The prompt is the system's, not the application's: answering it never needs the application's
// main thread. Requests are answered on a global queue, so a caller may block its main thread on
// a semaphore until the answer comes. By default a prompt answers at once with the preset answer
// (allow); with prompts held (setPromptsHeld), a prompt stays up until answerPrompt is called,
// from any thread, as a person would tap it while the application waits. Thread-safe.
//
//   dv::PrivacyAccess::setPromptAnswer(dv::PrivacyService::addressBook, false);   // the user will refuse
//   dv::PrivacyAccess::requestAccess(dv::PrivacyService::addressBook, [](bool granted) { ... });
#pragma once

#include <functional>

namespace dv {

enum class PrivacyService { addressBook, photos, camera };

// The platform's authorisation values, the same numbers for every service.
enum class PrivacyStatus { notDetermined = 0, restricted = 1, denied = 2, authorized = 3 };

class PrivacyAccess {
public:
    static PrivacyStatus status(PrivacyService service);
    static void setStatus(PrivacyService service, PrivacyStatus status);

    // Asks for access. Known answers come without a prompt; otherwise the prompt shows (once for
    // all requests made while it is up). `completion` runs on a global queue, never on the
    // caller's thread.
    static void requestAccess(PrivacyService service, std::function<void(bool granted)> completion);
    // The same, waiting for the answer on the calling thread (for work already off the main
    // thread, such as a save to the album).
    static bool waitForAccess(PrivacyService service);

    // What the user answers the next prompt of the service (default: allow).
    static void setPromptAnswer(PrivacyService service, bool granted);
    // Whether prompts wait for answerPrompt instead of answering with the preset answer.
    static void setPromptsHeld(bool held);
    static bool isPromptShowing(PrivacyService service);
    // Answers the prompt that shows; NO when none does.
    static bool answerPrompt(PrivacyService service, bool granted);
    // How many prompts the service has shown.
    static int promptCount(PrivacyService service);

    // Every service not determined (the kept answers too), prompts allowing at once, no prompt
    // counted. Prompts still up are answered "refuse" first, so nobody waits for ever.
    static void reset();
};

} // namespace dv
