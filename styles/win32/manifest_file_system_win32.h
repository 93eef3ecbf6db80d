// Windows only: the manifest writer's file system over Win32.
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
    void InitCommonControls() override;
};

// InitXp over the real file system of the running executable.
void InitXp() noexcept;

}  // namespace styles
