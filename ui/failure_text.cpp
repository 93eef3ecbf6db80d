#include "ui/failure_text.h"

#include "registry/registry_provider.h"
#include "text/utf.h"

namespace ui {

namespace {

constexpr std::wstring_view Lead = L"Quelvane 2 met a failure that it cannot handle and has to end.\r\n\r\n";

}  // namespace

std::wstring FailureText(const std::exception& failure) {
    if (const auto* registryFailure = dynamic_cast<const registry::RegistryFailure*>(&failure))
        return std::wstring(Lead) + registryFailure->Describe();
    // Exception messages are UTF-8 in this program (RegistryFailure writes its
    // what() so); FromUtf8 marks a byte that does not fit instead of failing
    // while a failure is being reported.
    return std::wstring(Lead) + text::FromUtf8(failure.what());
}

std::wstring UnknownFailureText() { return std::wstring(Lead) + L"The failure carries no description."; }

}  // namespace ui
