#pragma once
// Window placement and stored properties of a form, kept between runs.
//
// TFormPlacement hooks its owner form's OnShow, OnCloseQuery and OnDestroy:
// the first show restores the placement, a close that is allowed (or the
// destruction, when nothing was saved) saves it. The storage is a registry
// key (TRegIniFile under the root chosen by RegistryRoot) or an ini file;
// every value is text: integers as decimal, the placement's Booleans as
// "1"/"0". TFormStorage also keeps published properties of the form's
// components ("Component.Property" lines of StoredProps, stored under
// "Component_Property") and a collection of named free values.
//
// A form built in code calls Loaded() on these components once its controls
// exist: that is where the form's events are taken over. The component
// releases them (and puts the form's own handlers back) when it is freed.
// The form's minimised and maximised positions have no counterpart in the
// window system used here; the component keeps them so that they round-trip.
#include "controls/WindowHooks.h"
#include "platform/classes/Component.h"
#include "platform/classes/PropertyRegistry.h"
#include "platform/classes/Strings.h"
#include "platform/forms/Forms.h"
#include "platform/system/IniFiles.h"
#include "platform/system/Registry.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class TFormPlacement;

// The window placement record of the window system: flags, show command,
// minimised and maximised positions and the normal rectangle.
struct TWindowPlacement {
    UINT flags = 0;
    UINT showCmd = 0;
    TPoint ptMinPosition{-1, -1};
    TPoint ptMaxPosition{-1, -1};
    TRect rcNormalPosition;
};

constexpr UINT WPF_SETMINPOSITION = 1;
constexpr UINT SW_HIDE = 0;
constexpr UINT SW_SHOWNORMAL = 1;
constexpr UINT SW_SHOWMINIMIZED = 2;
constexpr UINT SW_SHOWMAXIMIZED = 3;

class TWinMinMaxInfo : public TPersistent {
public:
    QM_CLASSNAME(TWinMinMaxInfo)
    explicit TWinMinMaxInfo(TFormPlacement* AOwner = nullptr) : FOwner(AOwner) {}

    void Assign(const TPersistent* Source) override;
    // Any of the eight limits non-zero.
    bool DefaultMinMaxInfo() const;
    bool IsSet() const { return !DefaultMinMaxInfo(); }

    int MaxPosLeft() const { return FValues[0]; }
    int MaxPosTop() const { return FValues[1]; }
    int MaxSizeHeight() const { return FValues[2]; }
    int MaxSizeWidth() const { return FValues[3]; }
    int MaxTrackHeight() const { return FValues[4]; }
    int MaxTrackWidth() const { return FValues[5]; }
    int MinTrackHeight() const { return FValues[6]; }
    int MinTrackWidth() const { return FValues[7]; }
    void SetMaxPosLeft(int V) { SetValue(0, V); }
    void SetMaxPosTop(int V) { SetValue(1, V); }
    void SetMaxSizeHeight(int V) { SetValue(2, V); }
    void SetMaxSizeWidth(int V) { SetValue(3, V); }
    void SetMaxTrackHeight(int V) { SetValue(4, V); }
    void SetMaxTrackWidth(int V) { SetValue(5, V); }
    void SetMinTrackHeight(int V) { SetValue(6, V); }
    void SetMinTrackWidth(int V) { SetValue(7, V); }

private:
    void SetValue(int Index, int Value);
    TFormPlacement* FOwner;
    int FValues[8] = {};
};

enum TPlacementOption { fpState, fpPosition, fpActiveControl };
using TPlacementOptions = TFlagSet<TPlacementOption>;
enum TPlacementRegRoot {
    prCurrentUser,
    prLocalMachine,
    prCurrentConfig,
    prClassesRoot,
    prUsers,
    prDynData
};

// Told after each save and each restore of its placement.
class TIniLink {
public:
    virtual ~TIniLink() = default;
    virtual void SaveToIni() {}
    virtual void LoadFromIni() {}
};

// The open storage of one save or restore: a registry key or an ini file.
class TPlacementStorage {
public:
    std::unique_ptr<TRegIniFile> Reg;
    std::unique_ptr<TIniFile> Ini;
    std::string ReadString(const std::string& Section, const std::string& Ident,
                           const std::string& Default);
    void WriteString(const std::string& Section, const std::string& Ident,
                     const std::string& Value);
    int ReadInteger(const std::string& Section, const std::string& Ident, int Default);
    void WriteInteger(const std::string& Section, const std::string& Ident, int Value);
    void EraseSection(const std::string& Section);
};

