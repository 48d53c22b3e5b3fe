#pragma once
// TSysCustomFileStorage / TSysFileStorage: the bytes of a file carried inside
// the component stream (the binary property "FileData": a 32-bit
// little-endian byte count, then the bytes) and written back to a file.
#include "platform/base/Exception.h"
#include "syscomp/SysComponent.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class TMemoryStream;
class TStream;

QM_DECLARE_EXCEPTION(ESysFileStorage, Exception);

using TSysFileStorageEvent = std::function<void(TObject* Sender, bool Successful)>;
using TSysConfirmOverrideEvent = std::function<void(TObject* Sender, bool& OverrideFile)>;

// Largest payload a stream may carry: the data lives in memory.
constexpr std::uint32_t SysFileStorageMaxSize = 256u << 20;

// Not empty, and the file exists or can be created and deleted again.
bool SysIsUsableFileName(const std::string& FileName);

class TSysCustomFileStorage : public TSysComponent {
public:
    QM_CLASSNAME(TSysCustomFileStorage)
    explicit TSysCustomFileStorage(TComponent* AOwner);
    ~TSysCustomFileStorage() override;

    // Replaces the data by the file's bytes; false (OnLoad(false)) when the
    // file does not exist; a read failure raises ESysFileStorage
    // "Can not load data from the "<name>" file" after OnLoad(false).
    virtual bool LoadFromFile(const std::string& AFileName);
    // Writes the data; an existing file is replaced only when
    // OnConfirmOverride agrees. A write failure raises ESysFileStorage
    // "Can not save data to the "<name>" file" after OnSave(false).
    virtual bool SaveToFile(const std::string& AFileName);
    virtual bool LoadFromFile() { return LoadFromFile(FFileName); }
    virtual bool SaveToFile() { return SaveToFile(FSaveName); }

    std::uint32_t DataSize() const { return FDataSize; }
    TMemoryStream* Data() const { return FData.get(); }
    virtual void Clear();

    const std::string& FileName() const { return FFileName; }
    virtual void SetFileName(const std::string& Value);
    const std::string& SaveName() const { return FSaveName; }
    void SetSaveName(const std::string& Value);
    bool AutoSave() const { return FAutoSave; }
    virtual void SetAutoSave(bool Value);

    void DefineProperties(TFiler* Filer) override;
    void Loaded() override;

    TSysFileStorageEvent OnLoad;
    TSysFileStorageEvent OnSave;
    TSysConfirmOverrideEvent OnConfirmOverride;

protected:
    virtual void ReadData(TStream& Stream);
    virtual void WriteData(TStream& Stream);

private:
    std::unique_ptr<TMemoryStream> FData;
    std::uint32_t FDataSize = 0;
    std::string FFileName;
    std::string FSaveName;
    bool FAutoSave = false;
};

class TSysFileStorage : public TSysCustomFileStorage {
public:
    QM_CLASSNAME(TSysFileStorage)
    using TSysCustomFileStorage::TSysCustomFileStorage;
};
