#include "controls/FormStorage.h"

#include "platform/base/Convert.h"
#include "platform/base/FileNames.h"
#include "platform/base/FloatText.h"
#include "platform/base/Format.h"
#include "platform/base/Text.h"
#include "platform/forms/Application.h"
#include "platform/forms/Dialogs.h"
#include "platform/forms/Screen.h"
#include "platform/system/RegistryStore.h"

#include <algorithm>
#include <cstdint>

namespace {

// Frame sizes of the classic window metrics (SM_CXBORDER, SM_CXDLGFRAME,
// SM_CXFRAME); the maximised position is minus the frame.
constexpr int CXBorder = 1;
constexpr int CXDlgFrame = 3;
constexpr int CXFrame = 4;

// Counts read back from the storage bound what is allocated for them.
constexpr int MaxStoredItems = 100000;
// A stored rectangle larger than this is not a window the program made.
constexpr std::int64_t MaxStoredExtent = 1 << 20;

constexpr const char* Delims = " ,";

std::string PosText(int A, int B, int C, int D) {
    return Format("%d,%d,%d,%d", {A, B, C, D});
}

std::string ResolutionSuffix() {
    const int W = Screen != nullptr ? Screen->Width() : 0;
    const int H = Screen != nullptr ? Screen->Height() : 0;
    return Format("(%dx%d)", {W, H});
}

int PlacementPixelsPerInch() {
    return Screen != nullptr ? Screen->PixelsPerInch() : 96;
}

bool IsMainFormOrNone(const TCustomForm* Form) {
    return Application == nullptr || Application->MainForm() == nullptr ||
           Application->MainForm() == Form;
}

int WordInt(const std::string& Text, int N, int Default) {
    return StrToIntDef(Trim(ExtractWordAt(N, Text, Delims)), Default);
}

int FrameSize(TFormBorderStyle Style) {
    switch (Style) {
    case bsNone:
        return 0;
    case bsSingle:
    case bsToolWindow:
        return CXBorder;
    case bsSizeable:
    case bsSizeToolWin:
        return CXFrame;
    case bsDialog:
        return CXDlgFrame;
    }
    return 0;
}

void HandleFormException(TObject* Sender) {
    if (Application != nullptr)
        Application->HandleException(Sender);
    else
        throw;
}

} // namespace

std::string SettingsNotSavedMessage(const std::string& Folder) {
    return "Les réglages de la fenêtre n'ont pas pu être enregistrés dans le dossier « " + Folder +
           " » : vérifiez que ce dossier existe, que vous pouvez y écrire et que le disque n'est "
           "pas plein.";
}

std::string DefaultRegistryKey() {
    return "Software\\" + ChangeFileExt(ExtractFileName(ApplicationExeName()), "");
}

// ---- TWinMinMaxInfo ----

void TWinMinMaxInfo::Assign(const TPersistent* Source) {
    if (auto* S = dynamic_cast<const TWinMinMaxInfo*>(Source)) {
        std::copy(std::begin(S->FValues), std::end(S->FValues), std::begin(FValues));
        if (FOwner != nullptr) FOwner->MinMaxInfoChanged();
        return;
    }
    TPersistent::Assign(Source);
}

bool TWinMinMaxInfo::DefaultMinMaxInfo() const {
    return std::all_of(std::begin(FValues), std::end(FValues), [](int V) { return V == 0; });
}

void TWinMinMaxInfo::SetValue(int Index, int Value) {
    if (FValues[Index] == Value) return;
    FValues[Index] = Value;
    if (FOwner != nullptr) FOwner->MinMaxInfoChanged();
}

// ---- storage shims ----

std::string TPlacementStorage::ReadString(const std::string& Section, const std::string& Ident,
                                          const std::string& Default) {
    if (Reg) return Reg->ReadString(Section, Ident, Default);
    if (Ini) return Ini->ReadString(Section, Ident, Default);
    return Default;
}

void TPlacementStorage::WriteString(const std::string& Section, const std::string& Ident,
                                    const std::string& Value) {
    if (Reg) {
        Reg->WriteString(Section, Ident, Value);
    } else if (Ini) {
        // The ini reader strips one pair of quotes: protect a quoted text.
        std::string S = Value;
        if (S.size() > 1 &&
            ((S.front() == '"' && S.back() == '"') || (S.front() == '\'' && S.back() == '\'')))
            S = '"' + S + '"';
        Ini->WriteString(Section, Ident, S);
    }
}

int TPlacementStorage::ReadInteger(const std::string& Section, const std::string& Ident,
                                   int Default) {
    if (Reg) return Reg->ReadInteger(Section, Ident, Default);
    if (Ini) return Ini->ReadInteger(Section, Ident, Default);
    return Default;
}

void TPlacementStorage::WriteInteger(const std::string& Section, const std::string& Ident,
                                     int Value) {
    if (Reg)
        Reg->WriteInteger(Section, Ident, Value);
    else if (Ini)
        Ini->WriteInteger(Section, Ident, Value);
}

void TPlacementStorage::EraseSection(const std::string& Section) {
    if (Reg)
        Reg->EraseSection(Section);
    else if (Ini)
        Ini->EraseSection(Section);
}

// ---- placement values ----

