#include "platform/posix/PosixDesktopShell.h"

// GIO only here: its headers use names (signals) that Qt's keywords take.
#include <gio/gio.h>
#include <unistd.h>

namespace rheo {
namespace {

// The application the desktop has chosen for the file's type; null when there is none.
GAppInfo* Handler(const std::string& file) {
    g_autofree gchar* type = g_content_type_guess(file.c_str(), nullptr, 0, nullptr);
    return g_app_info_get_default_for_type(type, FALSE);
}

}  // namespace

int PosixDesktopShell::FindExecutable(const std::string& file) {
    if (::access(file.c_str(), F_OK) != 0) {
        return kNotFound;
    }
    g_autoptr(GAppInfo) handler = Handler(file);
    return handler != nullptr ? kFound : kNoAssociation;
}

bool PosixDesktopShell::Open(const std::string& target, bool /*maximised*/) {
    g_autoptr(GFile) file = g_file_new_for_commandline_arg(target.c_str());
    g_autofree gchar* uri = g_file_get_uri(file);
    return g_app_info_launch_default_for_uri(uri, nullptr, nullptr) != FALSE;
}

bool PosixDesktopShell::OpenWebAddress(const std::string& address, const std::string& page) {
    g_autoptr(GAppInfo) browser = Handler(page);
    if (browser == nullptr) {
        return false;
    }
    std::string url = address.find("://") == std::string::npos ? "http://" + address : address;
    GList addresses{url.data(), nullptr, nullptr};
    return g_app_info_launch_uris(browser, &addresses, nullptr, nullptr) != FALSE;
}

}  // namespace rheo
