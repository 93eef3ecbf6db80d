// Paths as the platform writes them.  Neutral, like the rest of text/.
//
//   text::FolderOf(L"C:\\Tools\\Quelvane 2.exe");   // L"C:\\Tools"
//   text::FolderOf(L"C:\\Quelvane 2.exe");          // L"C:\\"
#pragma once

#include <string>

namespace text {

// Everything before the path's last backslash, empty when it has none.  A
// drive's root folder keeps its backslash ("C:\"): without it, "C:" names the
// drive's current folder, which the shell and the file functions take for
// another place.  Any other folder has none at the end.
inline std::wstring FolderOf(const std::wstring& path) {
    const auto slash = path.rfind(L'\\');
    if (slash == std::wstring::npos) return {};
    std::wstring folder = path.substr(0, slash);
    if (folder.size() == 2 && folder[1] == L':') folder += L'\\';
    return folder;
}

}  // namespace text
