#include "win32/signed_in_user.h"

#include <windows.h>
#include <sddl.h>
#include <wtsapi32.h>

#include <vector>

#include "win32/failure.h"
#include "win32/module.h"
#include "win32/scoped.h"

namespace win32 {

std::optional<std::wstring> SignedInElsewhere(const AccountSources& sources) {
    std::optional<std::wstring> signedIn = sources.shellOwner();
    if (!signedIn) signedIn = sources.sessionUser();
    if (!signedIn) return std::nullopt;
    // Without its own SID the program cannot tell another account from
    // itself: it then stays with its own hive, as it always did.
    const std::optional<std::wstring> own = sources.own();
    if (!own || *own == *signedIn) return std::nullopt;
    return signedIn;
}

namespace {

std::optional<std::wstring> SidText(PSID sid) {
    LPWSTR text = nullptr;
    if (!ConvertSidToStringSidW(sid, &text)) return std::nullopt;
    std::wstring result(text);
    LocalFree(text);
    return result;
}

// The user of a process's token, which is the account that the process runs as.
std::optional<std::wstring> TokenUserOf(HANDLE process) {
    Handle token;
    if (!OpenProcessToken(process, TOKEN_QUERY, token.Out())) return std::nullopt;
    DWORD size = 0;
    GetTokenInformation(token.Get(), TokenUser, nullptr, 0, &size);
    if (size == 0) return std::nullopt;
    std::vector<BYTE> buffer(size);
    if (!GetTokenInformation(token.Get(), TokenUser, buffer.data(), size, &size)) return std::nullopt;
    return SidText(reinterpret_cast<const TOKEN_USER*>(buffer.data())->User.Sid);
}

std::optional<std::wstring> ShellOwner() {
    const HWND shell = GetShellWindow();
    if (!shell) return std::nullopt;
    DWORD processId = 0;
    GetWindowThreadProcessId(shell, &processId);
    if (processId == 0) return std::nullopt;
    // The limited right is all that a token query needs, and Windows grants
    // it where it may refuse the full one (Vista and later); Windows before
    // Vista does not know it and refuses it.  A shell whose token this
    // account may not read leaves the answer to the session's user.
    Handle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
    if (!process.IsValid()) process.Reset(OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, processId));
    if (!process.IsValid()) return std::nullopt;
    return TokenUserOf(process.Get());
}

std::optional<std::wstring> SessionUser() {
    decltype(&WTSQuerySessionInformationW) query = nullptr;
    decltype(&WTSFreeMemory) release = nullptr;
    try {
        query = SystemProcedure<decltype(WTSQuerySessionInformationW)>(L"wtsapi32.dll", "WTSQuerySessionInformationW");
        release = SystemProcedure<decltype(WTSFreeMemory)>(L"wtsapi32.dll", "WTSFreeMemory");
    } catch (const PlatformFailure&) {
        return std::nullopt;
    }
    const auto ask = [&](WTS_INFO_CLASS what) -> std::wstring {
        LPWSTR buffer = nullptr;
        DWORD bytes = 0;
        if (!query(WTS_CURRENT_SERVER_HANDLE, WTS_CURRENT_SESSION, what, &buffer, &bytes) || !buffer) return {};
        std::wstring answer(buffer);
        release(buffer);
        return answer;
    };
    const std::wstring user = ask(WTSUserName);
    if (user.empty()) return std::nullopt;  // nobody signed in to this session
    const std::wstring domain = ask(WTSDomainName);
    const std::wstring account = domain.empty() ? user : domain + L"\\" + user;

    DWORD sidSize = 0, domainSize = 0;
    SID_NAME_USE use{};
    LookupAccountNameW(nullptr, account.c_str(), nullptr, &sidSize, nullptr, &domainSize, &use);
    if (sidSize == 0) return std::nullopt;
    std::vector<BYTE> sid(sidSize);
    std::vector<wchar_t> domainName(domainSize + 1);
    if (!LookupAccountNameW(nullptr, account.c_str(), sid.data(), &sidSize, domainName.data(), &domainSize, &use))
        return std::nullopt;
    return SidText(sid.data());
}

std::optional<std::wstring> OwnAccount() { return TokenUserOf(GetCurrentProcess()); }

}  // namespace

AccountSources SystemAccountSources() { return {ShellOwner, SessionUser, OwnAccount}; }

}  // namespace win32
