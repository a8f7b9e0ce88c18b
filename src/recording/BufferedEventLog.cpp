#include "recording/BufferedEventLog.h"

namespace rheo {

namespace {
constexpr std::size_t kBufferSize = 1 << 16;
}  // namespace

void BufferedEventLog::LogEvent(EventKind kind, const Text& text) {
    if (!file_ || failed_) {
        return;
    }
    if (stream_ == nullptr) {
        stream_ = std::fopen(file_->c_str(), "ab");
        if (stream_ == nullptr) {
            failed_ = true;
            return;
        }
        std::setvbuf(stream_, nullptr, _IOFBF, kBufferSize);
    }
    line_ = EventLine(kind, text, clock_);
    line_ += kCrLf;
    if (std::fwrite(line_.data(), 1, line_.size(), stream_) != line_.size()) {
        failed_ = true;
    }
}

bool BufferedEventLog::Finish() {
    if (stream_ != nullptr) {
        const bool flushed = std::fflush(stream_) == 0 && !std::ferror(stream_);
        failed_ = std::fclose(stream_) != 0 || !flushed || failed_;
        stream_ = nullptr;
    }
    return !failed_;
}

}  // namespace rheo
