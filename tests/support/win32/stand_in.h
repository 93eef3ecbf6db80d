// What the WMI stand-in (wmi_stand_in.dll) and the tests that drive it share:
// where it reads what a test chose, and where it writes down what it was asked.
//
//   stand_in::Reset();                                  // no choices, no calls
//   stand_in::SetNumber(L"Instances", 2);
//   stand_in::SetText(L"Version2", L"5.0.2195");
//   stand_in::SetFault(L"GetDWORDValue", WBEM_E_FAILED);
//   stand_in::SetNumber(L"LatencyMs", 100);             // a slow service in another process
//   ... the code under test ...
//   EXPECT_EQ(stand_in::CallsOf(L"Win32_OperatingSystem.Win32Shutdown").size(), 2u);
//
// The choices, under HKEY_CURRENT_USER\Software\Quelvane WMI Stand-in, read
// at every call, so a test may change them between two calls:
//   Instances      DWORD   how many Win32_OperatingSystem instances a query yields (1 unless set)
//   Version1, ...  REG_SZ  the Version of instance 1, 2, ...; a value of another type makes it
//                          null; none: the system's own, major.minor.build as GetVersionEx says
//   Win32Shutdown  DWORD   the result code that Win32Shutdown answers (0 unless set); the call
//                          itself fails with WBEM_E_PRIVILEGE_NOT_HELD unless SeShutdownPrivilege
//                          was enabled in the process's token at its first ConnectServer
//   LatencyMs      DWORD   how long each call that crosses to the service takes (ConnectServer,
//                          GetObject, ExecQuery, Next, ExecMethod; 0 unless set), dispatching
//                          the caller's messages but keyboard and mouse input meanwhile
//   StallMultithreaded DWORD  nonzero: such a call from the multithreaded apartment (the
//                          program's warm-up thread) never returns, as from a service that
//                          is slow to start or never answers
//   Faults\STEP    DWORD   the HRESULT that STEP fails with: a method's name (its ExecMethod),
//                          or ConnectServer, GetObject, ExecQuery, Next, Get(PROPERTY),
//                          Put(PROPERTY), GetMethod(METHOD) (WBEM_E_NOT_FOUND: a service
//                          that lacks the method, as Wine's lacks three)
// The calls: one line per ExecMethod, "Class.Method(name=value, ...) = result",
// in %TEMP%\quelvane-wmi-stand-in.log, where every program of the prefix
// that uses the stand-in appends.
#pragma once

#include <windows.h>
#include <shlwapi.h>

#include <sstream>
#include <string>
#include <vector>

namespace stand_in {

inline constexpr const wchar_t* ChoicesKey = L"Software\\Quelvane WMI Stand-in";
inline constexpr const wchar_t* FaultsKey = L"Software\\Quelvane WMI Stand-in\\Faults";
inline constexpr const wchar_t* CallLogName = L"quelvane-wmi-stand-in.log";
inline constexpr const wchar_t* LocatorServerKey =
    L"Software\\Classes\\CLSID\\{4590F811-1D3A-11D0-891F-00AA004B2E24}\\InprocServer32";

inline std::wstring CallLogPath() {
    wchar_t folder[MAX_PATH + 1] = {};
    const DWORD length = GetTempPathW(MAX_PATH + 1, folder);
    return std::wstring(folder, length) + CallLogName;
}

// Whether this prefix serves CLSID_WbemLocator from the stand-in rather than
// from Wine's own service.
inline bool Active() {
    wchar_t server[MAX_PATH] = {};
    DWORD size = sizeof server;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, LocatorServerKey, nullptr, RRF_RT_REG_SZ, nullptr, server, &size) !=
        ERROR_SUCCESS)
        return false;
    return std::wstring(server).find(L"wmi_stand_in") != std::wstring::npos;
}

inline void Reset() {
    SHDeleteKeyW(HKEY_CURRENT_USER, ChoicesKey);
    DeleteFileW(CallLogPath().c_str());
}

inline void Set(const wchar_t* key, const std::wstring& name, DWORD type, const void* data, DWORD size) {
    HKEY opened = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &opened, nullptr) ==
        ERROR_SUCCESS) {
        RegSetValueExW(opened, name.c_str(), 0, type, static_cast<const BYTE*>(data), size);
        RegCloseKey(opened);
    }
}
inline void SetNumber(const std::wstring& name, DWORD number) {
    Set(ChoicesKey, name, REG_DWORD, &number, sizeof number);
}
inline void SetText(const std::wstring& name, const std::wstring& text) {
    Set(ChoicesKey, name, REG_SZ, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}
inline void SetFault(const std::wstring& step, HRESULT failure) {
    const DWORD code = static_cast<DWORD>(failure);
    Set(FaultsKey, step, REG_DWORD, &code, sizeof code);
}

// The logged calls whose line starts with the method ("StdRegProv.CheckAccess").
inline std::vector<std::string> CallsOf(const std::wstring& method) {
    const std::string prefix = std::string(method.begin(), method.end()) + "(";
    std::string log;
    const HANDLE file = CreateFileW(CallLogPath().c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        char chunk[4096];
        DWORD read = 0;
        while (ReadFile(file, chunk, sizeof chunk, &read, nullptr) && read > 0) log.append(chunk, read);
        CloseHandle(file);
    }
    std::vector<std::string> calls;
    std::istringstream lines(log);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind(prefix, 0) == 0) calls.push_back(line);
    return calls;
}

}  // namespace stand_in
