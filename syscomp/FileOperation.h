#pragma once
// TSysFileOperation: copies, moves, deletes or renames the files and folders
// of a list, as one request.
//
// Each line of FileList is a source; a source's name may hold the wildcards
// "*" and "?". When a line holds "=", it is "source=destination" and every
// source goes to its own destination (a destination without a folder is
// taken in DestFolder); otherwise DestFolder is the target folder (the new
// name for fotRename). The whole request stops at the first failure, which
// is reported through OnError with the system's message.
//
// Options on this system: fofAllowUndo makes fotDelete move the items to the
// user's trash folder (the desktop's trash layout under $XDG_DATA_HOME)
// instead of erasing them (a name the trash already holds, even as a file
// without its info, makes the item take the next free name "name.2").
// Moving or renaming an item onto itself fails with "Invalid argument". An
// existing target is replaced only with fofNoConfirmation; with
// fofRenameCollision the copy gets a free name ("name (2).ext"); with neither
// the item fails with "File exists", as there is no one to confirm.
// fofFilesOnly limits wildcards to files. The other options only concern
// progress and confirmation windows, which this component does not show.
#include "syscomp/SysComponent.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class TStrings;
class TStringList;

enum TSysFileOperationType { fotCopy, fotDelete, fotMove, fotRename };

enum TSysFileOperationFlag {
    fofAllowUndo,
    fofFilesOnly,
    fofNoConfirmation,
    fofNoConfirmMkDir,
    fofNoErrorUI,
    fofRenameCollision,
    fofSilent,
    fofSimpleProgress
};
using TSysFileOperationFlags = std::uint32_t; // bit i = TSysFileOperationFlag i

constexpr TSysFileOperationFlags SysFileFlag(TSysFileOperationFlag F) {
    return 1u << unsigned(F);
}

// The shell's function and flag numbers of the request.
int SysFileOperationFunction(TSysFileOperationType Operation);
std::uint32_t SysFileOperationShellFlags(TSysFileOperationFlags Options);

// Result code of a request whose wildcards matched nothing: a failure that
// is not reported as an error.
constexpr int SysNoMoreFiles = 18;

using TSysFileOperationErrorEvent =
    std::function<void(TObject* Sender, const std::string& S, bool& Handled)>;

// Destination of one "source=destination" line: a destination without a
// folder part is joined to DestFolder; then its missing folder, name or
// extension (empty, or holding "*" or "?") come from the source. A blank
// destination gives "".
std::string SysBuildDestName(const std::string& Source, const std::string& Dest,
                             const std::string& DestFolder);

class TSysFileOperation : public TSysComponent {
public:
    QM_CLASSNAME(TSysFileOperation)
    explicit TSysFileOperation(TComponent* AOwner);
    ~TSysFileOperation() override;

    TStrings* FileList() const;
    // Copies the lines of Value.
    void SetFileList(const TStrings* Value);
    const std::string& DestFolder() const { return FDestFolder; }
    void SetDestFolder(const std::string& Value) { FDestFolder = Value; }
    const std::string& ProgressTitle() const { return FProgressTitle; }
    void SetProgressTitle(const std::string& Value) { FProgressTitle = Value; }
    TSysFileOperationType Operation() const { return FOperation; }
    void SetOperation(TSysFileOperationType Value) { FOperation = Value; }
    TSysFileOperationFlags Options() const { return FOptions; }
    void SetOptions(TSysFileOperationFlags Value) { FOptions = Value; }

    // True when every item was done (also when FileList is empty).
    bool Execute();
    bool Execute(TSysFileOperationType AOperation);
    // The code of the last request (0 on success, else the system's error
    // number or SysNoMoreFiles).
    int LastResult() const { return FLastResult; }

    // Calls OnError with the system's text for Code; returns Handled.
    virtual bool ReportError(int Code);

    TSysFileOperationErrorEvent OnError;

private:
    std::unique_ptr<TStringList> FFileList;
    std::string FDestFolder;
    std::string FProgressTitle;
    TSysFileOperationType FOperation = fotCopy;
    TSysFileOperationFlags FOptions;
    int FLastResult = 0;
};
