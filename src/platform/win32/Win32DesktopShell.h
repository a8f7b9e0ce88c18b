#pragma once
#include <cstdint>

#include "platform/DesktopShell.h"

namespace rheo {

// The Windows shell: FindExecutableA for the lookup, ShellExecuteExA with the verb "open" for
// documents and web addresses. The owner is the HWND of the window that launches, or 0.
class Win32DesktopShell : public DesktopShell {
  public:
    explicit Win32DesktopShell(std::uintptr_t owner = 0) : owner_(owner) {}
    void SetOwner(std::uintptr_t owner) { owner_ = owner; }

    int FindExecutable(const std::string& file) override;
    bool Open(const std::string& target, bool maximised) override;

  private:
    std::uintptr_t owner_;
};

}  // namespace rheo
