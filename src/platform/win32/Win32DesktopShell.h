#pragma once
#include <cstdint>

#include "platform/DesktopShell.h"

namespace rheo {

// The Windows shell: FindExecutableW for the lookup, ShellExecuteExW with the verb "open" for
// documents and web addresses, the names given in UTF-8. The owner is the HWND of the window that
// launches, or 0.
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
