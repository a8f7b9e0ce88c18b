#pragma once
#include <string>

// <shellapi.h> defines FindExecutable as a macro for its ANSI and wide forms.
#ifdef FindExecutable
#undef FindExecutable
#endif

namespace rheo {

// The desktop's document handling.
class DesktopShell {
  public:
    virtual ~DesktopShell() = default;
    // Which program opens the given file; as the Windows call, a result above 32 means found.
    virtual int FindExecutable(const std::string& file) = 0;
    // Performs the verb "open" on a document or web address without waiting; false on failure.
    virtual bool Open(const std::string& target, bool maximised) = 0;
    // Opens a web address in the web browser, the program the lookup finds for the given HTML
    // page; false when it could not be started. The desktop's open operation on the address
    // where the desktop knows a bare "www." host name for a web address (Windows).
    virtual bool OpenWebAddress(const std::string& address, const std::string& /*page*/) {
        return Open(address, false);
    }
};

}  // namespace rheo
