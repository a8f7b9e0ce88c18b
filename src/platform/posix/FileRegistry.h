#pragma once
#include <cstdint>
#include <map>
#include <string>

#include "platform/Registry.h"
#include "platform/posix/SettingsText.h"

namespace rheo {

// The machine-wide settings store where there is no Windows registry: one text file,
// <first entry of XDG_CONFIG_DIRS, or /etc/xdg>/rheotrackpanel/settings, shared by all users
// (format in SettingsText.h). Keys live under HKEY_LOCAL_MACHINE; values are text or 32-bit
// numbers.
//
// Every call reads the file afresh, once, so values written by another process or by hand are
// seen at once. Only a regular file of at most 1 MiB, reached without following a link, is
// read; anything else (a link, a FIFO, a device, a huge file) counts as no store. The file is
// created by the first write and always replaced whole, under an exclusive flock on its folder
// (so two writers lose no update; an administrator edits under the same lock with
// `flock /etc/xdg/rheotrackpanel -c "editor settings"`): a temporary file in the folder with
// mode 0664 (the group comes from a setgid folder), flushed to the device, renamed over the old
// one, and the folder flushed. A write that fails leaves the old file as it was.
class FileRegistry : public Registry {
  public:
    static constexpr std::size_t kMaxFileSize = 1 << 20;

    FileRegistry();                           // the machine-wide store
    explicit FileRegistry(std::string file);  // a store in the given file

    // <first absolute entry of XDG_CONFIG_DIRS, or /etc/xdg>/rheotrackpanel/settings.
    static std::string DefaultFile();
    // The administrator's port map, in the same format, beside the store's folder rather than
    // in it (operators may write that folder): <the same directory>/rheotrackpanel-ports.
    static std::string PortMapFile();
    const std::string& File() const { return file_; }

    long OpenKey(RegKey root, const std::string& path, std::uint32_t access, RegKey& key) override;
    long CreateKey(RegKey root, const std::string& path, RegKey& key) override;
    long SetValue(RegKey key, const std::string& name, std::uint32_t type, const std::uint8_t* data,
                  std::uint32_t length) override;
    long QueryValue(RegKey key, const std::string& name, std::uint32_t* type, std::uint8_t* data,
                    std::uint32_t* length) override;
    long CloseKey(RegKey key) override;

  private:
    long Load(SettingsText& text) const;
    // Reads, changes and replaces the file under the folder's lock; change returns a status.
    template <typename Change>
    long Update(Change change);

    std::string file_;
    std::map<RegKey, std::string> handles_;  // open keys and their paths
    RegKey nextHandle_ = 1;
};

}  // namespace rheo
