// The main-window values as plain data, with the refusals of the real
// controls: list texts must be items, check states one of the three.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "policy/main_window_values.h"

class PlainWindowValues : public policy::MainWindowValues {
public:
    PlainWindowValues();

    std::wstring Text(policy::TextControl control) const override { return texts_.at(control); }
    void SetText(policy::TextControl control, const std::wstring& text) override;
    void AddDriveItem(const std::wstring& item) override { addedDriveItems.push_back(item); }
    bool SecuritySelected(policy::SecurityOption option) const override { return selected_ == option; }
    void SelectSecurity(policy::SecurityOption option) override { selected_ = option; }
    values::CheckState CheckStateOf(policy::CheckControl control) const override { return checks_.at(control); }
    void SetCheckState(policy::CheckControl control, values::CheckState state) override;
    bool Enabled(policy::EnableControl control) const override { return enabled_.at(control); }
    void SetEnabled(policy::EnableControl control, bool enabled) override { enabled_[control] = enabled; }
    bool TimerRunning() const override { return timerRunning; }
    void SetTimerRunning(bool running) override { timerRunning = running; }
    void FocusRetypeBox() override { retypeFocused = true; }
    policy::MessageAnswer ShowMessage(const policy::MessageBoxRequest& message) override;

    // A list back at "no item selected", as the window is created.
    void Deselect(policy::TextControl list) { texts_[list].clear(); }

    // What the save did to the window, for the tests to look at.
    std::vector<policy::MessageBoxRequest> messages;
    bool timerRunning = false;
    bool timerRunningAtMessage = false;
    bool retypeFocused = false;
    std::vector<std::wstring> addedDriveItems;

private:
    std::map<policy::TextControl, std::wstring> texts_;
    std::map<policy::CheckControl, values::CheckState> checks_;
    std::map<policy::EnableControl, bool> enabled_;
    policy::SecurityOption selected_ = policy::SecurityOption::PreventAccess;
};
