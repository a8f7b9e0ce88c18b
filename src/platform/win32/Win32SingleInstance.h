#pragma once
#include <string>

#include "platform/SingleInstance.h"

namespace rheo {

// One copy per logon session: a named mutex in the session's namespace, held for the life of
// this object (and so of the process that owns it).
class Win32SingleInstance : public SingleInstance {
  public:
    explicit Win32SingleInstance(std::string name = "Local\\RHEOTRACKPANEL")
        : name_(std::move(name)) {}
    ~Win32SingleInstance() override;
    Win32SingleInstance(const Win32SingleInstance&) = delete;
    Win32SingleInstance& operator=(const Win32SingleInstance&) = delete;

    bool Acquire() override;

  private:
    std::string name_;
    void* mutex_ = nullptr;  // HANDLE
};

}  // namespace rheo