// The placement of Form, read from or written to Storage in Section. Min
// and max positions not known to the window system come from / go to the
// placement record.
void WritePlacementValues(TCustomForm* Form, TPlacementStorage& Storage, const std::string& Section,
                          const TWindowPlacement& Placement);
// Returns the placement applied (the caller keeps its positions).
TWindowPlacement ReadPlacementValues(TCustomForm* Form, TPlacementStorage& Storage,
                                     const std::string& Section, bool LoadPosition, bool LoadState,
                                     TWindowPlacement Current);

class TFormPlacement : public TComponent {
public:
    QM_CLASSNAME(TFormPlacement)
    explicit TFormPlacement(TComponent* AOwner);
    ~TFormPlacement() override;

    void Loaded() override;

    bool Active() const { return FActive; }
    void SetActive(bool Value) { FActive = Value; }
    // The stored text; when empty: DefaultRegistryKey() with UseRegistry,
    // else the executable's path with the extension ".INI".
    std::string IniFileName() const;
    void SetIniFileName(const std::string& Value) { FIniFileName = Value; }
    const std::string& StoredIniFileName() const { return FIniFileName; }
    // The stored text; when empty a name made from the owner.
    std::string IniSection() const;
    void SetIniSection(const std::string& Value) { FIniSection = Value; }
    const std::string& StoredIniSection() const { return FIniSection; }
    TWinMinMaxInfo* MinMaxInfo() { return &FWinMinMaxInfo; }
    void SetMinMaxInfo(const TWinMinMaxInfo* Value) { FWinMinMaxInfo.Assign(Value); }
    TPlacementOptions Options() const { return FOptions; }
    void SetOptions(TPlacementOptions Value) { FOptions = Value; }
    bool PreventResize() const { return FPreventResize; }
    void SetPreventResize(bool Value);
    TPlacementRegRoot RegistryRoot() const { return FRegistryRoot; }
    void SetRegistryRoot(TPlacementRegRoot Value) { FRegistryRoot = Value; }
    bool UseRegistry() const { return FUseRegistry; }
    void SetUseRegistry(bool Value) { FUseRegistry = Value; }
    int Version() const { return FVersion; }
    void SetVersion(int Value) { FVersion = Value; }

    TNotifyEvent OnSavePlacement;
    TNotifyEvent OnRestorePlacement;

    void SaveFormState();
    void RestoreFormState();
    virtual void StorePlacement();
    virtual void LoadPlacement();
    virtual std::string ReadStoredString(const std::string& Ident, const std::string& Default);
    virtual void WriteStoredString(const std::string& Ident, const std::string& Value);
    int ReadStoredInteger(const std::string& Ident, int Default);
    void WriteStoredInteger(const std::string& Ident, int Value);
    // Erases a section of the open storage (nothing when none is open).
    void EraseStoredSection(const std::string& Section);

    void AddLink(TIniLink* Link);
    void RemoveLink(TIniLink* Link);

    bool Restored() const { return FRestored; }
    bool Saved() const { return FSaved; }
    // The placement kept for the form (positions the window system has not).
    const TWindowPlacement& Placement() const { return FPlacement; }

    // Called by TWinMinMaxInfo when a limit changes.
    void MinMaxInfoChanged();

protected:
    TCustomForm* Form() const;
    bool IsActive() const;
    void IniNeeded(bool ReadOnly);
    void IniFree();
    TPlacementStorage* Storage() const { return FStorage.get(); }
    void SetRestored(bool Value) { FRestored = Value; }
    bool Destroying() const { return FDestroying; }

private:
    void RestoreEvents();
    void UpdatePlacement();
    void UpdatePreventResize();
    void CheckToggleHook();
    void WndMessage(TObject* Sender, TMessage& Msg, bool& Handled);
    void FormShow(TObject* Sender);
    void FormCloseQuery(TObject* Sender, bool& CanClose);
    void FormDestroy(TObject* Sender);
    TWindowPlacement CurrentPlacement() const;

    bool FActive = true;
    std::string FIniFileName;
    std::string FIniSection;
    TWinMinMaxInfo FWinMinMaxInfo{this};
    TPlacementOptions FOptions;
    bool FPreventResize = false;
    TPlacementRegRoot FRegistryRoot = prCurrentUser;
    bool FUseRegistry = false;
    int FVersion = 0;

    void SaveFormStateOnClose();
    void TellSettingsNotSaved(const std::string& Folder);

    std::unique_ptr<TPlacementStorage> FStorage;
    TCtlWindowHook* FWinHook = nullptr;
    TNotifyEvent FSaveFormShow;
    TCloseQueryEvent FSaveFormCloseQuery;
    TNotifyEvent FSaveFormDestroy;
    bool FHooked = false;
    bool FRestored = false;
    bool FSaved = false;
    bool FDestroying = false;
    bool FDefMaximize = false;
    TWindowPlacement FPlacement;
    std::vector<TIniLink*> FLinks;
};

