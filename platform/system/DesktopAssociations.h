#pragma once
// File associations in the desktop's own database: for each extension a
// MIME type (mime/packages/quillomark-<ext>.xml) and a desktop entry that
// opens it (applications/quillomark-<ext>.desktop) under a data folder,
// after which the desktop's MIME and desktop-entry caches are rebuilt.
//
// The data folder is the user's ($XDG_DATA_HOME, else ~/.local/share);
// when QUILLOMARK_CONFIG_DIR moves the settings (tests, trial runs) it
// moves with them to its "data" sub-folder, so that such a run never
// touches the user's desktop. Only files of the names above are written or
// removed.
#include <string>

struct TDesktopAssociation {
    std::string Extension;   // ".qmkf"
    std::string TypeName;    // "qmkffile": the MIME type is application/x-<type name>
    std::string Description; // what the desktop calls such files
    std::string Command;     // the open command, "%1" standing for the file
    std::string IconFile;    // shown when it is a picture the desktop reads (.png, .svg, .xpm)
};

std::string DesktopDataFolder();
// "application/x-" followed by the type name in lower case, characters
// other than letters, digits, '.', '+' and '-' made '-'.
std::string DesktopMimeType(const std::string& TypeName);
// The Exec line of a command: "%1" (quoted or not) becomes the file
// argument, arguments are quoted and escaped as desktop entries want.
std::string DesktopExecLine(const std::string& Command);

// Writes both files (atomically, each beside itself); false when one
// cannot be written.
bool WriteDesktopAssociation(const std::string& DataFolder, const TDesktopAssociation& A);
// Removes both files of Extension; true when nothing of it is left.
bool RemoveDesktopAssociation(const std::string& DataFolder, const std::string& Extension);
// Rebuilds the desktop's caches of the data folder with its own tools
// (when installed); they run quietly and are waited for.
void RefreshDesktopDatabases(const std::string& DataFolder);
