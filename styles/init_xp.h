// mInitXp: the visual-styles manifest next to the executable, and the start
// of the common controls.
//
// Usage (the Windows program calls the argument-less InitXp() of
// styles/win32/manifest_file_system_win32.h, which binds the real file system
// and comctl32):
//   styles::ManifestFileSystemWin32 files;
//   styles::CommonControlsWin32 controls;
//   styles::InitXp(files, controls);   // never raises, reports nothing
//
// Windows reads an application manifest only when it starts a program, so the
// file written by this run counts from the next start on, and on Windows XP
// only: Vista and later read the manifest embedded in the program
// (app/resources), which also gives the first start its visual styles.  An
// existing manifest is never read, checked or replaced.
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

namespace styles {

// Platform file attributes, as the look-up mask and the written file use them.
inline constexpr std::uint32_t AttributeReadOnly = 0x01;
inline constexpr std::uint32_t AttributeHidden = 0x02;
inline constexpr std::uint32_t AttributeSystem = 0x04;
inline constexpr std::uint32_t AttributeArchive = 0x20;

// Read-only, hidden and system files count as existing, as normal ones do.
inline constexpr std::uint32_t ManifestLookupMask = AttributeReadOnly | AttributeHidden | AttributeSystem;
inline constexpr std::uint32_t ManifestAttributes =
    AttributeReadOnly | AttributeHidden | AttributeSystem | AttributeArchive;

// The processor that a manifest names, in both of its assemblyIdentity
// elements.  It must be the executable's own: a 64-bit Windows refuses to start
// a program whose manifest names another one, and 64-bit Wine finds no common
// controls 6.0 for it.
enum class ManifestArchitecture { X86, Amd64 };

// The manifests, byte for byte: CR LF after every line but the last.  The X86
// one is what the program for Windows 2000 and XP has always written; the
// amd64 one differs from it in the two processorArchitecture values only.
inline constexpr std::string_view ManifestTextX86 =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
    "<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\">\r\n"
    "     <assemblyIdentity version=\"1.0.0.0\" processorArchitecture=\"X86\" name=\"app\" type=\"win32\" />\r\n"
    "     <description>Gaya XP GW Githu Loh.. (by Brisolt)</description>\r\n"
    "     <dependency>\r\n"
    "          <dependentAssembly>\r\n"
    "               <assemblyIdentity type=\"win32\" name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""
    " processorArchitecture=\"X86\" publicKeyToken=\"6595b64144ccf1df\" language=\"*\" />\r\n"
    "          </dependentAssembly>\r\n"
    "     </dependency>\r\n"
    "</assembly>";
inline constexpr std::string_view ManifestTextAmd64 =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
    "<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\">\r\n"
    "     <assemblyIdentity version=\"1.0.0.0\" processorArchitecture=\"amd64\" name=\"app\" type=\"win32\" />\r\n"
    "     <description>Gaya XP GW Githu Loh.. (by Brisolt)</description>\r\n"
    "     <dependency>\r\n"
    "          <dependentAssembly>\r\n"
    "               <assemblyIdentity type=\"win32\" name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""
    " processorArchitecture=\"amd64\" publicKeyToken=\"6595b64144ccf1df\" language=\"*\" />\r\n"
    "          </dependentAssembly>\r\n"
    "     </dependency>\r\n"
    "</assembly>";

constexpr std::string_view ManifestTextFor(ManifestArchitecture architecture) {
    return architecture == ManifestArchitecture::Amd64 ? ManifestTextAmd64 : ManifestTextX86;
}

// The processor of this build's executable, fixed when it is compiled: the
// x86-64 Windows build writes the amd64 manifest, the i686 build the X86 one.
// The native build, which only runs the tests, takes the i686 program's text.
#if defined(_WIN32) && (defined(__x86_64__) || defined(_M_X64))
inline constexpr ManifestArchitecture ProgramArchitecture = ManifestArchitecture::Amd64;
#elif defined(_WIN32) && !(defined(__i386__) || defined(_M_IX86))
#error "The program is built for i686 and x86-64 Windows only: its manifest names one of the two processors"
#else
inline constexpr ManifestArchitecture ProgramArchitecture = ManifestArchitecture::X86;
#endif

// What InitXp writes.
inline constexpr std::string_view ManifestText = ManifestTextFor(ProgramArchitecture);

// A file system step that did not work; InitXp swallows it.
class FileSystemFailure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Where the running executable lies: its folder (a drive's root folder keeps
// its backslash, "C:\"; any other folder has none at the end) and its file
// name without the extension.
struct ExecutableLocation {
    std::wstring folder;
    std::wstring baseName;
};

// A file open for output.  Closing it releases it; a file that was never
// closed explicitly is closed when the object goes.
class OutputFile {
public:
    virtual ~OutputFile() = default;
    // Writes the text in one piece; raises when not all of it was written.
    virtual void Write(std::string_view bytes) = 0;
    virtual void Close() = 0;
};

// The platform operations InitXp uses, in the order of use.  Each raises
// FileSystemFailure (or any std::exception) when it does not work.
class ManifestFileSystem {
public:
    virtual ~ManifestFileSystem() = default;

    virtual ExecutableLocation RunningExecutable() = 0;
    // Whether a file of exactly this path exists.  Files whose hidden or system
    // attribute is not in the mask, and folders, do not count.  Raises when the
    // look-up itself fails (anything other than "no such file or path").
    virtual bool FileExists(const std::wstring& path, std::uint32_t attributeMask) = 0;
    // Creates the file, or empties it should it exist.
    virtual std::unique_ptr<OutputFile> CreateForOutput(const std::wstring& path) = 0;
    // Replaces the file's attributes by these.
    virtual void SetAttributes(const std::wstring& path, std::uint32_t attributes) = 0;
};

// The common controls, which InitXp starts once the manifest is dealt with.
class CommonControls {
public:
    virtual ~CommonControls() = default;

    // InitCommonControls of comctl32; raises when it cannot be called.
    virtual void Initialize() = 0;
};

// Splits a full executable path the way the folder and base name above are
// meant: "C:\Tools\Quelvane 2.exe" -> "C:\Tools", "Quelvane 2"; "C:\q.exe" ->
// "C:\", "q"; "D:\a\q.exe.exe" -> "D:\a", "q.exe".
ExecutableLocation SplitExecutablePath(const std::wstring& executablePath);

// Folder, a backslash unless the folder already ends with one, base name, and
// ".manifest" when the base name itself ends in ".exe" (any case), otherwise
// ".exe.manifest".
std::wstring ManifestPath(const ExecutableLocation& executable);

// Writes the manifest when no file of its name exists, then starts the common
// controls.  Every failing step is skipped; nothing leaves this function.
void InitXp(ManifestFileSystem& files, CommonControls& controls) noexcept;

}  // namespace styles