void WritePlacementValues(TCustomForm* Form, TPlacementStorage& Storage, const std::string& Section,
                          const TWindowPlacement& Placement) {
    TWindowPlacement P = Placement;
    if (Application != nullptr && Application->MainForm() == Form &&
        Form->WindowState() == wsMinimized)
        P.showCmd = SW_SHOWMINIMIZED;
    if (Form->FormStyle() == fsMDIChild && Form->WindowState() == wsMinimized)
        P.flags |= WPF_SETMINPOSITION;
    Storage.WriteInteger(Section, "Flags", int(P.flags));
    Storage.WriteInteger(Section, "ShowCmd", int(P.showCmd));
    Storage.WriteInteger(Section, "PixelsPerInch", PlacementPixelsPerInch());
    const std::string Suffix = ResolutionSuffix();
    const std::string MinMax =
        PosText(P.ptMinPosition.X, P.ptMinPosition.Y, P.ptMaxPosition.X, P.ptMaxPosition.Y);
    Storage.WriteString(Section, "MinMaxPos" + Suffix, MinMax);
    Storage.WriteString(Section, "MinMaxPos", MinMax);
    const TRect& R = P.rcNormalPosition;
    const std::string Norm = PosText(R.Left, R.Top, R.Right, R.Bottom);
    Storage.WriteString(Section, "NormPos" + Suffix, Norm);
    Storage.WriteString(Section, "NormPos", Norm);
}

TWindowPlacement ReadPlacementValues(TCustomForm* Form, TPlacementStorage& Storage,
                                     const std::string& Section, bool LoadPosition, bool LoadState,
                                     TWindowPlacement Current) {
    TWindowPlacement P = Current;
    if (!LoadPosition && !LoadState) return P;
    if (!Form->Visible()) P.showCmd = SW_HIDE;
    if (LoadPosition) {
        P.flags = UINT(Storage.ReadInteger(Section, "Flags", int(P.flags)));
        const std::string Suffix = ResolutionSuffix();
        std::string S = Storage.ReadString(Section, "MinMaxPos" + Suffix, "");
        if (S.empty()) S = Storage.ReadString(Section, "MinMaxPos", "");
        bool DataFound = !S.empty();
        if (!S.empty()) {
            P.ptMinPosition = {WordInt(S, 1, 0), WordInt(S, 2, 0)};
            P.ptMaxPosition = {WordInt(S, 3, 0), WordInt(S, 4, 0)};
        }
        S = Storage.ReadString(Section, "NormPos" + Suffix, "");
        if (S.empty()) S = Storage.ReadString(Section, "NormPos", "");
        TRect R = P.rcNormalPosition;
        if (!S.empty()) {
            DataFound = true;
            R.Left = WordInt(S, 1, Form->Left());
            R.Top = WordInt(S, 2, Form->Top());
            R.Right = WordInt(S, 3, Form->Left() + Form->Width());
            R.Bottom = WordInt(S, 4, Form->Top() + Form->Height());
        }
        const int Ppi = Storage.ReadInteger(Section, "PixelsPerInch", PlacementPixelsPerInch());
        if (DataFound && Ppi == PlacementPixelsPerInch()) {
            if (Form->BorderStyle() != bsSizeable && Form->BorderStyle() != bsSizeToolWin) {
                R.Right = R.Left + Form->Width();
                R.Bottom = R.Top + Form->Height();
            }
            // A damaged value must not give an inverted or absurd window.
            const std::int64_t W = std::int64_t(R.Right) - R.Left;
            const std::int64_t H = std::int64_t(R.Bottom) - R.Top;
            if (W > 0 && H >= 0 && W <= MaxStoredExtent && H <= MaxStoredExtent) {
                if (Form->Position() == poScreenCenter || Form->Position() == poDesktopCenter)
                    Form->SetPosition(poDesigned);
                P.rcNormalPosition = R;
                Form->SetBoundsRect(R);
            }
        }
    }
    if (LoadState) {
        TWindowState WinState = wsNormal;
        const bool MainOrNone = IsMainFormOrNone(Form);
        if (MainOrNone && (Form->FormStyle() == fsMDIForm ||
                           (Form->FormStyle() == fsNormal && Form->Position() == poDefault)))
            WinState = wsMaximized;
        switch (Storage.ReadInteger(Section, "ShowCmd", 0)) {
        case 1:
        case 5:
        case 9:
            WinState = wsNormal;
            break;
        case 2:
        case 6:
        case 7:
            WinState = wsMinimized;
            break;
        case 3:
            WinState = wsMaximized;
            break;
        default:
            break;
        }
        if (WinState == wsMinimized && MainOrNone) {
            Form->SetWindowState(wsNormal);
            // Minimising the main form minimises the whole program.
            if (Application != nullptr) Application->Minimize();
            return P;
        }
        Form->SetWindowState(WinState);
    }
    if (Form->HandleAllocated()) Form->Repaint();
    return P;
}

// ---- TFormPlacement ----

TFormPlacement::TFormPlacement(TComponent* AOwner) : TComponent(AOwner) {
    if (dynamic_cast<TCustomForm*>(AOwner) != nullptr) FOptions = {fpState, fpPosition};
    FWinHook = new TCtlWindowHook(this);
    FWinHook->SetActive(false);
    FWinHook->AfterMessage = [this](TObject* Sender, TMessage& Msg, bool& Handled) {
        WndMessage(Sender, Msg, Handled);
    };
}

TFormPlacement::~TFormPlacement() {
    if (FHooked) {
        TCustomForm* F = Form();
        if (F != nullptr && !F->ComponentState().Contains(csDestroying)) FWinHook->SetActive(false);
        RestoreEvents();
    }
    IniFree();
}

TCustomForm* TFormPlacement::Form() const {
    return dynamic_cast<TCustomForm*>(Owner());
}

bool TFormPlacement::IsActive() const {
    return FActive && !ComponentState().Contains(csDesigning);
}

