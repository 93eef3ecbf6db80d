// The main window: its controls as named models, one handler per control
// event, and the procedures behind them.
//
// Usage:
//   ui::Form1 form(registryProvider, versionProbe, shell);
//   form.Form_Load();        // before the window is first shown
//   form.Form_Activate();    // when it is shown; only the first call counts
//   form.cboDrive.SetText(L"C:");   // a user's choice: Save becomes enabled
//   form.cmdSave.Press();           // the save; then form.tmrLoading ticks
//
// The policy procedures see the window through policy::MainWindowValues,
// which Form1 implements over its controls: a value set there is set on the
// control, may be refused by it, and runs the control's change handler.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "policy/main_window_values.h"
#include "policy/policy_configuration.h"
#include "registry/os_version.h"
#include "registry/registry_provider.h"
#include "ui/controls.h"
#include "ui/form1_layout.h"
#include "ui/shell.h"

namespace ui {

inline constexpr std::wstring_view StatusCompatible = L"* Only compatible for Windows 2000/Me/XP";
inline constexpr std::wstring_view StatusUpdating = L"Updating your system, please wait..";
inline constexpr std::wstring_view StatusSuccessful = L"Save process is successful";

// The versions of Windows on which every choice is offered, compared in this order.
inline constexpr std::array<std::wstring_view, 3> KnownWindowsVersions{L"5.1.2600", L"5.0.2195", L"4.9.3000"};

class Form1 final : public policy::MainWindowValues {
public:
    Form1(registry::RegistryProvider& registry, registry::OsVersionProbe& versionProbe, Shell& shell);
    Form1(const Form1&) = delete;
    Form1& operator=(const Form1&) = delete;

    ControlList Controls();

    // Controls, in the order of the layout table.
    FrameModel fraSecurity;
    OptionArray optSecurity;
    LabelModel Label3;
    FrameModel fraDrive;
    ComboListModel cboDrive;
    FrameModel fraRestrict;
    ComboListModel cboRestrict;
    FrameModel fraOptional;
    CheckBoxModel chkCMD;
    CheckBoxModel chkRegistry;
    LabelModel Label4;
    FrameModel fraPassword;
    std::array<LabelModel, 2> Label1;
    TextBoxModel txtPassword;
    TextBoxModel txtPassword2;
    LabelModel Label2;
    TextBoxModel Text1;
    LabelModel lblLoading;
    LabelModel lblLoading2;
    ProgressBarModel pgbLoading;
    ButtonModel cmdAbout;
    ButtonModel cmdLogoff;
    ButtonModel cmdSave;
    TimerModel tmrLoading;

    // Event handlers; the controls' events run them.
    void Form_Load();
    void Form_Activate();
    void cboDrive_Click();
    void cboRestrict_Click();
    void chkCMD_Click();
    void chkRegistry_Click();
    void optSecurity_Click(int index);
    void txtPassword2_Change();
    void cmdSave_Click();
    void tmrLoading_Timer();
    void cmdAbout_Click();
    void cmdLogoff_Click();

    // policy::MainWindowValues
    std::wstring Text(policy::TextControl control) const override;
    void SetText(policy::TextControl control, const std::wstring& text) override;
    void AddDriveItem(const std::wstring& item) override;
    bool SecuritySelected(policy::SecurityOption option) const override;
    void SelectSecurity(policy::SecurityOption option) override;
    values::CheckState CheckStateOf(policy::CheckControl control) const override;
    void SetCheckState(policy::CheckControl control, values::CheckState state) override;
    bool Enabled(policy::EnableControl control) const override;
    void SetEnabled(policy::EnableControl control, bool enabled) override;
    bool TimerRunning() const override;
    void SetTimerRunning(bool running) override;
    void FocusRetypeBox() override;
    policy::MessageAnswer ShowMessage(const policy::MessageBoxRequest& message) override;

private:
    void MarkChanged();
    void ResetStatusDisplay();
    void UpdateAvailableOptions();
    void ActivationStep();
    void TickStep();
    void ReportSuccess();
    void AnnounceIfPolicyChanged();
    bool IsKnownWindowsVersion();

    registry::OsVersionProbe& versionProbe_;
    Shell& shell_;
    policy::PolicyConfiguration configuration_;
    bool activated_ = false;
    // Set by a change made while the progress timer runs: that change is not
    // in the save being shown, so Save must stay available when it ends.
    bool changedSinceSaveStarted_ = false;
    // True while a save runs.  Its registry calls wait for the service, and
    // meanwhile the thread dispatches its messages, timer ticks included.
    bool saving_ = false;
};

}  // namespace ui
