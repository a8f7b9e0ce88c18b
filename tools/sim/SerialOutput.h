#pragma once
#include <csignal>
#include <string>
#include <string_view>

namespace rheo::sim {

// Where the simulated instrument writes: a serial device set to 9600 baud, 8 data bits, no
// parity, 1 stop bit, raw (on Windows "COM<n>"); any other file as it is; or standard output.
class SerialOutput {
  public:
    SerialOutput() = default;
    ~SerialOutput();
    SerialOutput(const SerialOutput&) = delete;
    SerialOutput& operator=(const SerialOutput&) = delete;

    // "" or "-" for standard output. On failure, Error() tells why.
    bool Open(const std::string& device);
    // A flag set by the stop signals' handler: a write they interrupt is given up.
    void SetStopFlag(const volatile std::sig_atomic_t* stop) { stop_ = stop; }
    // Writes all of the text; false on failure or when a stop signal interrupted it.
    bool Write(std::string_view text);
    const std::string& Error() const { return error_; }
    bool BrokenPipe() const { return brokenPipe_; }

  private:
    const volatile std::sig_atomic_t* stop_ = nullptr;
    int fd_ = -1;
    void* handle_ = nullptr;  // Windows: the HANDLE written to
    bool own_ = false;
    bool brokenPipe_ = false;
    std::string error_;
};

}  // namespace rheo::sim
