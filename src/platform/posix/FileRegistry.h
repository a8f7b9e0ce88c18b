#pragma once
#include <cstdint>
#include <map>
#include <string>

#include "platform/Registry.h"

namespace rheo {

// The machine-wide settings store where there is no Windows registry: one text file,
// <first entry of XDG_CONFIG_DIRS, or /etc/xdg>/rheotrackpanel/settings, shared by all users.
//
// The file keeps keys and typed values, one a line, in the manner of a registry export:
//
//   [Software\Kavrel\Quelmar]
//   "Puerto"=dword:00000003
//   "Port1"="/dev/ttyUSB0"
//
// "text" is text stored with its terminating zero (as the registry's own editors store it),
// sz:"text" text stored without one, dword:XXXXXXXX a 32-bit number in hexadecimal, and
// hex(N):0a,0b data of any other type N. Inside quotes \\, \" and \xHH stand for a backslash,
// a quote and the byte HH, so every value reads back byte for byte. Key and value names compare
// without regard to ASCII case. Comments (";" or "#") and lines that are not understood are kept
// as they are when the file is rewritten.
//
// Every call reads the file afresh, so values written by another process or by hand are seen
// at once. The file is created by the first write and always replaced whole: a temporary file
// in the same directory, flushed to the device, then renamed over the old one. A write that
// fails leaves the old file as it was and returns the error code.
class FileRegistry : public Registry {
  public:
    FileRegistry();                           // the machine-wide store
    explicit FileRegistry(std::string file);  // a store in the given file

    // <first absolute entry of XDG_CONFIG_DIRS, or /etc/xdg>/rheotrackpanel/settings.
    static std::string DefaultFile();
    const std::string& File() const { return file_; }

    long OpenKey(RegKey root, const std::string& path, std::uint32_t access, RegKey& key) override;
    long CreateKey(RegKey root, const std::string& path, RegKey& key) override;
    long SetValue(RegKey key, const std::string& name, std::uint32_t type, const std::uint8_t* data,
                  std::uint32_t length) override;
    long QueryValue(RegKey key, const std::string& name, std::uint32_t* type, std::uint8_t* data,
                    std::uint32_t* length) override;
    long CloseKey(RegKey key) override;

  private:
    // The key path a root or open key stands for; false for an unknown handle.
    bool KeyPathOf(RegKey key, std::string& path) const;
    RegKey NewHandle(const std::string& path);
    // Opens the key, creating it (and saving the store) first when asked to.
    long OpenOrCreateKey(RegKey root, const std::string& path, bool create, RegKey& key);

    std::string file_;
    std::map<RegKey, std::string> handles_;
    RegKey nextHandle_ = 1;
};

}  // namespace rheo
