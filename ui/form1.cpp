#include "ui/form1.h"

#include <stdexcept>
#include <type_traits>

#include "ui/commands.h"
#include "ui/single_text.h"

namespace ui {

using policy::CheckControl;
using policy::EnableControl;
using policy::SecurityOption;
using policy::TextControl;

namespace {

const LayoutRow& Row(std::wstring_view name, int member = NoMember) { return FindRow(Form1Layout, name, member); }

// The controls behind the policy procedures' names, for const and non-const
// access alike.
template <typename Form>
auto& TextBoxOf(Form& form, TextControl control) {
    switch (control) {
    case TextControl::txtPassword: return form.txtPassword;
    case TextControl::txtPassword2: return form.txtPassword2;
    default: throw std::logic_error("not a text box");
    }
}

// The options are numbered as optSecurity's members.
template <typename Form>
auto& OptionOf(Form& form, SecurityOption option) {
    return form.optSecurity[static_cast<int>(option)];
}

template <typename Form>
auto& CheckBoxOf(Form& form, CheckControl control) {
    return control == CheckControl::chkCMD ? form.chkCMD : form.chkRegistry;
}

template <typename Form>
auto EnablableOf(Form& form, EnableControl control)
    -> std::conditional_t<std::is_const_v<Form>, const ControlModel&, ControlModel&> {
    switch (control) {
    case EnableControl::fraOptional: return form.fraOptional;
    case EnableControl::chkCMD: return form.chkCMD;
    case EnableControl::chkRegistry: return form.chkRegistry;
    }
    throw std::logic_error("unknown control");
}

}  // namespace

Form1::Form1(registry::RegistryProvider& registry, registry::OsVersionProbe& versionProbe, Shell& shell)
    : fraSecurity(Row(L"fraSecurity")),
      optSecurity(Row(L"optSecurity", 0), Row(L"optSecurity", 1)),
      Label3(Row(L"Label3")),
      fraDrive(Row(L"fraDrive")),
      cboDrive(Row(L"cboDrive")),
      fraRestrict(Row(L"fraRestrict")),
      cboRestrict(Row(L"cboRestrict")),
      fraOptional(Row(L"fraOptional")),
      chkCMD(Row(L"chkCMD")),
      chkRegistry(Row(L"chkRegistry")),
      Label4(Row(L"Label4")),
      fraPassword(Row(L"fraPassword")),
      Label1{LabelModel(Row(L"Label1", 0)), LabelModel(Row(L"Label1", 1))},
      txtPassword(Row(L"txtPassword")),
      txtPassword2(Row(L"txtPassword2")),
      Label2(Row(L"Label2")),
      Text1(Row(L"Text1")),
      lblLoading(Row(L"lblLoading")),
      lblLoading2(Row(L"lblLoading2")),
      pgbLoading(Row(L"pgbLoading")),
      cmdAbout(Row(L"cmdAbout")),
      cmdLogoff(Row(L"cmdLogoff")),
      cmdSave(Row(L"cmdSave")),
      tmrLoading(Row(L"tmrLoading")),
      versionProbe_(versionProbe),
      shell_(shell),
      configuration_(*this, registry) {
    cboDrive.Click = [this] { cboDrive_Click(); };
    cboRestrict.Click = [this] { cboRestrict_Click(); };
    chkCMD.Click = [this] { chkCMD_Click(); };
    chkRegistry.Click = [this] { chkRegistry_Click(); };
    optSecurity.Click = [this](int index) { optSecurity_Click(index); };
    // txtPassword has no handler: typing the first password alone is no change.
    txtPassword2.Change = [this] { txtPassword2_Change(); };
    cmdSave.Click = [this] { cmdSave_Click(); };
    cmdAbout.Click = [this] { cmdAbout_Click(); };
    cmdLogoff.Click = [this] { cmdLogoff_Click(); };
    tmrLoading.Tick = [this] { tmrLoading_Timer(); };
}

ControlList Form1::Controls() {
    return {&fraSecurity, &optSecurity[0], &optSecurity[1], &Label3,      &fraDrive,  &cboDrive,    &fraRestrict,
            &cboRestrict, &fraOptional,    &chkCMD,         &chkRegistry, &Label4,    &fraPassword, &Label1[0],
            &Label1[1],   &txtPassword,    &txtPassword2,   &Label2,      &Text1,     &lblLoading,  &lblLoading2,
            &pgbLoading,  &cmdAbout,       &cmdLogoff,      &cmdSave,     &tmrLoading};
}

// ---- Event handlers ----

void Form1::Form_Load() { configuration_.LoadHandler(); }

// Activation comes back with every return from a message box or another
// program; only the first one, right after the load, restores the
// unchanged state.
void Form1::Form_Activate() {
    if (activated_) return;
    activated_ = true;
    ActivationStep();
}

void Form1::cboDrive_Click() { MarkChanged(); }

void Form1::cboRestrict_Click() {
    MarkChanged();
    UpdateAvailableOptions();
}

void Form1::chkCMD_Click() { MarkChanged(); }

void Form1::chkRegistry_Click() { MarkChanged(); }

void Form1::optSecurity_Click(int /*index*/) { MarkChanged(); }

void Form1::txtPassword2_Change() { MarkChanged(); }

void Form1::cmdSave_Click() {
    // A click that reaches the window while its save waits for the service
    // would start a second save inside the first, on the shared Hive.
    if (saving_) return;
    changedSinceSaveStarted_ = false;
    // A save that ended with a change still pending leaves the bar full and
    // Save enabled, and a tick from a full bar would leave its range: only
    // then does the bar start again.  A click while the bar runs lets it run on.
    if (pgbLoading.Value() == pgbLoading.Max()) pgbLoading.SetValue(pgbLoading.Min());
    saving_ = true;
    try {
        configuration_.cmdSave_Click();
    } catch (...) {
        // Ticks may have filled the bar meanwhile; a failed save leaves the
        // display as the click found it, never at 100%.
        saving_ = false;
        ResetStatusDisplay();
        // The policies it wrote before the failure stay written.
        AnnounceIfPolicyChanged();
        throw;
    }
    saving_ = false;
    // The bar filled while the save still ran and has waited for it.  A save
    // that failed never gets here, and one that stopped the timer (refused
    // rights, a mismatched retype) reports no success.
    if (tmrLoading.Running() && pgbLoading.Value() == pgbLoading.Max()) ReportSuccess();
    AnnounceIfPolicyChanged();
}

void Form1::tmrLoading_Timer() { TickStep(); }

void Form1::cmdAbout_Click() { RunAboutCommand(shell_); }

void Form1::cmdLogoff_Click() { RunLogoffCommand(shell_); }

// ---- Procedures ----

void Form1::MarkChanged() {
    if (tmrLoading.Running()) changedSinceSaveStarted_ = true;
    cmdSave.SetEnabled(true);
    ResetStatusDisplay();
}

void Form1::ResetStatusDisplay() {
    lblLoading.SetForeColour(ColourHighlight);
    lblLoading.SetCaption(std::wstring(StatusCompatible));
    lblLoading2.SetCaption(L"");
    pgbLoading.SetValue(pgbLoading.Min());
}

void Form1::ActivationStep() {
    cmdSave.SetEnabled(false);
    lblLoading.SetForeColour(ColourHighlight);
    lblLoading.SetCaption(std::wstring(StatusCompatible));
    UpdateAvailableOptions();
}

void Form1::TickStep() {
    // The display runs by time alone, and a slow service can outlast it: a
    // full bar then waits at its maximum until the save has returned, since
    // a failure may still come.
    if (saving_ && pgbLoading.Value() == pgbLoading.Max()) return;
    pgbLoading.SetValue(pgbLoading.Value() + 1.0f);
    lblLoading2.SetCaption(SingleToText(pgbLoading.Value()) + L"%");
    lblLoading.SetForeColour(ColourHighlight);
    lblLoading.SetCaption(std::wstring(StatusUpdating));
    if (pgbLoading.Max() == pgbLoading.Value() && !saving_) ReportSuccess();
}

void Form1::ReportSuccess() {
    lblLoading.SetCaption(std::wstring(StatusSuccessful));
    // A change made during the ticks is not in this save: Save stays
    // available for it.
    if (!changedSinceSaveStarted_) cmdSave.SetEnabled(false);
    tmrLoading.SetRunning(false);
}

// Open Explorer windows keep the restrictions that they read until they are
// told; once per save that changed any, and never for the settings alone.
void Form1::AnnounceIfPolicyChanged() {
    if (configuration_.PolicyChanged()) shell_.AnnouncePolicyChange();
}

bool Form1::IsKnownWindowsVersion() {
    const std::wstring version = versionProbe_.GetOsVersion();
    for (std::wstring_view known : KnownWindowsVersions)
        if (version == known) return true;
    return false;
}

void Form1::UpdateAvailableOptions() {
    const bool known = IsKnownWindowsVersion();
    if (known) {
        OptionOf(*this, SecurityOption::PreventAccess).SetEnabled(true);
    } else {
        OptionOf(*this, SecurityOption::PreventAccess).SetEnabled(false);
        OptionOf(*this, SecurityOption::HideDrives).Select();
    }

    // chkCMD and chkRegistry are not on fraOptional's surface as far as
    // enabling goes: each of the three is set on its own.
    const std::wstring scope = cboRestrict.Text();
    const bool currentUser = scope == policy::ScopeCurrentUser;
    if (!currentUser && scope != policy::ScopeAllUsers) return;
    fraOptional.SetEnabled(currentUser);
    chkCMD.SetEnabled(currentUser && known);
    if (!known) chkCMD.SetValue(values::CheckState::Unchecked);
    chkRegistry.SetEnabled(currentUser);
}

// ---- policy::MainWindowValues ----

std::wstring Form1::Text(TextControl control) const {
    switch (control) {
    case TextControl::cboDrive: return cboDrive.Text();
    case TextControl::cboRestrict: return cboRestrict.Text();
    default: return TextBoxOf(*this, control).Text();
    }
}

void Form1::SetText(TextControl control, const std::wstring& text) {
    switch (control) {
    case TextControl::cboDrive: cboDrive.SetText(text); break;
    case TextControl::cboRestrict: cboRestrict.SetText(text); break;
    default: TextBoxOf(*this, control).SetText(text); break;
    }
}

void Form1::AddDriveItem(const std::wstring& item) { cboDrive.AddItem(item); }

bool Form1::SecuritySelected(SecurityOption option) const { return OptionOf(*this, option).Value(); }

void Form1::SelectSecurity(SecurityOption option) { OptionOf(*this, option).Select(); }

// The policy procedures hand a state over as the number that they store; the
// box refuses one that names no state.
values::CheckState Form1::CheckStateOf(CheckControl control) const { return CheckBoxOf(*this, control).Value(); }

void Form1::SetCheckState(CheckControl control, values::CheckState state) {
    CheckBoxOf(*this, control).SetValue(state);
}

bool Form1::Enabled(EnableControl control) const { return EnablableOf(*this, control).Enabled(); }

void Form1::SetEnabled(EnableControl control, bool enabled) { EnablableOf(*this, control).SetEnabled(enabled); }

bool Form1::TimerRunning() const { return tmrLoading.Running(); }

void Form1::SetTimerRunning(bool running) { tmrLoading.SetRunning(running); }

void Form1::FocusRetypeBox() { txtPassword2.SetFocus(); }

policy::MessageAnswer Form1::ShowMessage(const policy::MessageBoxRequest& message) {
    return shell_.ShowMessage(message);
}

}  // namespace ui
