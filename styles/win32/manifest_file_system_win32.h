// Windows only: the manifest writer's file system and the common controls over
// Win32.
//
// Usage, once at the very start of the program, before any window exists:
//   styles::InitXp();
#pragma once

#include "styles/init_xp.h"

namespace styles {

class ManifestFileSystemWin32 : public ManifestFileSystem {
public:
    ExecutableLocation RunningExecutable() override;
    bool FileExists(const std::wstring& path, std::uint32_t attributeMask) override;
    std::unique_ptr<OutputFile> CreateForOutput(const std::wstring& path) override;
    void SetAttributes(const std::wstring& path, std::uint32_t attributes) override;
};

class CommonControlsWin32 : public CommonControls {
public:
    // comctl32 bound by name at this call.
    void Initialize() override;
};

// InitXp over the real file system of the running executable and comctl32.
void InitXp() noexcept;

}  // namespace styles
