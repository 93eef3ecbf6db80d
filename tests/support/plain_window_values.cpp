#include "tests/support/plain_window_values.h"

#include <algorithm>

#include "policy/drive_selection_table.h"
#include "policy/policy_keys.h"

using namespace policy;

PlainWindowValues::PlainWindowValues() {
    // As the window is created: nothing selected in the lists, the optional
    // group disabled and unchecked.
    for (auto control :
         {TextControl::cboDrive, TextControl::cboRestrict, TextControl::txtPassword, TextControl::txtPassword2})
        texts_[control] = L"";
    checks_ = {{CheckControl::chkCMD, values::CheckState::Unchecked},
               {CheckControl::chkRegistry, values::CheckState::Unchecked}};
    enabled_ = {
        {EnableControl::fraOptional, false}, {EnableControl::chkCMD, false}, {EnableControl::chkRegistry, false}};
}

void PlainWindowValues::SetText(TextControl control, const std::wstring& text) {
    if (control == TextControl::cboDrive) {
        const auto items = DriveItems();
        if (std::find(items.begin(), items.end(), text) == items.end() &&
            std::find(addedDriveItems.begin(), addedDriveItems.end(), text) == addedDriveItems.end())
            throw ValueRefused("not a drive item");
    }
    if (control == TextControl::cboRestrict && text != ScopeCurrentUser && text != ScopeAllUsers)
        throw ValueRefused("not a scope item");
    texts_[control] = text;
}

void PlainWindowValues::SetCheckState(CheckControl control, values::CheckState state) {
    if (!values::IsCheckState(state)) throw ValueRefused("not a check box state");
    checks_[control] = state;
}

MessageAnswer PlainWindowValues::ShowMessage(const MessageBoxRequest& message) {
    messages.push_back(message);
    timerRunningAtMessage = timerRunning;
    return message.buttons == MessageButtons::YesNo ? MessageAnswer::Yes : MessageAnswer::Ok;
}