void TFormPlacement::Loaded() {
    TComponent::Loaded();
    TCustomForm* F = Form();
    if (F == nullptr || ComponentState().Contains(csDesigning) || FHooked) return;
    FHooked = true;
    FSaveFormShow = F->OnShow;
    FSaveFormCloseQuery = F->OnCloseQuery;
    FSaveFormDestroy = F->OnDestroy;
    F->OnShow = [this](TObject* Sender) { FormShow(Sender); };
    F->OnCloseQuery = [this](TObject* Sender, bool& CanClose) { FormCloseQuery(Sender, CanClose); };
    F->OnDestroy = [this](TObject* Sender) { FormDestroy(Sender); };
    FDefMaximize = F->BorderIcons().Contains(biMaximize);
    if (FPreventResize) UpdatePreventResize();
    FWinHook->SetWinControl(F);
    CheckToggleHook();
}

void TFormPlacement::RestoreEvents() {
    TCustomForm* F = Form();
    FHooked = false;
    // A form being destroyed has already dropped its event members.
    if (F == nullptr || F->ComponentState().Contains(csDestroying)) return;
    F->OnShow = FSaveFormShow;
    F->OnCloseQuery = FSaveFormCloseQuery;
    F->OnDestroy = FSaveFormDestroy;
}

void TFormPlacement::CheckToggleHook() {
    FWinHook->SetActive(Form() != nullptr && FHooked && (FWinMinMaxInfo.IsSet() || FPreventResize));
}

void TFormPlacement::MinMaxInfoChanged() {
    UpdatePlacement();
    if (!ComponentState().Contains(csLoading)) CheckToggleHook();
}

void TFormPlacement::SetPreventResize(bool Value) {
    if (Value == FPreventResize) return;
    FPreventResize = Value;
    if (Form() == nullptr || ComponentState().Contains(csLoading)) return;
    UpdatePlacement();
    UpdatePreventResize();
    CheckToggleHook();
}

void TFormPlacement::UpdatePreventResize() {
    TCustomForm* F = Form();
    if (F == nullptr || ComponentState().Contains(csDesigning)) return;
    const bool IsActive = FActive;
    FActive = false;
    TBorderIcons Icons = F->BorderIcons();
    if (FPreventResize || !FDefMaximize || F->BorderStyle() == bsDialog)
        Icons.Exclude(biMaximize);
    else
        Icons.Include(biMaximize);
    F->SetBorderIcons(Icons);
    FActive = IsActive;
}

void TFormPlacement::UpdatePlacement() {
    TCustomForm* F = Form();
    if (F == nullptr || !F->HandleAllocated() || ComponentState().Contains(csLoading) ||
        FPreventResize || FWinMinMaxInfo.IsSet())
        return;
    const int Frame = FrameSize(F->BorderStyle());
    FPlacement.ptMaxPosition = {-Frame, -Frame};
}

TWindowPlacement TFormPlacement::CurrentPlacement() const {
    TWindowPlacement P = FPlacement;
    TCustomForm* F = Form();
    if (F == nullptr) return P;
    switch (F->WindowState()) {
    case wsMinimized:
        P.showCmd = SW_SHOWMINIMIZED;
        break;
    case wsMaximized:
        P.showCmd = SW_SHOWMAXIMIZED;
        break;
    default:
        P.showCmd = SW_SHOWNORMAL;
        break;
    }
    P.rcNormalPosition = F->BoundsRect();
    return P;
}

void TFormPlacement::WndMessage(TObject*, TMessage& Msg, bool&) {
    TCustomForm* F = Form();
    if (F == nullptr) return;
    if (FPreventResize) {
        if (Msg.Msg == WM_GETMINMAXINFO && F->Visible() && Msg.LParam != 0) {
            auto* Info = reinterpret_cast<TMinMaxInfo*>(Msg.LParam);
            Info->ptMinTrackSize = {F->Width(), F->Height()};
            Info->ptMaxTrackSize = {F->Width(), F->Height()};
        } else if (Msg.Msg == WM_NCHITTEST) {
            if (Msg.Result >= HTLEFT && Msg.Result <= HTBOTTOMRIGHT) Msg.Result = HTNOWHERE;
        }
        // The window system here has no system menu whose sizing items
        // would need greying.
        return;
    }
    if (Msg.Msg == WM_GETMINMAXINFO && Msg.LParam != 0 && FWinMinMaxInfo.IsSet()) {
        auto* Info = reinterpret_cast<TMinMaxInfo*>(Msg.LParam);
        const TWinMinMaxInfo& M = FWinMinMaxInfo;
        if (M.MinTrackWidth() != 0) Info->ptMinTrackSize.X = M.MinTrackWidth();
        if (M.MinTrackHeight() != 0) Info->ptMinTrackSize.Y = M.MinTrackHeight();
        if (M.MaxTrackWidth() != 0) Info->ptMaxTrackSize.X = M.MaxTrackWidth();
        if (M.MaxTrackHeight() != 0) Info->ptMaxTrackSize.Y = M.MaxTrackHeight();
        if (M.MaxSizeWidth() != 0) Info->ptMaxSize.X = M.MaxSizeWidth();
        if (M.MaxSizeHeight() != 0) Info->ptMaxSize.Y = M.MaxSizeHeight();
        if (M.MaxPosLeft() != 0) Info->ptMaxPosition.X = M.MaxPosLeft();
        if (M.MaxPosTop() != 0) Info->ptMaxPosition.Y = M.MaxPosTop();
    }
}

void TFormPlacement::FormShow(TObject* Sender) {
    if (IsActive()) {
        try {
            RestoreFormState();
        } catch (...) {
            HandleFormException(this);
        }
    }
    if (FSaveFormShow) FSaveFormShow(Sender);
}

