#pragma once
#include <stdexcept>
#include <string>

namespace comm {

// Every failure of the port. The message carries the code: "<text> (Error: <code>) ".
// The code is the errno of the failing call, or -1 where no system call failed.
class ECommError : public std::runtime_error {
 public:
  ECommError(const std::string& text, int code);
  int ErrorCode() const { return code_; }
  const std::string& Text() const { return text_; }

 private:
  std::string text_;
  int code_;
};

inline constexpr const char* sPortAlreadyOpen = "Port already assigned (open)";
inline constexpr const char* sErrorAccessingDevice = "Error accessing specified device";
inline constexpr const char* sInvalidDeviceHandle = "Invalid device handle, access denied";
inline constexpr const char* sErrorUpdatingTimeouts = "Error updating CommTimeouts";
inline constexpr const char* sErrorUpdatingDcb = "Error updating DataControlBlock";
inline constexpr const char* sErrorInitBuffers = "Error initializing Read/Write Buffers";
inline constexpr const char* sReadError = "Read error";
inline constexpr const char* sWriteError = "Write error";
inline constexpr const char* sPortNotOpen = "Port not open, unable to complete operation";
inline constexpr const char* sEscapeFailure = "EscapeCommFunction failure";

}  // namespace comm
