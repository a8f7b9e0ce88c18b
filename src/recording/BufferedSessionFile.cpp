#include "recording/BufferedSessionFile.h"

#include <vector>

namespace rheo {

bool BufferedSessionFile::Open(const std::string& path, const char* mode) {
    Finish();
    failed_ = false;
    if (path == "-") {
        stream_ = stdout;
        ownsStream_ = false;
    } else {
        stream_ = std::fopen(path.c_str(), mode);
        ownsStream_ = true;
    }
    if (stream_ != nullptr) {
        std::setvbuf(stream_, nullptr, _IOFBF, 1 << 16);
    }
    return stream_ != nullptr;
}

bool BufferedSessionFile::WriteLine(std::string_view bytes) {
    if (stream_ == nullptr) {
        return false;
    }
    if (std::fwrite(bytes.data(), 1, bytes.size(), stream_) != bytes.size()) {
        failed_ = true;
        return false;
    }
    return true;
}

bool BufferedSessionFile::Finish() {
    if (stream_ == nullptr) {
        return !failed_;
    }
    bool ok = std::fflush(stream_) == 0 && !std::ferror(stream_) && !failed_;
    if (ownsStream_) {
        ok = (std::fclose(stream_) == 0) && ok;
    }
    stream_ = nullptr;
    failed_ = !ok;
    return ok;
}

}  // namespace rheo