void TFormPlacement::FormCloseQuery(TObject* Sender, bool& CanClose) {
    if (FSaveFormCloseQuery) FSaveFormCloseQuery(Sender, CanClose);
    TCustomForm* F = Form();
    if (CanClose && IsActive() && F != nullptr && F->HandleAllocated()) SaveFormStateOnClose();
}

void TFormPlacement::FormDestroy(TObject* Sender) {
    if (IsActive() && !FSaved) {
        FDestroying = true;
        try {
            SaveFormStateOnClose();
        } catch (...) {
            FDestroying = false;
            throw;
        }
        FDestroying = false;
    }
    if (FSaveFormDestroy) FSaveFormDestroy(Sender);
}

void TFormPlacement::SaveFormStateOnClose() {
    // A storage that failed as the window closed is not tried again as it is
    // destroyed: the failure was told, and would only be told again.
    try {
        SaveFormState();
    } catch (const ERegistryException&) {
        TellSettingsNotSaved(RegistryStoreFolder());
    } catch (const EIniFileException&) {
        TellSettingsNotSaved(ExtractFileDir(ExpandFileName(IniFileName())));
    } catch (const EFCreateError&) {
        TellSettingsNotSaved(ExtractFileDir(ExpandFileName(IniFileName())));
    } catch (...) {
        HandleFormException(this);
    }
}

void TFormPlacement::TellSettingsNotSaved(const std::string& Folder) {
    FSaved = true;
    // A settings folder that cannot be written fails every storage of every
    // window and again as each is destroyed: the user hears of it once per
    // run, in French, and the program still closes. The mark is owned by
    // the application, so the next run starts unmarked.
    const char* const Mark = "SettingsNotSavedTold";
    if (Application == nullptr || Application->FindComponent(Mark) != nullptr) return;
    (new TComponent(Application))->SetName(Mark);
    MessageDlg(SettingsNotSavedMessage(Folder), mtWarning, {mbOK}, 0);
}

std::string TFormPlacement::IniFileName() const {
    if (!FIniFileName.empty() || ComponentState().Contains(csDesigning)) return FIniFileName;
    if (FUseRegistry) return DefaultRegistryKey();
    return ChangeFileExt(ApplicationExeName(), ".INI");
}

std::string TFormPlacement::IniSection() const {
    if (!FIniSection.empty() || ComponentState().Contains(csDesigning)) return FIniSection;
    TComponent* O = Owner();
    if (O == nullptr) return std::string();
    if (auto* F = dynamic_cast<TCustomForm*>(O)) return F->ClassName();
    if (auto* C = dynamic_cast<TControl*>(O)) {
        if (TCustomForm* F = GetParentForm(C)) return F->ClassName() + C->Name();
        if (C->Parent() != nullptr) return C->Parent()->Name() + C->Name();
        return C->Name();
    }
    std::string FormName;
    for (TComponent* P = O->Owner(); P != nullptr; P = P->Owner())
        if (auto* F = dynamic_cast<TCustomForm*>(P)) {
            FormName = F->ClassName();
            break;
        }
    return Format("%s.%s", {FormName, O->Name()});
}

void TFormPlacement::IniNeeded(bool ReadOnly) {
    if (FStorage) return;
    auto S = std::make_unique<TPlacementStorage>();
    const std::string FileName = IniFileName();
    if (FUseRegistry) {
        S->Reg = std::make_unique<TRegIniFile>(FileName, ReadOnly ? Cardinal(KEY_READ)
                                                                  : Cardinal(KEY_ALL_ACCESS));
        HKEY Root = HKEY_CURRENT_USER;
        switch (FRegistryRoot) {
        case prLocalMachine:
            Root = HKEY_LOCAL_MACHINE;
            break;
        case prCurrentConfig:
            Root = HKEY_CURRENT_CONFIG;
            break;
        case prClassesRoot:
            Root = HKEY_CLASSES_ROOT;
            break;
        case prUsers:
            Root = HKEY_USERS;
            break;
        case prDynData:
            Root = HKEY_DYN_DATA;
            break;
        default:
            break;
        }
        if (Root != HKEY_CURRENT_USER) {
            S->Reg->CloseKey();
            S->Reg->SetRootKey(Root);
            S->Reg->OpenKey(FileName, !ReadOnly);
        }
    } else {
        S->Ini = std::make_unique<TIniFile>(FileName);
    }
    FStorage = std::move(S);
}

void TFormPlacement::IniFree() {
    FStorage.reset();
}

std::string TFormPlacement::ReadStoredString(const std::string& Ident, const std::string& Default) {
    if (FStorage) return FStorage->ReadString(IniSection(), Ident, Default);
    IniNeeded(true);
    std::string Result;
    try {
        Result = FStorage->ReadString(IniSection(), Ident, Default);
    } catch (...) {
        IniFree();
        throw;
    }
    IniFree();
    return Result;
}

void TFormPlacement::WriteStoredString(const std::string& Ident, const std::string& Value) {
    if (FStorage) {
        FStorage->WriteString(IniSection(), Ident, Value);
        return;
    }
    IniNeeded(false);
    try {
        FStorage->WriteString(IniSection(), Ident, Value);
    } catch (...) {
        IniFree();
        throw;
    }
    IniFree();
}

int TFormPlacement::ReadStoredInteger(const std::string& Ident, int Default) {
    if (FStorage) return FStorage->ReadInteger(IniSection(), Ident, Default);
    return StrToIntDef(ReadStoredString(Ident, IntToStr(Default)), Default);
}

