// What the windows need of the platform beyond their own controls: message
// boxes, the program's version resource, the shell, the announcement of a
// policy change, the log-off and the end of the program.  The Win32
// implementation lives in ui/win32; tests answer through a fake.
#pragma once

#include <string>

#include "policy/main_window_values.h"

namespace ui {

struct ProductVersion {
    std::wstring productName;
    int major = 0;
    int minor = 0;
};

class Shell {
public:
    virtual ~Shell() = default;

    // A modal message box owned by the program's active window.
    virtual policy::MessageAnswer ShowMessage(const policy::MessageBoxRequest& message) = 0;
    // Product name and major/minor version from the executable's version resource.
    virtual ProductVersion ReadProductVersion() = 0;
    // Opens a document or web address with the shell's default action; the
    // shell's answer is ignored.
    virtual void OpenDocument(const std::wstring& address) = 0;
    // Tells every top-level window that the policies changed, as Group Policy
    // does after it applies them, so that Explorer and other programs re-read
    // the ones they cache.  Returns at once: the windows are told meanwhile.
    virtual void AnnouncePolicyChange() = 0;
    // Asks the system to log the user off; raises when the service fails.
    virtual void LogOff() = 0;
    // Ends the program once the running handler returns; no window is asked
    // to close.
    virtual void EndProgram() = 0;
};

}  // namespace ui