// "Software\" + the executable's base name.
std::string DefaultRegistryKey();
// What a user is told, once per run, when the settings could not be written
// in Folder as a window closed.
std::string SettingsNotSavedMessage(const std::string& Folder);

class TStoredValue;
using TStoredValueEvent = std::function<void(TStoredValue* Sender, std::string& Value)>;

// A named free value. Value holds its text (the editor keeps none).
class TStoredValue : public TPersistent {
public:
    QM_CLASSNAME(TStoredValue)
    explicit TStoredValue(class TStoredValues* ACollection) : FCollection(ACollection) {}

    void Assign(const TPersistent* Source) override;
    const std::string& Name() const { return FName; }
    // Raises EStringListError "La liste de chaînes n'autorise pas les
    // doublons" when another value of the collection has that name.
    void SetName(const std::string& Value);
    std::string Value;
    std::string KeyString;
    std::string DisplayName() const;
    TStoredValueEvent OnSave;
    TStoredValueEvent OnRestore;

    void Save(TFormPlacement* Storage);
    void Restore(TFormPlacement* Storage);

private:
    TStoredValues* FCollection;
    std::string FName;
};

class TStoredValues : public TPersistent {
public:
    QM_CLASSNAME(TStoredValues)
    int Count() const { return int(FItems.size()); }
    TStoredValue* Items(int Index) const;
    TStoredValue* Add();
    void Clear() { FItems.clear(); }
    TStoredValue* FindValue(std::string_view Name) const;
    int IndexOf(std::string_view Name) const;

private:
    std::vector<std::unique_ptr<TStoredValue>> FItems;
};

// Converts published properties of one object to and from text.
class TPropsStorage {
public:
    using TReadStrEvent = std::function<std::string(
        const std::string& Section, const std::string& Ident, const std::string& Default)>;
    using TWriteStrEvent = std::function<void(const std::string& Section, const std::string& Ident,
                                              const std::string& Value)>;
    using TEraseSectEvent = std::function<void(const std::string& Section)>;

    virtual ~TPropsStorage() = default;

    TPersistent* AObject = nullptr;
    TComponent* Owner = nullptr;
    std::string Prefix;
    std::string Section;
    TReadStrEvent OnReadString;
    TWriteStrEvent OnWriteString;
    TEraseSectEvent OnEraseSection;

    void StoreProperties(const std::vector<std::string>& PropNames);
    void LoadProperties(const std::vector<std::string>& PropNames);
    void StoreAnyProperty(const TPropInfo& Prop);
    void LoadAnyProperty(const TPropInfo& Prop);

    virtual std::string ReadString(const std::string& ASection, const std::string& Item,
                                   const std::string& Default);
    virtual void WriteString(const std::string& ASection, const std::string& Item,
                             const std::string& Value);
    virtual void EraseSection(const std::string& ASection);
    virtual std::string GetItemName(const std::string& APropName) const {
        return Prefix + APropName;
    }
    virtual std::unique_ptr<TPropsStorage> CreateInfoStorage();

private:
    std::string PropertyText(const TPropInfo& Prop, TPersistent* Object);
    void StoreClass(const TPropInfo& Prop, TPersistent* Value);
    void LoadClass(const TPropInfo& Prop, TPersistent* Value);
    // Loads or stores every published property of Object through a copy of
    // this storage (CreateInfoStorage) naming them after APrefix in ASection.
    void TransferNested(TPersistent* Object, const std::string& ASection,
                        const std::string& APrefix, bool Load);
};

class TFormStorage : public TFormPlacement {
public:
    QM_CLASSNAME(TFormStorage)
    explicit TFormStorage(TComponent* AOwner);
    ~TFormStorage() override;

    void Loaded() override;

    TStrings* StoredProps() { return FStoredProps.get(); }
    void SetStoredProps(const TStrings* Value);
    TStoredValues* StoredValues() { return &FStoredValues; }

    void StorePlacement() override;
    void LoadPlacement() override;
    virtual void StoreProps();
    virtual void LoadProps();

    // Rewrites each line with its component's current name, dropping lines
    // without a component (done before the component is streamed).
    void UpdateStoredList();
    void SetNotification();

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    void ResolveStoredList();
    void StoreOrLoad(bool Store);

    std::unique_ptr<TStringList> FStoredProps;
    TStoredValues FStoredValues;
};

// Registers the stream properties of the placement classes (idempotent).
void RegisterFormStorageClasses();
