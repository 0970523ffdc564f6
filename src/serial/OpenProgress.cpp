#include "serial/OpenProgress.h"

#include <memory>

#include "platform/EventPump.h"
#include "platform/UiServices.h"

namespace {

struct Wait {
    std::string text;
    bool waiting = false;
    bool told = false;
};

}  // namespace

DeviceWaitHook OpenProgress(const std::string& devicePath) {
    // One wait after another on the same device (a lost connection opened
    // again) starts afresh each time.
    auto wait = std::make_shared<Wait>();
    wait->text = "Connecting to " + devicePath + "...";
    return [wait](int waitedMs) {
        if (waitedMs < 0) {
            if (wait->told) Ui().ShowProgress({});
            if (wait->waiting) Ui().EndWaitCursor();
            *wait = Wait{wait->text};
            return;
        }
        if (!wait->waiting) {
            Ui().BeginWaitCursor();
            wait->waiting = true;
        }
        if (!wait->told && waitedMs >= kOpenNoticeMs) {
            Ui().ShowProgress(wait->text);
            wait->told = true;
        }
        RunEventPumpHook();
    };
}