void TFormPlacement::WriteStoredInteger(const std::string& Ident, int Value) {
    if (FStorage) {
        FStorage->WriteInteger(IniSection(), Ident, Value);
        return;
    }
    WriteStoredString(Ident, IntToStr(Value));
}

void TFormPlacement::EraseStoredSection(const std::string& Section) {
    if (FStorage) FStorage->EraseSection(Section);
}

void TFormPlacement::AddLink(TIniLink* Link) {
    if (Link != nullptr && std::find(FLinks.begin(), FLinks.end(), Link) == FLinks.end())
        FLinks.push_back(Link);
}

void TFormPlacement::RemoveLink(TIniLink* Link) {
    FLinks.erase(std::remove(FLinks.begin(), FLinks.end(), Link), FLinks.end());
}

void TFormPlacement::StorePlacement() {
    TCustomForm* F = Form();
    const std::string Section = IniSection();
    if (F != nullptr && FStorage) {
        if (FOptions.Contains(fpState) || FOptions.Contains(fpPosition))
            WritePlacementValues(F, *FStorage, Section, CurrentPlacement());
        FStorage->WriteString(Section, "Visible", FDestroying ? "1" : "0");
        if (FOptions.Contains(fpActiveControl) && F->ActiveControl() != nullptr)
            FStorage->WriteString(Section, "ActiveControl", F->ActiveControl()->Name());
    }
    for (TIniLink* L : std::vector<TIniLink*>(FLinks))
        L->SaveToIni();
}

void TFormPlacement::LoadPlacement() {
    TCustomForm* F = Form();
    if (F != nullptr && FStorage && (FOptions.Contains(fpState) || FOptions.Contains(fpPosition)))
        FPlacement = ReadPlacementValues(F, *FStorage, IniSection(), FOptions.Contains(fpPosition),
                                         FOptions.Contains(fpState), CurrentPlacement());
    for (TIniLink* L : std::vector<TIniLink*>(FLinks))
        L->LoadFromIni();
}

void TFormPlacement::SaveFormState() {
    if (!FRestored && IsActive()) return;
    IniNeeded(false);
    try {
        WriteStoredInteger("FormVersion", FVersion);
        StorePlacement();
        if (OnSavePlacement) OnSavePlacement(this);
        FSaved = true;
    } catch (...) {
        IniFree();
        throw;
    }
    IniFree();
}

void TFormPlacement::RestoreFormState() {
    FSaved = false;
    IniNeeded(true);
    try {
        if (ReadStoredInteger("FormVersion", 0) >= FVersion) {
            LoadPlacement();
            FRestored = true;
            if (OnRestorePlacement) OnRestorePlacement(this);
            TCustomForm* F = Form();
            if (FOptions.Contains(fpActiveControl) && F != nullptr) {
                const std::string Name = ReadStoredString("ActiveControl", "");
                auto* C = dynamic_cast<TWinControl*>(F->FindComponent(Name));
                if (C != nullptr && C->CanFocus()) F->SetActiveControl(C);
            }
        }
    } catch (...) {
        FRestored = true;
        IniFree();
        throw;
    }
    FRestored = true;
    IniFree();
    UpdatePlacement();
}

// ---- stored values ----

void TStoredValue::Assign(const TPersistent* Source) {
    if (auto* S = dynamic_cast<const TStoredValue*>(Source)) {
        Value = S->Value;
        KeyString = S->KeyString;
        OnSave = S->OnSave;
        OnRestore = S->OnRestore;
        // The name stays: it must remain unique in this collection.
        return;
    }
    TPersistent::Assign(Source);
}

void TStoredValue::SetName(const std::string& Value) {
    if (Value == FName) return;
    if (!Value.empty() && FCollection != nullptr) {
        TStoredValue* Other = FCollection->FindValue(Value);
        if (Other != nullptr && Other != this)
            throw EStringListError("La liste de chaînes n'autorise pas les doublons");
    }
    FName = Value;
}

std::string TStoredValue::DisplayName() const {
    return FName.empty() ? std::string(ClassName()) : FName;
}

void TStoredValue::Save(TFormPlacement* Storage) {
    std::string Text = Value;
    if (OnSave) OnSave(this, Text);
    if (!KeyString.empty()) Text = XorToHex(KeyString, Text);
    Storage->WriteStoredString(FName, Text);
}

void TStoredValue::Restore(TFormPlacement* Storage) {
    std::string Default = Value;
    if (!KeyString.empty()) Default = XorToHex(KeyString, Default);
    std::string Text = Storage->ReadStoredString(FName, Default);
    if (!KeyString.empty()) Text = XorFromHex(KeyString, Text);
    if (OnRestore) OnRestore(this, Text);
    Value = Text;
}

TStoredValue* TStoredValues::Items(int Index) const {
    if (Index < 0 || Index >= Count())
        throw EListError(Format("List index out of bounds (%d)", {Index}));
    return FItems[std::size_t(Index)].get();
}

TStoredValue* TStoredValues::Add() {
    FItems.push_back(std::make_unique<TStoredValue>(this));
    return FItems.back().get();
}

int TStoredValues::IndexOf(std::string_view Name) const {
    for (int I = 0; I < Count(); ++I)
        if (AnsiSameText(FItems[std::size_t(I)]->Name(), Name)) return I;
    return -1;
}

TStoredValue* TStoredValues::FindValue(std::string_view Name) const {
    const int I = IndexOf(Name);
    return I < 0 ? nullptr : FItems[std::size_t(I)].get();
}

// ---- TPropsStorage ----

std::string TPropsStorage::ReadString(const std::string& ASection, const std::string& Item,
                                      const std::string& Default) {
    return OnReadString ? OnReadString(ASection, Item, Default) : std::string();
}

