#pragma once
// TSysFileAssociation: reads and writes the registration of a file extension
// under HKEY_CLASSES_ROOT of the program's registry (the file-backed store):
// the extension key names a type key, which holds the description, the
// default icon and the shell verbs with their commands. The desktop itself is
// only told through the system backend that associations changed.
//
// Setting a property stores it; at run time a component whose ReadOnly is
// false then writes the registration at once (failures ignored), while a
// ReadOnly one (the default) only writes on an explicit Write. At design
// time a ReadOnly component refuses the change with a warning box.
#include "syscomp/SysComponent.h"

#include <memory>
#include <string>

class TIcon;

class TSysFileAssociation : public TSysComponent {
public:
    QM_CLASSNAME(TSysFileAssociation)
    explicit TSysFileAssociation(TComponent* AOwner);
    ~TSysFileAssociation() override;

    const std::string& Extension() const { return FExtension; }
    // Adds the leading "." when missing; a change reads the registration.
    void SetExtension(const std::string& Value);
    const std::string& ExtDescription() const { return FExtDescription; }
    void SetExtDescription(const std::string& Value) { Change(FExtDescription, Value); }
    const std::string& FileDescription() const { return FFileDescription; }
    void SetFileDescription(const std::string& Value) { Change(FFileDescription, Value); }
    const std::string& IconFile() const { return FIconFile; }
    void SetIconFile(const std::string& Value) { Change(FIconFile, Value); }
    int IconIndex() const { return FIconIndex; }
    void SetIconIndex(int Value);
    TIcon* LargeIcon() const { return FLargeIcon.get(); }
    TIcon* SmallIcon() const { return FSmallIcon.get(); }
    bool ReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool Value) { FReadOnly = Value; }

    enum TVerb { vOpen, vOpenNew, vEdit, vPrint, vPrintTo };
    static constexpr int VerbCount = 5;
    // The verb's key below the type key ("shell\open", ...).
    static const char* VerbKey(TVerb Verb);
    const std::string& Command(TVerb Verb) const { return FCommands[Verb]; }
    void SetCommand(TVerb Verb, const std::string& Value) { Change(FCommands[Verb], Value); }
    const std::string& CommandDescription(TVerb Verb) const { return FDescriptions[Verb]; }
    void SetCommandDescription(TVerb Verb, const std::string& Value) {
        Change(FDescriptions[Verb], Value);
    }

    // Fills the properties from the registry; true when the type key exists.
    bool Read();
    // True when every key was written.
    bool Write();
    // Deletes the extension key; true also when it did not exist.
    bool Delete();

protected:
    // Runs after a setter stored a new value.
    virtual void Apply();

private:
    void Change(std::string& Field, const std::string& Value);
    bool Busy() const { return IsLoading() || IsDestroying(); }

    std::string FExtension;
    std::string FExtDescription;
    std::string FFileDescription;
    std::string FIconFile;
    int FIconIndex = 0;
    std::unique_ptr<TIcon> FLargeIcon;
    std::unique_ptr<TIcon> FSmallIcon;
    bool FReadOnly = true;
    std::string FCommands[VerbCount];
    std::string FDescriptions[VerbCount];
};

// The extension with a leading ".".
std::string SysNormalizeExtension(const std::string& Extension);
