#include "banner/DocumentCommands.h"

#include "banner/BannerDocument.h"
#include "banner/DocumentConverters.h"
#include "banner/RecentFiles.h"
#include "platform/base/FileNames.h"
#include "platform/forms/Dialogs.h"
#include "platform/forms/Forms.h"
#include "raster/RasterCore.h"

namespace {

void PrepareFileDialog(TOpenDialog& Dialog) {
    Dialog.Filter = BannerFileFilter;
    Dialog.DefaultExt = BannerFileExtension;
}

} // namespace

std::string ReadOnlyDocumentMessage(const std::string& FileName) {
    return "Le fichier \"" + ExtractFileName(FileName) +
           "\" est en lecture seule : la bannière n'a pas été enregistrée. Enregistrez-la sous "
           "un autre nom.";
}

void TDocumentCommands::AskSaveChanges(bool& Abort) {
    Abort = false;
    if (!FDocument.Modified) return;
    const int Answer = MessageDlg(AskSaveChangesQuestion, mtWarning, mbYesNoCancel, 0);
    if (Answer == mrNo) return;
    if (Answer == mrYes) {
        // Going on after the save dialog was cancelled would throw the
        // changes away although the user asked to keep them.
        Abort = !SaveDocument(false);
        return;
    }
    Abort = true;
}

bool TDocumentCommands::Save() {
    return SaveDocument(false);
}

bool TDocumentCommands::SaveAs() {
    return SaveDocument(true);
}

bool TDocumentCommands::SaveDocument(bool AskName) {
    TBannerDocument& D = FDocument;
    if (D.Composition == ckNone) return false;
    std::string Name = D.FileName;
    if (AskName || !D.SavedBefore) {
        TSaveDialog Dialog(nullptr);
        PrepareFileDialog(Dialog);
        // Another banner saved under the chosen name is not replaced
        // unasked.
        Dialog.Options.Include(ofOverwritePrompt);
        Dialog.FileName = D.FileName;
        if (!Dialog.Execute()) return false;
        Name = Dialog.FileName;
    }
    // A document its owner protected is not replaced behind his back; the
    // banner stays modified and can be saved under another name.
    if (IsReadOnlyFile(ResolveFileLinks(Name))) {
        MessageDlg(ReadOnlyDocumentMessage(Name), mtWarning, TMsgDlgButtons{mbOK}, 0);
        return false;
    }
    // The status changes only once the file is written, so a failed write
    // leaves the banner modified under its old name.
    SaveBannerDocument(D, Name);
    D.SavedBefore = true;
    D.FileName = Name;
    D.Modified = false;
    D.Changed();
    AddRecentFile(Name);
    if (OnSaved) OnSaved();
    return true;
}

TOpenResult TDocumentCommands::OpenWithDialog() {
    TOpenDialog Dialog(nullptr);
    PrepareFileDialog(Dialog);
    Dialog.Title = OpenDialogTitle;
    Dialog.FileName = FDocument.OpenFileName;
    if (!Dialog.Execute()) return TOpenResult::Cancelled;
    return OpenFile(Dialog.FileName, false);
}

TOpenResult TDocumentCommands::OpenRecent(int Slot) {
    if (Slot < 0 || Slot >= RecentFileCount) return TOpenResult::Cancelled;
    return OpenFile(ReadRecentFiles()[std::size_t(Slot)], true);
}

TOpenResult TDocumentCommands::OpenCommandLine(const std::string& FileName) {
    // A name relative to the folder the program started in is made whole:
    // the recent-files list and later saves must find the same file from
    // any folder.
    return OpenFile(FileName.empty() ? FileName : ExpandFileName(FileName), true);
}

TOpenResult TDocumentCommands::OpenFile(const std::string& FileName, bool MustExist) {
    TBannerDocument& D = FDocument;
    if (MustExist && !FileExists(FileName)) {
        MessageDlg(FileMissingMessage, mtInformation, TMsgDlgButtons{mbOK}, 0);
        return TOpenResult::Missing;
    }
    bool Abort = false;
    AskSaveChanges(Abort);
    if (Abort) return TOpenResult::Cancelled;

    // The name and the emptied Image1 go in before the reading, so that the
    // reader's one change event shows them; they are put back whenever the
    // reading does not complete, so the open banner is never saved under the
    // name of a file it was not read from.
    TBitmap32 OldImage1;
    OldImage1.Assign(&D.Image1);
    const std::string OldFileName = D.FileName;
    const std::string OldOpenFileName = D.OpenFileName;
    auto Restore = [&] {
        D.Image1.Assign(&OldImage1);
        D.FileName = OldFileName;
        D.OpenFileName = OldOpenFileName;
    };
    D.FileName = FileName;
    D.OpenFileName = FileName;
    D.Image1.Delete();

    const TBannerFileConverter Convert =
        Converter ? Converter : MakeBannerFileConverter(StandardTemplateFolder(), D.Image2);
    // A damaged old document is told before the user is asked to convert
    // it: agreeing would rewrite the file and still not open it.
    const TBannerConvertQuestion Ask = [&](const std::string& Question) {
        CheckOldDocument(FileName, Convert);
        return MessageDlg(Question, mtWarning, mbOKCancel, 0) == mrOk;
    };
    int Version = 0;
    try {
        Version = LoadBannerDocument(D, FileName, Ask, Convert);
    } catch (const EBannerFileError& E) {
        Restore();
        MessageDlg(E.Message(), mtWarning, TMsgDlgButtons{mbOK}, 0);
        return TOpenResult::NotOpened;
    } catch (const EConvertError& E) {
        // A bad colour text alone says nothing of where it came from.
        Restore();
        throw EConvertError(DamagedDocumentMessage(FileName) + E.Message());
    } catch (...) {
        Restore();
        throw;
    }
    if (Version != BannerFileVersion) {
        Restore();
        return TOpenResult::NotOpened;
    }
    AddRecentFile(FileName);
    return TOpenResult::Opened;
}

bool TDocumentCommands::Close(bool Ask) {
    TBannerDocument& D = FDocument;
    if (Ask) {
        bool Abort = false;
        AskSaveChanges(Abort);
        if (Abort) return false;
    }
    D.ExtImageFileName.clear();
    D.extimage.Delete();
    D.CloseBanner();
    return true;
}
