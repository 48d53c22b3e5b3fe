#pragma once
// Sounds: one sound at a time for the whole program, played through the
// desktop's event-sound library on its own threads.
//
// A request names a wave file, a system event alias (".Default",
// "SystemAsterisk"... or a sound theme name such as "dialog-warning"), or
// carries the wave bytes themselves. Aliases map to the freedesktop sound
// theme; an alias the installed theme lacks plays the short sound the
// program carries. Without an audio output (no sound card and no sound
// server) nothing is tried and every request quietly reports "not played".
#include <cstdint>
#include <string>

using TSoundFlags = unsigned int;
constexpr TSoundFlags SND_SYNC = 0x0000;
constexpr TSoundFlags SND_ASYNC = 0x0001;
constexpr TSoundFlags SND_NODEFAULT = 0x0002;
constexpr TSoundFlags SND_MEMORY = 0x0004;
constexpr TSoundFlags SND_LOOP = 0x0008;
constexpr TSoundFlags SND_NOSTOP = 0x0010;
constexpr TSoundFlags SND_NOWAIT = 0x00002000;
constexpr TSoundFlags SND_ALIAS = 0x00010000;
constexpr TSoundFlags SND_FILENAME = 0x00020000;
constexpr TSoundFlags SND_RESOURCE = 0x00040004;

struct TSysSound {
    std::string Name;           // file, resource or alias name (empty for memory)
    const void* Data = nullptr; // the wave bytes for SND_MEMORY
    std::uint32_t DataSize = 0;
    TSoundFlags Flags = 0;
};

// Plays Sound; true when it started (asynchronous) or ran to its end
// (synchronous). A new sound replaces the one playing, unless SND_NOSTOP
// asks to yield to it (then false). A sound that cannot be found plays the
// default sound unless SND_NODEFAULT. A looped sound plays until stopped
// and never blocks. An empty request (no name, no data) stops the sound.
bool SysPlaySound(const TSysSound& Sound);
// Stops the sound playing, if any.
void SysStopSound();
// True while a sound plays.
bool SysSoundPlaying();
// Whether the machine has somewhere to play sounds (a sound card or a
// sound server); read once.
bool SysAudioOutputPresent();
// The sound theme name of an event alias ("SystemHand" -> "dialog-error");
// a name that is no known alias is returned unchanged.
std::string SysSoundThemeName(const std::string& Alias);
