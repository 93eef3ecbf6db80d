#include "styles/init_xp.h"

#include "text/path.h"

namespace styles {

namespace {

// InitXp must never let anything reach the dialog that calls it, whatever the
// platform throws, so each step swallows every failure on its own.
template <typename Step>
void Ignoring(Step&& step) noexcept {
    try {
        step();
    } catch (...) {}
}

bool EndsWithExeInAnyCase(const std::wstring& name) {
    constexpr std::wstring_view exe = L".exe";
    if (name.size() < exe.size()) return false;
    for (std::size_t i = 0; i < exe.size(); ++i) {
        wchar_t c = name[name.size() - exe.size() + i];
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
        if (c != exe[i]) return false;
    }
    return true;
}

}  // namespace

ExecutableLocation SplitExecutablePath(const std::wstring& executablePath) {
    ExecutableLocation location;
    location.folder = text::FolderOf(executablePath);
    const std::wstring fileName = executablePath.substr(executablePath.rfind(L'\\') + 1);
    location.baseName = fileName.substr(0, fileName.rfind(L'.'));
    return location;
}

std::wstring ManifestPath(const ExecutableLocation& executable) {
    std::wstring path = executable.folder;
    if (path.empty() || path.back() != L'\\') path += L'\\';
    path += executable.baseName;
    // A file named "x.exe.exe" has the base name "x.exe": one ".exe" is
    // enough before ".manifest".
    path += EndsWithExeInAnyCase(executable.baseName) ? L".manifest" : L".exe.manifest";
    return path;
}

void InitXp(ManifestFileSystem& files, CommonControls& controls) noexcept {
    std::wstring path;
    // A look-up that fails counts as a file found: better no manifest than an
    // existing one overwritten.
    bool missing = false;
    Ignoring([&] {
        path = ManifestPath(files.RunningExecutable());
        missing = !files.FileExists(path, ManifestLookupMask);
    });

    if (missing) {
        std::unique_ptr<OutputFile> file;
        Ignoring([&] { file = files.CreateForOutput(path); });
        // Without a created file there is nothing to write or mark; setting the
        // attributes anyway would change a folder that carries the name.
        if (file) {
            Ignoring([&] { file->Write(ManifestText); });
            Ignoring([&] { file->Close(); });
            Ignoring([&] { files.SetAttributes(path, ManifestAttributes); });
        }
    }

    Ignoring([&] { controls.Initialize(); });
}

}  // namespace styles
