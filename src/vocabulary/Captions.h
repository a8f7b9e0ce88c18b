#pragma once

namespace rheo {

// The program's title (message boxes) and the monitor window's captions.
inline constexpr const char* kProgramTitle = "RHEOTRACKPANEL";
inline constexpr const char* kNoFileCaption = "Incoming data - No file selected";
inline constexpr const char* kCaptionPrefix = "Incoming data - ";

}  // namespace rheo
