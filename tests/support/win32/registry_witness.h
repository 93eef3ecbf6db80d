// Independent views of the registry for the Windows tests: the registry API
// and the system's own reg.exe, so that what the WMI provider did is checked
// by something other than the provider itself.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>

#include "registry/registry_provider.h"

namespace witness {

// A value as the registry API reads it: its registry type and its data.
struct ApiValue {
    unsigned long type = 0;                          // REG_SZ, REG_DWORD, ...
    std::variant<std::wstring, std::uint32_t> data;  // text of REG_SZ, number of REG_DWORD
};

// The root as reg.exe and the traces of the tests name it: "HKEY_LOCAL_MACHINE".
std::wstring RootName(registry::Root root);

std::optional<ApiValue> ReadValue(registry::Root root, const std::wstring& key, const std::wstring& valueName);
bool KeyExists(registry::Root root, const std::wstring& key);
void WriteDword(registry::Root root, const std::wstring& key, const std::wstring& valueName, std::uint32_t number);
void WriteString(registry::Root root, const std::wstring& key, const std::wstring& valueName, const std::wstring& text);
// Creates the key and its missing parents; raises when it cannot.
void CreateKey(registry::Root root, const std::wstring& key);
// Removes one value; a missing value or key is fine.
void DeleteValue(registry::Root root, const std::wstring& key, const std::wstring& valueName);
// Removes the key with everything below it; a missing key is fine.
void DeleteTree(registry::Root root, const std::wstring& key);

// Gives an existing key a DACL that lets everyone read it and nobody change
// it.  Wine keeps a key's security only while its server runs: call it while
// the program under test runs.
void MakeKeyReadOnly(registry::Root root, const std::wstring& key);

// How many subkeys and values a key holds; nullopt when it cannot be opened.
struct KeyEntries {
    unsigned long subkeys = 0;
    unsigned long values = 0;
};
std::optional<KeyEntries> CountEntries(registry::Root root, const std::wstring& key);

// What `reg query ROOT\KEY [/v NAME]` printed, parsed.
struct RegExeAnswer {
    unsigned long exitCode = 0;
    std::string type;    // "REG_DWORD", "REG_SZ"; empty when no value line was found
    std::string data;    // as printed: "0x3ffffff", "cmd.exe"
    std::string output;  // everything, for failure messages
};
RegExeAnswer RegExeQuery(registry::Root root, const std::wstring& key, const std::optional<std::wstring>& valueName);

// Asks StdRegProv itself, with no help from the provider under test.
bool StdRegProvHasMethod(const std::wstring& method);

}  // namespace witness
