#include "syscomp/SystemBackend.h"

#include "platform/forms/Application.h"
#include "platform/classes/Stream.h"
#include "platform/forms/DesktopServices.h"
#include "platform/graphics/Icon.h"
#include "platform/system/PeResources.h"
#include "syscomp/InstanceGuard.h"

#include <atomic>

namespace {
// Never destroyed: its tray icons must not outlive the toolkit at exit.
TSysBackend& DefaultBackend() {
    static TSysBackend* b = new TSysBackend;
    return *b;
}
std::atomic<TSysBackend*> Installed{nullptr};
} // namespace

TSysBackend::TSysBackend() = default;
TSysBackend::~TSysBackend() = default;

bool TSysBackend::ShellNotifyIcon(TSysTrayCommand Command, const TSysNotifyIconData& Data) {
    const auto key = std::make_pair(Data.Wnd, Data.ID);
    auto it = FTrayIcons.find(key);
    if (Command == stcDelete) {
        if (it == FTrayIcons.end()) return false;
        FTrayIcons.erase(it);
        return true;
    }
    if (!TNativeTrayIcon::Available()) return false;
    if (Command == stcAdd) {
        if (it != FTrayIcons.end()) return false;
        auto icon = std::make_unique<TNativeTrayIcon>();
        const HWND wnd = Data.Wnd;
        const UINT id = Data.ID;
        const UINT msg = Data.CallbackMessage;
        icon->OnEvent = [wnd, id, msg](TNativeTrayEvent e) {
            auto post = [&](LPARAM l) { PostMessage(wnd, msg, id, l); };
            switch (e) {
            case nteClick:
                post(WM_LBUTTONDOWN);
                post(WM_LBUTTONUP);
                break;
            case nteDoubleClick:
                post(WM_LBUTTONDBLCLK);
                break;
            case nteContext:
                post(WM_RBUTTONDOWN);
                post(WM_RBUTTONUP);
                break;
            case nteMiddleClick:
                post(WM_MBUTTONDOWN);
                post(WM_MBUTTONUP);
                break;
            case nteMouseMove:
                post(WM_MOUSEMOVE);
                break;
            case nteBalloonShown:
                post(NIN_BALLOONSHOW);
                break;
            case nteBalloonClick:
                post(NIN_BALLOONUSERCLICK);
                break;
            case nteBalloonTimeout:
                post(NIN_BALLOONTIMEOUT);
                break;
            }
        };
        it = FTrayIcons.emplace(key, std::move(icon)).first;
    } else if (it == FTrayIcons.end()) {
        return false;
    }
    if (Data.Flags & NIF_INFO)
        return it->second->ShowBalloon(Data.InfoTitle, Data.Info, int(Data.InfoFlags),
                                       int(Data.Timeout));
    return it->second->Show(Data.Flags & NIF_ICON ? Data.Icon : nullptr,
                            Data.Flags & NIF_TIP ? Data.Tip : std::string());
}

bool TSysBackend::PlaySound(const TSysSound& Sound) {
    return SysPlaySound(Sound);
}

void TSysBackend::StopSound() {
    SysStopSound();
}

bool TSysBackend::StartButtonRect(TRect&) {
    return false;
}

bool TSysBackend::SetStartButtonRect(const TRect&) {
    return false;
}

bool TSysBackend::ExitSystem(TSysPowerAction, bool) {
    // Powering the machine off from a banner editor is never sound here.
    return false;
}

bool TSysBackend::RegisterAssociation(const TDesktopAssociation& Association) {
    return WriteDesktopAssociation(DataFolder(), Association);
}

bool TSysBackend::RemoveAssociation(const std::string& Extension) {
    return RemoveDesktopAssociation(DataFolder(), Extension);
}

void TSysBackend::AssociationsChanged() {
    RefreshDesktopDatabases(DataFolder());
}

std::string TSysBackend::DataFolder() const {
    return FDataFolder.empty() ? DesktopDataFolder() : FDataFolder;
}

namespace {

bool LoadIcon(const TByteVector& Bytes, TIcon* Icon) {
    if (Icon == nullptr) return true;
    try {
        TMemoryStream m;
        m.WriteBuffer(Bytes.data(), std::int64_t(Bytes.size()));
        m.SetPosition(0);
        Icon->LoadFromStream(m);
        return true;
    } catch (const Exception&) {
        return false; // an image our icon class cannot show
    }
}

template <class Get> bool FillIcons(Get GetIcon, TIcon* Large, TIcon* Small) {
    TByteVector large, small;
    if (!GetIcon(32, large) || !GetIcon(16, small)) return false;
    return LoadIcon(large, Large) && LoadIcon(small, Small);
}

} // namespace

bool TSysBackend::ExtractIcons(const std::string& FileName, int Index, TIcon* Large, TIcon* Small) {
    if (FileName.empty()) {
        static const TDesktopIcon Stock[] = {diDocument, diDocument, diProgram, diFolder, diFolder};
        const TDesktopIcon kind = Index >= 0 && Index < 5 ? Stock[Index] : diDocument;
        return FillIcons([&](int size, TByteVector& b) { return DesktopIcon(kind, size, b); },
                         Large, Small);
    }
    return FillIcons(
        [&](int size, TByteVector& b) { return ExtractIconFile(FileName, Index, size, b); }, Large,
        Small);
}

bool TSysBackend::FileTypeIcons(const std::string& Extension, TIcon* Large, TIcon* Small) {
    return FillIcons(
        [&](int size, TByteVector& b) { return DesktopFileTypeIcon(Extension, size, b); }, Large,
        Small);
}

bool TSysBackend::ActivatePrevInstance(const std::string& InstanceName) {
    // The first copy raises its own window when asked: another process's
    // window cannot be raised from here.
    return SysSendActivate(InstanceName);
}

void TSysBackend::TerminateApplication() {
    if (Application) Application->Terminate();
}

bool TSysBackend::ShowMainForm() {
    return Application ? Application->ShowMainForm() : true;
}

void TSysBackend::SetShowMainForm(bool Value) {
    if (Application) Application->SetShowMainForm(Value);
}

TSysBackend* SysBackend() {
    TSysBackend* b = Installed.load();
    return b ? b : &DefaultBackend();
}

void SetSysBackend(TSysBackend* Backend) {
    Installed.store(Backend);
}

TSysBackendScope::TSysBackendScope(TSysBackend* Backend) : FPrevious(Installed.load()) {
    SetSysBackend(Backend);
}

TSysBackendScope::~TSysBackendScope() {
    SetSysBackend(FPrevious);
}
