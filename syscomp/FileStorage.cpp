#include "syscomp/FileStorage.h"

#include "platform/base/FileNames.h"
#include "platform/base/Format.h"
#include "platform/classes/Filer.h"
#include "platform/classes/Stream.h"
#include "platform/forms/Dialogs.h"

#include <fcntl.h>
#include <unistd.h>

bool SysIsUsableFileName(const std::string& FileName) {
    if (FileName.empty()) return false;
    if (FileExists(FileName)) return true;
    int fd = ::open(FileName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    ::close(fd);
    ::unlink(FileName.c_str());
    return true;
}

TSysCustomFileStorage::TSysCustomFileStorage(TComponent* AOwner)
    : TSysComponent(AOwner), FData(std::make_unique<TMemoryStream>()) {}

TSysCustomFileStorage::~TSysCustomFileStorage() = default;

void TSysCustomFileStorage::Clear() {
    FData->Clear();
    FDataSize = 0;
}

bool TSysCustomFileStorage::LoadFromFile(const std::string& AFileName) {
    Clear();
    if (!FileExists(AFileName)) {
        if (OnLoad) OnLoad(this, false);
        return false;
    }
    try {
        TFileStream file(AFileName, fmOpenRead | fmShareDenyWrite);
        const std::int64_t size = file.Size();
        if (size < 0 || std::uint64_t(size) > SysFileStorageMaxSize)
            throw EReadError("File too large");
        FData->CopyFrom(&file, 0);
        FData->SetPosition(0);
        FDataSize = std::uint32_t(size);
    } catch (const std::exception&) {
        Clear();
        if (OnLoad) OnLoad(this, false);
        throw ESysFileStorage("Can not load data from the \"" + AFileName + "\" file");
    }
    if (OnLoad) OnLoad(this, true);
    return true;
}

bool TSysCustomFileStorage::SaveToFile(const std::string& AFileName) {
    if (FileExists(AFileName)) {
        bool overrideFile = true;
        if (OnConfirmOverride) OnConfirmOverride(this, overrideFile);
        if (!overrideFile) {
            if (OnSave) OnSave(this, false);
            return false;
        }
    }
    try {
        SaveFileAtomic(AFileName, FData->View());
    } catch (const std::exception&) {
        if (OnSave) OnSave(this, false);
        throw ESysFileStorage("Can not save data to the \"" + AFileName + "\" file");
    }
    if (OnSave) OnSave(this, true);
    return true;
}

void TSysCustomFileStorage::SetFileName(const std::string& Value) {
    FFileName = Value;
    // At design time the file travels with the form.
    if (IsDesigning() && !IsLoading()) LoadFromFile(FFileName);
}

void TSysCustomFileStorage::SetSaveName(const std::string& Value) {
    if (Value == FSaveName) return;
    FSaveName = Value;
    if (IsDesigning() && !IsLoading() && !SysIsUsableFileName(FSaveName)) FAutoSave = false;
}

void TSysCustomFileStorage::SetAutoSave(bool Value) {
    if (Value && IsDesigning() && !IsLoading() && !SysIsUsableFileName(FSaveName)) {
        DialogService()->MessageBox(
            "AutoSave can not be set because the SaveName property contains a wrong file name",
            "Warning", MB_OK | MB_ICONWARNING);
        FAutoSave = false;
        return;
    }
    FAutoSave = Value;
}

void TSysCustomFileStorage::Loaded() {
    TSysComponent::Loaded();
    if (FAutoSave && !IsDesigning()) SaveToFile(FSaveName);
}

void TSysCustomFileStorage::DefineProperties(TFiler* Filer) {
    TSysComponent::DefineProperties(Filer);
    Filer->DefineBinaryProperty(
        "FileData", [this](TStream& S) { ReadData(S); }, [this](TStream& S) { WriteData(S); },
        true);
}

void TSysCustomFileStorage::ReadData(TStream& Stream) {
    Clear();
    const std::uint32_t count = Stream.ReadUInt32();
    if (count == 0) return;
    // The count comes from the stream: it must fit in what the stream holds.
    const std::int64_t left = Stream.Size() - Stream.Position();
    if (count > SysFileStorageMaxSize || std::int64_t(count) > left)
        throw EReadError("Stream read error");
    try {
        FData->SetSize(count);
        Stream.ReadBuffer(FData->Memory(), count);
    } catch (...) {
        Clear();
        throw;
    }
    FData->SetPosition(0);
    FDataSize = count;
}

void TSysCustomFileStorage::WriteData(TStream& Stream) {
    Stream.WriteUInt32(std::uint32_t(FData->Size()));
    if (FData->Size() > 0) Stream.WriteBuffer(FData->Memory(), FData->Size());
}
