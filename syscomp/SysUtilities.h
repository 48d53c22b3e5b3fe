#pragma once
// Shared routines of the system components: the system version flags, the
// extra colour identifiers, string and path helpers, window messages
// registered by name, and showing or hiding the application.
#include "platform/forms/Messages.h"
#include "platform/graphics/Colors.h"

#include <span>
#include <string>

class TStrings;

// ---------------------------------------------------------------- version
// The version code of a system described by its platform (NT or 9x), major
// and minor version and service text (trimmed): 0 when not recognised, 1 NT
// 3, 2 95, 3 95 second release, 4 NT 4, 5 98, 6 98 second edition, 7 Me,
// 8 2000, 9 XP, 10 Server 2003.
int SysVersionCode(bool NTPlatform, int Major, int Minor, const std::string& Service);
// The running system's code (0 here: this system is none of the table's).
int SysOSVersion();
// Overrides the running system's code (tests; negative restores it).
void SetSysOSVersionForTesting(int Code);
bool SysIsNTPlatform();
bool Sys9xPlatform();
// The "at least" flags are true for an unrecognised system too: it is taken
// to be newer than every system of the table.
bool SysIsWin98OrLater();
bool SysIsWin2000OrLater();
bool SysIsWinXPOrLater();

// ---------------------------------------------------------------- colours
// The 21 extra colour names (clBrown ... clLavender), looked up before the
// class library's own names once registered.
std::span<const TIdentMapEntry> SysColorIdents();
void RegisterSysColorIdents();
void UnregisterSysColorIdents();

// ---------------------------------------------------------------- strings
int SysMin(int A, int B);
// Shift 1, alt 2, control 4, from the keys' current states.
int SysShiftState();
// 1-based position of SubStr in S at or after Start (1-based); 0 when absent.
int SysPosFrom(const std::string& SubStr, const std::string& S, int Start);
// 1-based position of the last SubStr in S that starts at or before Start.
int SysLastPos(const std::string& SubStr, const std::string& S, int Start);
// Replaces every occurrence, scanning on after each inserted replacement.
std::string SysReplaceAll(const std::string& S, const std::string& From, const std::string& To);
std::string SysReplaceChar(const std::string& S, char From, char To);
// Appends the parts of S split at Separator to List.
void SysSplit(const std::string& S, const std::string& Separator, TStrings* List);
// Adds the path delimiter ("/" here) when S does not end with one.
std::string SysAddPathDelimiter(const std::string& S);
// Makes doubled backslashes single.
std::string SysSingleBackslashes(const std::string& S);
// The text after the last backslash, colon or slash, and the text up to it.
std::string SysFileNamePart(const std::string& S);
std::string SysFolderPart(const std::string& S);
std::string SysNameWithoutExt(const std::string& S);
// The program's log-file name (its path with ".log") and its folder.
std::string SysLogFileName();
std::string SysProgramFolder();

// ---------------------------------------------------------------- windows
// A message number unique to Name for this process (0xC000 and above); the
// same name always gives the same number.
UINT SysRegisterWindowMessage(const std::string& Name);
// Shows the application: its main form becomes visible.
void SysShowApplication();
// Hides the application: its main form becomes invisible.
void SysHideApplication();
