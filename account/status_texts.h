// Every sentence the status line can show, byte for byte (UTF-8).
// Constants only; any thread.
#pragma once

namespace status {

inline constexpr char kPasteKeyToStart[] = "Paste your Orvalink key to start";
inline constexpr char kCheckingKey[] = "Checking your key\xE2\x80\xA6";
inline constexpr char kNotAKey[] = "That doesn't look like an Orvalink key";
inline constexpr char kConnectedAs[] = "Connected as ";
inline constexpr char kSentSeparator[] = " \xC2\xB7 sent ";
inline constexpr char kKeyRejected[] = "That key didn't work. Make a new one on your dashboard";
inline constexpr char kRetrying[] = "Can't reach Orvalink. Retrying\xE2\x80\xA6";
inline constexpr char kKeyStopped[] = "Your key stopped working. Paste a new one";
inline constexpr char kWillResend[] = "Can't reach Orvalink. Will resend";
inline constexpr char kPaused[] = "Paused";
inline constexpr char kCopyKeyFirst[] = "Copy your key on your Orvalink dashboard first";

}  // namespace status
