#include "editor/ShellLinks.h"

#include <filesystem>
#include <system_error>

#include "platform/base/FileNames.h"
#include "platform/forms/DesktopServices.h"
#include "platform/forms/Dialogs.h"

std::string HelpFilePath() {
    return ApplicationFolder() + HelpFileName;
}

bool OpenShellTarget(const std::string& Target) {
    if (ShellOpen(Target)) return true;
    MessageDlg("Impossible d'ouvrir « " + Target +
                   " » : aucune application du bureau ne l'a accepté.",
               mtWarning, {mbOK}, 0);
    return false;
}

bool OpenHelpFile() {
    const std::string Path = HelpFilePath();
    std::error_code Ec;
    if (!std::filesystem::is_regular_file(Path, Ec)) {
        MessageDlg("Le fichier d'aide est introuvable : " + Path +
                       "\nRéinstallez le programme pour le retrouver.",
                   mtWarning, {mbOK}, 0);
        return false;
    }
    return OpenShellTarget(Path);
}