void TPropsStorage::WriteString(const std::string& ASection, const std::string& Item,
                                const std::string& Value) {
    if (OnWriteString) OnWriteString(ASection, Item, Value);
}

void TPropsStorage::EraseSection(const std::string& ASection) {
    if (OnEraseSection) OnEraseSection(ASection);
}

std::unique_ptr<TPropsStorage> TPropsStorage::CreateInfoStorage() {
    return std::make_unique<TPropsStorage>();
}

namespace {

std::string BoolIdent(std::int64_t V) {
    return V != 0 ? "True" : "False";
}

int IdentIndex(const std::vector<std::string>& Idents, std::string_view Name) {
    for (std::size_t I = 0; I < Idents.size(); ++I)
        if (AnsiSameText(Idents[I], Name)) return int(I);
    return -1;
}

} // namespace

std::string TPropsStorage::PropertyText(const TPropInfo& Prop, TPersistent* Object) {
    switch (Prop.Kind) {
    case pkInteger:
    case pkColor:
        return IntToStr(Prop.GetOrd(Object));
    case pkBoolean:
        return BoolIdent(Prop.GetOrd(Object));
    case pkEnumeration: {
        const std::int64_t V = Prop.GetOrd(Object);
        if (V >= 0 && V < std::int64_t(Prop.Idents.size())) return Prop.Idents[std::size_t(V)];
        return IntToStr(V);
    }
    case pkSet: {
        const auto Bits = std::uint32_t(Prop.GetOrd(Object));
        std::string S = "[";
        bool First = true;
        for (std::size_t I = 0; I < 32 && I < Prop.Idents.size(); ++I)
            if ((Bits & (1u << I)) != 0) {
                if (!First) S += ',';
                S += Prop.Idents[I];
                First = false;
            }
        return S + "]";
    }
    case pkFloat:
        // Stored with "." whatever the separator of the day, so that a value
        // travels between systems.
        return FloatToTextGeneral(Prop.GetFloat(Object), 15, '.');
    case pkString:
        return Prop.GetStr(Object);
    default:
        return std::string();
    }
}

void TPropsStorage::StoreAnyProperty(const TPropInfo& Prop) {
    if (AObject == nullptr) return;
    const std::string Item = GetItemName(Prop.Name);
    if (Prop.Kind == pkClass) {
        StoreClass(Prop, Prop.GetObject(AObject));
        return;
    }
    if (Prop.Kind == pkCollection) {
        const std::string Sub = Format("%s.%s", {Section, Item});
        EraseSection(Sub);
        const int N = Prop.ItemCount(AObject);
        WriteString(Section, Item + ".Count", IntToStr(N));
        for (int I = 0; I < N; ++I)
            TransferNested(Prop.Item(AObject, I), Sub, Format("Item%d", {I}) + "_", false);
        return;
    }
    const std::string Text = Trim(PropertyText(Prop, AObject));
    if (!Text.empty() || Prop.Kind == pkString) WriteString(Section, Item, Text);
}

void TPropsStorage::StoreClass(const TPropInfo& Prop, TPersistent* Value) {
    const std::string Item = GetItemName(Prop.Name);
    if (auto* List = dynamic_cast<TStrings*>(Value)) {
        const std::string Sub = Format("%s.%s", {Section, Item});
        EraseSection(Sub);
        if (List->Count() > 0) {
            WriteString(Sub, "Count", IntToStr(List->Count()));
            for (int I = 0; I < List->Count(); ++I)
                WriteString(Sub, Format("Item%d", {I}), List->Strings(I));
        }
        return;
    }
    if (Value == nullptr) {
        WriteString(Section, Item, "(null)");
        return;
    }
    if (auto* C = dynamic_cast<TComponent*>(Value)) {
        // A reference: owner-qualified unless it lives in our owner.
        std::string Text = C->Name();
        if (C->Owner() != nullptr && C->Owner() != Owner) {
            std::string OwnerName = C->Owner()->Name();
            if (OwnerName.empty()) {
                OwnerName = C->Owner()->ClassName();
                if (!OwnerName.empty() && OwnerName[0] == 'T') OwnerName.erase(0, 1);
            }
            Text = Format("%s.%s", {OwnerName, C->Name()});
        }
        WriteString(Section, Item, Text);
        return;
    }
    TransferNested(Value, Section, Item, false);
}

void TPropsStorage::LoadAnyProperty(const TPropInfo& Prop) {
    if (AObject == nullptr) return;
    const std::string Item = GetItemName(Prop.Name);
    if (Prop.Kind == pkClass) {
        LoadClass(Prop, Prop.GetObject(AObject));
        return;
    }
    if (Prop.Kind == pkCollection) {
        const std::string Sub = Format("%s.%s", {Section, Item});
        const int Current = Prop.ItemCount(AObject);
        int N = StrToIntDef(Trim(ReadString(Section, Item + ".Count", IntToStr(Current))), Current);
        N = std::clamp(N, 0, MaxStoredItems);
        if (N != Current) {
            Prop.ClearItems(AObject);
            for (int I = 0; I < N; ++I)
                Prop.AddItem(AObject);
        }
        for (int I = 0; I < N; ++I)
            TransferNested(Prop.Item(AObject, I), Sub, Format("Item%d", {I}) + "_", true);
        return;
    }
    const std::string Default = PropertyText(Prop, AObject);
    std::string Text;
    if (!Default.empty() || Prop.Kind == pkString) Text = Trim(ReadString(Section, Item, Default));
    switch (Prop.Kind) {
    case pkInteger:
    case pkColor:
        Prop.SetOrd(AObject, StrToInt64Def(Text, 0));
        break;
    case pkBoolean: {
        const int I = IdentIndex({"False", "True"}, Text);
        if (I >= 0) Prop.SetOrd(AObject, I);
        break;
    }
    case pkEnumeration: {
        const int I = IdentIndex(Prop.Idents, Text);
        if (I >= 0) Prop.SetOrd(AObject, I);
        break;
    }
    case pkFloat: {
        std::string S = Text;
        std::replace(S.begin(), S.end(), '.', FormatSettings().DecimalSeparator);
        double V = 0;
        if (TryStrToFloat(S, V)) Prop.SetFloat(AObject, V);
        break;
    }
    case pkString:
        Prop.SetStr(AObject, Text);
        break;
    case pkSet: {
        std::uint32_t Bits = 0;
        const std::string_view SetDelims = " ,[]";
        const int N = CountWords(Text, SetDelims);
        for (int W = 1; W <= N; ++W) {
            const int I = IdentIndex(Prop.Idents, Trim(ExtractWordAt(W, Text, SetDelims)));
            if (I >= 0 && I < 32) Bits |= 1u << unsigned(I);
        }
        Prop.SetOrd(AObject, Bits);
        break;
    }
    default:
        break;
    }
}

