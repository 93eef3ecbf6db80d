// What the policy procedures see of the main window: the values of a few of
// its controls and its message boxes, nothing else.
//
// The main window implements this over its controls, where setting a value
// behaves like setting the control: the control may refuse it (ValueRefused),
// and a real change runs the control's change handler.  Tests use a plain
// implementation.
#pragma once

#include <string>

#include "values/value_refused.h"

namespace policy {

// The procedures meet the controls' refusals under this name too.
using values::ValueRefused;

enum class TextControl { cboDrive, cboRestrict, txtPassword, txtPassword2 };
enum class CheckControl { chkCMD, chkRegistry };
enum class EnableControl { fraOptional, chkCMD, chkRegistry };

enum class MessageIcon { Information, Warning };
enum class MessageButtons { Ok, YesNo };
enum class MessageAnswer { Ok, Yes, No };

struct MessageBoxRequest {
    std::wstring text;
    std::wstring title;
    MessageIcon icon = MessageIcon::Information;
    MessageButtons buttons = MessageButtons::Ok;

    bool operator==(const MessageBoxRequest&) const = default;
};

class MainWindowValues {
public:
    virtual ~MainWindowValues() = default;

    virtual std::wstring Text(TextControl control) const = 0;
    virtual void SetText(TextControl control, const std::wstring& text) = 0;
    // Adds an item at the end of cboDrive, which its text may then select.
    virtual void AddDriveItem(const std::wstring& item) = 0;

    // optSecurity: member 0 "Prevent Access to the Contents of Selected
    // Drives", member 1 "Hide Drives in My Computer ".  Selecting one clears
    // the other.
    virtual bool SecuritySelected(int member) const = 0;
    virtual void SelectSecurity(int member) = 0;

    // 0 unchecked, 1 checked, 2 grayed; any other state is refused.
    virtual int CheckState(CheckControl control) const = 0;
    virtual void SetCheckState(CheckControl control, int state) = 0;

    virtual bool Enabled(EnableControl control) const = 0;
    virtual void SetEnabled(EnableControl control, bool enabled) = 0;

    // tmrLoading.
    virtual bool TimerRunning() const = 0;
    virtual void SetTimerRunning(bool running) = 0;

    // Gives txtPassword2 the input focus.
    virtual void FocusRetypeBox() = 0;

    // A modal message box; returns the button chosen.
    virtual MessageAnswer ShowMessage(const MessageBoxRequest& message) = 0;
};

}  // namespace policy
