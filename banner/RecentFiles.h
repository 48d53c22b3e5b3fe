#pragma once
// The four most recent banner files, kept in the per-user registry under
// "\Software\Quillomark\Recent" as string values "F1" (most recent) to "F4",
// and the captions the File menu, the recent-files popup and the welcome page
// show for them. Names are compared exactly, with case: two names that differ
// only in case are two files here.
//
// The list never stops a command: a key that cannot be opened or a value of
// another type reads as empty, and a write that fails is dropped.
#include <array>
#include <string>

constexpr int RecentFileCount = 4;
constexpr const char* RecentFilesKey = "\\Software\\Quillomark\\Recent";
constexpr const char* RecentFilesHeading = "Fichiers récents :";

using TRecentFileNames = std::array<std::string, RecentFileCount>;

// F1..F4; a missing value reads as "".
TRecentFileNames ReadRecentFiles();
// Moves FileName to the front: nothing is written when it is F1 already;
// when it is Fk the entries above k move down one slot; otherwise every
// entry moves down and the old F4 is dropped. False when the registry could
// not be written.
bool AddRecentFile(const std::string& FileName);
// The list after the move-to-front of FileName (no registry access).
TRecentFileNames RotateRecentFiles(const TRecentFileNames& Names, const std::string& FileName);

// One menu item (MIk and MIPk) or welcome label.
struct TRecentFileItem {
    std::string Caption;
    bool Visible = false;
};

// MI1..MI4: "&k " + the name without its folder; hidden when that part is
// empty (a missing value or a name ending in a delimiter).
std::array<TRecentFileItem, RecentFileCount> RecentFileMenuItems(const TRecentFileNames& Names);

// fl1, FL2, FL3, FL4: the menu captions without their "&k " prefix, and
// whether the heading RecentLab shows (at least one label does).
struct TRecentFileWelcome {
    std::array<TRecentFileItem, RecentFileCount> Labels;
    bool HeadingVisible = false;
};
TRecentFileWelcome RecentFileWelcomeLabels(const TRecentFileNames& Names);