void TPropsStorage::LoadClass(const TPropInfo& Prop, TPersistent* Value) {
    const std::string Item = GetItemName(Prop.Name);
    if (auto* List = dynamic_cast<TStrings*>(Value)) {
        const std::string Sub = Format("%s.%s", {Section, Item});
        const int N = std::min(StrToIntDef(Trim(ReadString(Sub, "Count", "0")), 0), MaxStoredItems);
        if (N > 0) {
            TStringList Lines;
            for (int I = 0; I < N; ++I)
                Lines.Add(ReadString(Sub, Format("Item%d", {I}), ""));
            List->Assign(&Lines);
        }
        return;
    }
    // A reference cannot be replaced through a nested-object property.
    if (Value == nullptr || dynamic_cast<TComponent*>(Value) != nullptr) return;
    TransferNested(Value, Section, Item, true);
}

void TPropsStorage::TransferNested(TPersistent* Object, const std::string& ASection,
                                   const std::string& APrefix, bool Load) {
    auto Child = CreateInfoStorage();
    *Child = *this;
    Child->AObject = Object;
    Child->Section = ASection;
    Child->Prefix = APrefix;
    for (const TPropInfoPtr& P : GetPropList(Object)) {
        if (Load)
            Child->LoadAnyProperty(*P);
        else
            Child->StoreAnyProperty(*P);
    }
}

void TPropsStorage::StoreProperties(const std::vector<std::string>& PropNames) {
    if (AObject == nullptr) return;
    for (const std::string& Name : PropNames)
        if (TPropInfoPtr P = FindPropInfo(AObject, Name)) StoreAnyProperty(*P);
}

void TPropsStorage::LoadProperties(const std::vector<std::string>& PropNames) {
    if (AObject == nullptr) return;
    for (const std::string& Name : PropNames)
        if (TPropInfoPtr P = FindPropInfo(AObject, Name)) LoadAnyProperty(*P);
}

// ---- TFormStorage ----

TFormStorage::TFormStorage(TComponent* AOwner)
    : TFormPlacement(AOwner), FStoredProps(std::make_unique<TStringList>()) {}

TFormStorage::~TFormStorage() = default;

void TFormStorage::SetStoredProps(const TStrings* Value) {
    FStoredProps->Assign(Value);
    SetNotification();
}

void TFormStorage::Loaded() {
    TFormPlacement::Loaded();
    ResolveStoredList();
}

namespace {

bool SplitStoredLine(const std::string& Line, std::string& Comp, std::string& Prop) {
    const auto Dot = Line.find('.');
    if (Dot == std::string::npos) return false;
    Comp = Trim(std::string_view(Line).substr(0, Dot));
    Prop = Trim(std::string_view(Line).substr(Dot + 1));
    return !Comp.empty() && !Prop.empty();
}

} // namespace

void TFormStorage::ResolveStoredList() {
    TComponent* O = Owner();
    for (int I = FStoredProps->Count() - 1; I >= 0; --I) {
        std::string Comp, Prop;
        TComponent* C = nullptr;
        if (O != nullptr && SplitStoredLine(FStoredProps->Strings(I), Comp, Prop))
            C = O->FindComponent(Comp);
        if (C == nullptr)
            FStoredProps->Delete(I);
        else
            FStoredProps->PutObject(I, C);
    }
}

void TFormStorage::SetNotification() {
    ResolveStoredList();
}

void TFormStorage::UpdateStoredList() {
    for (int I = FStoredProps->Count() - 1; I >= 0; --I) {
        auto* C = dynamic_cast<TComponent*>(FStoredProps->Objects(I));
        std::string Comp, Prop;
        if (C == nullptr || !SplitStoredLine(FStoredProps->Strings(I), Comp, Prop))
            FStoredProps->Delete(I);
        else
            FStoredProps->Put(I, C->Name() + "." + Prop);
    }
}

void TFormStorage::Notification(TComponent* AComponent, TOperation Operation) {
    TFormPlacement::Notification(AComponent, Operation);
    if (Operation != opRemove || AComponent == this || !FStoredProps) return;
    for (int I = FStoredProps->Count() - 1; I >= 0; --I)
        if (FStoredProps->Objects(I) == AComponent) FStoredProps->Delete(I);
}

