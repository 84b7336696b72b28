// The texts every host of ours expects from the plug-in, in one place: the
// status sentences, the information record, the switch's values. Written
// down here rather than taken from the plug-in's sources, so that a change
// there shows. Constants; any thread.
#pragma once

namespace harness::expected {

inline constexpr char kName[] = "Orvalink Now Playing";
inline constexpr char kAuthor[] = "Orvalink";
inline constexpr char kDescription[] = "Shows the track you're playing on your Orvalink DJ page.";
inline constexpr char kVersion[] = ORVALINK_VERSION;

inline constexpr char kPasteKey[] = "Paste your Orvalink key to start";
inline constexpr char kCheckingKey[] = "Checking your key\xE2\x80\xA6";
inline constexpr char kNotAKey[] = "That doesn't look like an Orvalink key";
inline constexpr char kKeyRejected[] = "That key didn't work. Make a new one on your dashboard";
inline constexpr char kRetrying[] = "Can't reach Orvalink. Retrying\xE2\x80\xA6";
inline constexpr char kKeyWithdrawn[] = "Your key stopped working. Paste a new one";
inline constexpr char kWillResend[] = "Can't reach Orvalink. Will resend";
inline constexpr char kPaused[] = "Paused";
inline constexpr char kCopyKeyFirst[] = "Copy your key on your Orvalink dashboard first";
// Both "can't reach" sentences begin so.
inline constexpr char kCantReach[] = "Can't reach Orvalink";
// "Connected as " + the account's name, then " · sent " + a title once a play went out.
inline constexpr char kConnectedAs[] = "Connected as ";
inline constexpr char kSent[] = " \xC2\xB7 sent ";

inline constexpr char kSwitchOn[] = "On";
inline constexpr char kSwitchOff[] = "Off";

}  // namespace harness::expected
