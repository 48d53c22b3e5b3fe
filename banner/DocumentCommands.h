#pragma once
// TDocumentCommands: save, save as, open, close and the unsaved-changes
// prompt, run on one TBannerDocument. Every question goes through the
// installed dialog service (Dialogs.h), so the commands run the same under
// tests. The editor binds its buttons and menus to these and does the window
// side (captions come from TBannerDocument::Caption(), panels, buttons).
//
// A command that is cancelled or fails leaves the document, its status and
// the recent-files list as they were. A successful save or open moves the
// file to the front of the recent list (RecentFiles.h).
#include <functional>
#include <string>

#include "banner/DocumentFile.h"

class TBannerDocument;

constexpr const char* AskSaveChangesQuestion =
    "La bannière n'a pas été enregistrée. Voulez-vous l'enregistrer ?";
constexpr const char* FileMissingMessage = "Le fichier n'existe pas.";
constexpr const char* OpenDialogTitle = "Ouvrir";
// Shown (warning) instead of replacing a document that may not be written.
std::string ReadOnlyDocumentMessage(const std::string& FileName);

enum class TOpenResult {
    Opened,    // the file was read; the document holds it
    Cancelled, // the open dialog or the unsaved-changes prompt was cancelled
    Missing,   // a recent or command-line name that does not exist
    NotOpened, // conversion refused, or a version this program cannot read
};

class TDocumentCommands {
public:
    explicit TDocumentCommands(TBannerDocument& Document) : FDocument(Document) {}

    TBannerDocument& Document() const { return FDocument; }

    // Runs the prompt when the document is modified. Yes saves (asking a
    // name when it has none); No goes on; Cancel, or a save whose dialog is
    // cancelled, sets Abort: the calling command must stop.
    void AskSaveChanges(bool& Abort);

    // The plain save uses the document's name once it was saved or opened,
    // else asks for one; SaveAs always asks. False when the dialog was
    // cancelled, the file is read-only (the user is told) or no banner is
    // open. A write error raises, nothing changed.
    bool Save();
    bool SaveAs();

    // Open through the open dialog, the recent slot Slot 0..3, or the name
    // given on the command line. Raises EFOpenError when the file cannot be
    // read, EConvertError (led by DamagedDocumentMessage) when its settings
    // cannot be, and the conversion's errors; the document is then
    // unchanged.
    TOpenResult OpenWithDialog();
    TOpenResult OpenRecent(int Slot);
    TOpenResult OpenCommandLine(const std::string& FileName);

    // Closes the banner; with Ask, a modified banner is first prompted for.
    // False when the prompt was cancelled.
    bool Close(bool Ask = true);

    // Called after every save that wrote the file, whichever command or
    // prompt asked for it (the editor counts saves for its export hint).
    std::function<void()> OnSaved;

    // Converts old files in place; when unset the standard converter (the
    // template folder beside the program, the document's default image) is
    // used.
    TBannerFileConverter Converter;

private:
    bool SaveDocument(bool AskName);
    TOpenResult OpenFile(const std::string& FileName, bool MustExist);

    TBannerDocument& FDocument;
};