void TFormStorage::StoreOrLoad(bool Store) {
    TPropsStorage S;
    S.Owner = Owner();
    S.Section = IniSection();
    S.OnReadString = [this](const std::string& Section, const std::string& Ident,
                            const std::string& Default) {
        if (Storage() != nullptr) return Storage()->ReadString(Section, Ident, Default);
        return Section == IniSection() ? ReadStoredString(Ident, Default) : Default;
    };
    S.OnWriteString = [this](const std::string& Section, const std::string& Ident,
                             const std::string& Value) {
        if (Storage() != nullptr)
            Storage()->WriteString(Section, Ident, Value);
        else if (Section == IniSection())
            WriteStoredString(Ident, Value);
    };
    if (Store)
        S.OnEraseSection = [this](const std::string& Section) { EraseStoredSection(Section); };
    for (int I = 0; I < FStoredProps->Count(); ++I) {
        std::string Comp, Prop;
        if (!SplitStoredLine(FStoredProps->Strings(I), Comp, Prop)) continue;
        auto* C = dynamic_cast<TComponent*>(FStoredProps->Objects(I));
        if (C == nullptr && Owner() != nullptr) C = Owner()->FindComponent(Comp);
        if (C == nullptr) continue;
        S.AObject = C;
        S.Prefix = C->Name() + "_";
        TPropInfoPtr P = FindPropInfo(C, Prop);
        if (!P) continue;
        if (Store) {
            S.StoreAnyProperty(*P);
        } else {
            try {
                S.LoadAnyProperty(*P);
            } catch (const Exception&) {
                // A damaged value leaves the property as it was.
            }
        }
    }
}

void TFormStorage::StoreProps() {
    StoreOrLoad(true);
}

void TFormStorage::LoadProps() {
    StoreOrLoad(false);
}

void TFormStorage::StorePlacement() {
    TFormPlacement::StorePlacement();
    StoreProps();
    for (int I = 0; I < FStoredValues.Count(); ++I)
        FStoredValues.Items(I)->Save(this);
}

void TFormStorage::LoadPlacement() {
    TFormPlacement::LoadPlacement();
    SetRestored(true);
    LoadProps();
    for (int I = 0; I < FStoredValues.Count(); ++I)
        FStoredValues.Items(I)->Restore(this);
}

// ---- stream properties ----

void RegisterFormStorageClasses() {
    if (ClassPropertiesRegistered("TFormStorage")) return;
    TPublishedProperties<TWinMinMaxInfo>("TWinMinMaxInfo", "")
        .Integer("MaxPosLeft", &TWinMinMaxInfo::MaxPosLeft, &TWinMinMaxInfo::SetMaxPosLeft)
        .Default(0)
        .Integer("MaxPosTop", &TWinMinMaxInfo::MaxPosTop, &TWinMinMaxInfo::SetMaxPosTop)
        .Default(0)
        .Integer("MaxSizeHeight", &TWinMinMaxInfo::MaxSizeHeight, &TWinMinMaxInfo::SetMaxSizeHeight)
        .Default(0)
        .Integer("MaxSizeWidth", &TWinMinMaxInfo::MaxSizeWidth, &TWinMinMaxInfo::SetMaxSizeWidth)
        .Default(0)
        .Integer("MaxTrackHeight", &TWinMinMaxInfo::MaxTrackHeight,
                 &TWinMinMaxInfo::SetMaxTrackHeight)
        .Default(0)
        .Integer("MaxTrackWidth", &TWinMinMaxInfo::MaxTrackWidth, &TWinMinMaxInfo::SetMaxTrackWidth)
        .Default(0)
        .Integer("MinTrackHeight", &TWinMinMaxInfo::MinTrackHeight,
                 &TWinMinMaxInfo::SetMinTrackHeight)
        .Default(0)
        .Integer("MinTrackWidth", &TWinMinMaxInfo::MinTrackWidth, &TWinMinMaxInfo::SetMinTrackWidth)
        .Default(0)
        .Register();
    TPublishedProperties<TFormPlacement>("TFormPlacement", "TComponent")
        .Boolean("Active", &TFormPlacement::Active, &TFormPlacement::SetActive)
        .Default(1)
        .String("IniFileName", &TFormPlacement::StoredIniFileName, &TFormPlacement::SetIniFileName)
        .String("IniSection", &TFormPlacement::StoredIniSection, &TFormPlacement::SetIniSection)
        .Class("MinMaxInfo", &TFormPlacement::MinMaxInfo)
        .Set(
            "Options", [](TFormPlacement& P) { return P.Options().Bits(); },
            [](TFormPlacement& P, std::uint32_t V) {
                TPlacementOptions O;
                for (unsigned I = 0; I < 3; ++I)
                    if ((V & (1u << I)) != 0) O.Include(TPlacementOption(I));
                P.SetOptions(O);
            },
            {"fpState", "fpPosition", "fpActiveControl"})
        .Default(3)
        .Boolean("PreventResize", &TFormPlacement::PreventResize, &TFormPlacement::SetPreventResize)
        .Default(0)
        .Enumeration("RegistryRoot", &TFormPlacement::RegistryRoot,
                     &TFormPlacement::SetRegistryRoot,
                     {"prCurrentUser", "prLocalMachine", "prCurrentConfig", "prClassesRoot",
                      "prUsers", "prDynData"})
        .Default(0)
        .Boolean("UseRegistry", &TFormPlacement::UseRegistry, &TFormPlacement::SetUseRegistry)
        .Default(1)
        .Integer("Version", &TFormPlacement::Version, &TFormPlacement::SetVersion)
        .Default(0)
        .Register();
    TPublishedProperties<TFormStorage>("TFormStorage", "TFormPlacement")
        .Class("StoredProps", &TFormStorage::StoredProps)
        .Register();
}
