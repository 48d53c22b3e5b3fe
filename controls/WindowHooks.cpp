#include "controls/WindowHooks.h"

#include <algorithm>

#include "platform/base/Format.h"
#include "platform/base/Text.h"
#include "platform/classes/ClassRegistry.h"
#include "platform/classes/Filer.h"
#include "platform/classes/PropertyRegistry.h"
#include "platform/forms/Application.h"
#include "platform/forms/Screen.h"

bool LongYearDateFormat = false;

// ---------------------------------------------------------------------------
// TControlHook and the hook list

class TControlHook {
public:
    explicit TControlHook(TWinControl* Control) : FControl(Control) {}
    ~TControlHook() {
        Uninstall();
        // Only at shut-down can a hook with listeners go: they forget it.
        for (TCtlWindowHook* L : FListeners)
            L->FHook = nullptr;
    }

    TWinControl* Control() const { return FControl; }
    bool Busy() const { return FDepth > 0; }
    bool HasListeners() const { return !FListeners.empty(); }

    void Add(TCtlWindowHook* Listener) {
        if (std::find(FListeners.begin(), FListeners.end(), Listener) == FListeners.end())
            FListeners.push_back(Listener);
        Install();
    }
    // True when the last listener left.
    bool Remove(TCtlWindowHook* Listener) {
        std::erase(FListeners, Listener);
        if (!FListeners.empty()) return false;
        Uninstall();
        return true;
    }

    void ControlDestroyed() {
        // The chain went with the control.
        FBeforeId = FAfterId = 0;
        FControl = nullptr;
    }

private:
    void Install() {
        if (FControl == nullptr || FBeforeId != 0) return;
        const TComponentState S = FControl->ComponentState();
        if (S.Contains(csDesigning) || S.Contains(csDestroying)) return;
        FBeforeId =
            InstallWindowProcHook(FControl, hoBeforeMsg, [this](TMessage& M) { return Before(M); });
        FAfterId = InstallWindowProcHook(FControl, hoAfterMsg, [this](TMessage& M) {
            Notify(M, false);
            return false;
        });
    }
    void Uninstall() {
        if (FBeforeId != 0) RemoveWindowProcHook(FBeforeId);
        if (FAfterId != 0) RemoveWindowProcHook(FAfterId);
        FBeforeId = FAfterId = 0;
    }

    bool Before(TMessage& M) {
        if (M.Msg == WM_QUIT) return false;
        // A window being destroyed always gets its own procedure.
        return Notify(M, true) && M.Msg != WM_DESTROY;
    }

    bool Notify(TMessage& M, bool IsBefore) {
        ++FDepth;
        struct TDepthGuard {
            int& Depth;
            ~TDepthGuard() { --Depth; }
        } Guard{FDepth};
        // Listeners may come and go (and be freed) while they are told: walk
        // a copy, and only call those still registered.
        const std::vector<TCtlWindowHook*> Snapshot = FListeners;
        bool Handled = false;
        for (auto It = Snapshot.rbegin(); It != Snapshot.rend(); ++It) {
            TCtlWindowHook* L = *It;
            if (std::find(FListeners.begin(), FListeners.end(), L) == FListeners.end()) continue;
            const THookMessageEvent Event = IsBefore ? L->BeforeMessage : L->AfterMessage;
            if (!Event) continue;
            try {
                Event(L, M, Handled);
            } catch (...) {
                if (Application != nullptr) Application->HandleException(nullptr);
            }
            if (Handled) break;
        }
        return Handled;
    }

    TWinControl* FControl;
    std::vector<TCtlWindowHook*> FListeners;
    THookId FBeforeId = 0;
    THookId FAfterId = 0;
    int FDepth = 0;
};

namespace {

class THookList : public TComponent {
public:
    THookList() : TComponent(nullptr) {}
    ~THookList() override {
        Destroying();
        if (FWnd != nullptr) DeallocateHWnd(FWnd);
        for (TControlHook* H : FHooks)
            delete H;
    }

    TControlHook* Acquire(TWinControl* Control) {
        for (TControlHook* H : FHooks)
            if (H->Control() == Control) return H;
        auto* H = new TControlHook(Control);
        FHooks.push_back(H);
        Control->FreeNotification(this);
        return H;
    }

    // A hook without listeners is freed from the utility window: it may be
    // the one whose procedure is running right now.
    void ScheduleFree(TControlHook* Hook) {
        if (FWnd == nullptr) FWnd = AllocateHWnd([this](TMessage& M) { WndProc(M); });
        PostMessage(FWnd, CM_FREEHOOK, reinterpret_cast<WPARAM>(Hook));
    }

    int Count() const { return int(FHooks.size()); }

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override {
        TComponent::Notification(AComponent, Operation);
        if (Operation != opRemove || !AComponent->ComponentState().Contains(csDestroying)) return;
        for (TControlHook* H : FHooks)
            if (H->Control() == AComponent) {
                H->ControlDestroyed();
                if (!H->HasListeners()) ScheduleFree(H);
            }
    }

private:
    void WndProc(TMessage& M) {
        if (M.Msg != CM_FREEHOOK) return; // CM_RECREATEHOOK: nothing to re-install
        auto* Hook = reinterpret_cast<TControlHook*>(M.WParam);
        auto It = std::find(FHooks.begin(), FHooks.end(), Hook);
        if (It == FHooks.end() || Hook->HasListeners()) return;
        if (Hook->Busy()) {
            ScheduleFree(Hook); // a nested message loop: try again later
            return;
        }
        FHooks.erase(It);
        if (Hook->Control() != nullptr) Hook->Control()->RemoveFreeNotification(this);
        delete Hook;
    }

    std::vector<TControlHook*> FHooks;
    HWND FWnd = nullptr;
};

THookList* GHookList = nullptr;

THookList& HookList() {
    if (GHookList == nullptr) GHookList = new THookList;
    return *GHookList;
}

} // namespace

int ControlHookCount() {
    return GHookList == nullptr ? 0 : GHookList->Count();
}

// ---------------------------------------------------------------------------
// TCtlWindowHook

TCtlWindowHook::TCtlWindowHook(TComponent* AOwner) : TComponent(AOwner) {}

TCtlWindowHook::~TCtlWindowHook() {
    Destroying();
    Unregister();
}

void TCtlWindowHook::Register() {
    if (!FActive || FControl == nullptr || FHook != nullptr) return;
    FHook = HookList().Acquire(FControl);
    FHook->Add(this);
}

void TCtlWindowHook::Unregister() {
    if (FHook == nullptr) return;
    TControlHook* H = FHook;
    FHook = nullptr;
    if (H->Remove(this)) HookList().ScheduleFree(H);
}

void TCtlWindowHook::SetActive(bool Value) {
    if (Value == FActive) return;
    FActive = Value;
    if (Value)
        Register();
    else
        Unregister();
}

void TCtlWindowHook::SetWinControl(TWinControl* Value) {
    // A control on its way out can no longer tell us of its end.
    if (Value != nullptr && Value->ComponentState().Contains(csDestroying)) Value = nullptr;
    if (Value == FControl) return;
    Unregister();
    FControl = Value;
    if (Value == nullptr) return;
    Value->FreeNotification(this);
    Register();
}

void TCtlWindowHook::Notification(TComponent* AComponent, TOperation Operation) {
    TComponent::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FControl && FControl != nullptr &&
        AComponent->ComponentState().Contains(csDestroying)) {
        Unregister();
        FControl = nullptr;
    }
}

void TCtlWindowHook::DefineProperties(TFiler* Filer) {
    TComponent::DefineProperties(Filer);
    const bool IsForm = FControl != nullptr && FControl == Owner();
    Filer->DefineProperty(
        "IsForm",
        [this](TReader& Reader) {
            if (Reader.ReadBoolean())
                if (auto* Form = dynamic_cast<TWinControl*>(Owner())) SetWinControl(Form);
        },
        [](TWriter& Writer) { Writer.WriteBoolean(true); }, IsForm);
}

void RegisterWindowHookClasses() {
    if (ClassPropertiesRegistered("TCtlWindowHook")) return;
    TPublishedProperties<TCtlWindowHook>("TCtlWindowHook", "TComponent")
        .Boolean("Active", &TCtlWindowHook::Active, &TCtlWindowHook::SetActive)
        .Default(true)
        .Register();
    RegisterClass<TCtlWindowHook>("TCtlWindowHook");
}

// ---------------------------------------------------------------------------
// Start-up and shut-down

namespace {

// 16 x 16 masks: '#' black, '.' white, anything else transparent.
constexpr const char* HandShape[16] = {
    "     ##         ", "    #..#        ", "    #..#        ", "    #..#        ",
    "    #..###      ", "    #..#..###   ", "    #..#..#..## ", " ## #..#..#..#.#",
    "#..##........#.#", "#...#..........#", " #.............#", "  #............#",
    "  #...........# ", "   #..........# ", "    #........#  ", "    ##########  ",
};
constexpr const char* DragShape[16] = {
    "                ", "                ", "                ", "     ## ##      ",
    "    #..#..###   ", "    #..#..#..## ", "    #..#..#..#.#", "  ###..#..#..#.#",
    " #..#........#.#", " #.............#", "  #............#", "  #............#",
    "  #...........# ", "   #..........# ", "    #........#  ", "    ##########  ",
};

HCURSOR MakeCursor(const char* const (&Shape)[16], int HotX, int HotY) {
    std::vector<std::uint32_t> Pixels(16 * 16, 0);
    for (int Y = 0; Y < 16; ++Y)
        for (int X = 0; X < 16; ++X) {
            const char C = Shape[Y][X];
            if (C == '#') Pixels[std::size_t(Y * 16 + X)] = 0xFF000000u;
            if (C == '.') Pixels[std::size_t(Y * 16 + X)] = 0xFFFFFFFFu;
        }
    return CreateCursorFromPixels(16, 16, Pixels.data(), HotX, HotY);
}

} // namespace

void InitWindowHooks(std::string_view ShortDateFormat) {
    LongYearDateFormat = UpperCase(ShortDateFormat).find("YYYY") != std::string::npos;
    RegisterWindowHookClasses();
    if (Screen != nullptr) {
        Screen->SetCursors(crCtlHand, MakeCursor(HandShape, 5, 0));
        Screen->SetCursors(crCtlDrag, MakeCursor(DragShape, 8, 8));
    }
}

void DoneWindowHooks() {
    delete GHookList;
    GHookList = nullptr;
}

// ---------------------------------------------------------------------------
// Text routines

std::string ReplaceAll(std::string_view Text, std::string_view Search,
                       std::string_view Replacement) {
    if (Search.empty()) return std::string(Text);
    std::string R;
    std::size_t From = 0;
    for (std::size_t At; (At = Text.find(Search, From)) != std::string_view::npos;
         From = At + Search.size()) {
        R.append(Text.substr(From, At - From));
        R.append(Replacement);
    }
    R.append(Text.substr(From));
    return R;
}

std::string DeleteChars(std::string_view Text, char Ch) {
    std::string R;
    for (char C : Text)
        if (C != Ch) R += C;
    return R;
}

std::string TrimLeftSpaces(std::string_view Text) {
    const std::size_t I = Text.find_first_not_of(' ');
    return I == std::string_view::npos ? std::string() : std::string(Text.substr(I));
}

std::string TrimRightSpaces(std::string_view Text) {
    const std::size_t I = Text.find_last_not_of(' ');
    return I == std::string_view::npos ? std::string() : std::string(Text.substr(0, I + 1));
}

std::string TrimSpaces(std::string_view Text) {
    return TrimRightSpaces(TrimLeftSpaces(Text));
}

std::string RepeatChar(char Ch, int Count) {
    return Count <= 0 ? std::string() : std::string(std::size_t(Count), Ch);
}

namespace {

bool IsDelimiter(char C, std::string_view Delimiters) {
    return Delimiters.find(C) != std::string_view::npos;
}

} // namespace

int CountWords(std::string_view Text, std::string_view Delimiters) {
    int N = 0;
    bool InWord = false;
    for (char C : Text) {
        const bool D = IsDelimiter(C, Delimiters);
        if (!D && !InWord) ++N;
        InWord = !D;
    }
    return N;
}

int WordStart(int N, std::string_view Text, std::string_view Delimiters) {
    if (N <= 0) return 0;
    int Count = 0;
    bool InWord = false;
    for (std::size_t I = 0; I < Text.size(); ++I) {
        const bool D = IsDelimiter(Text[I], Delimiters);
        if (!D && !InWord && ++Count == N) return int(I) + 1;
        InWord = !D;
    }
    return 0;
}

std::string ExtractWordAt(int N, std::string_view Text, std::string_view Delimiters) {
    const int Start = WordStart(N, Text, Delimiters);
    if (Start == 0) return {};
    std::size_t End = std::size_t(Start) - 1;
    while (End < Text.size() && !IsDelimiter(Text[End], Delimiters))
        ++End;
    return std::string(Text.substr(std::size_t(Start) - 1, End - (std::size_t(Start) - 1)));
}

// ---------------------------------------------------------------------------
// Hexadecimal XOR encoding

std::string XorToHex(std::string_view Key, std::string_view Text) {
    static constexpr char Digits[] = "0123456789abcdef";
    std::string R;
    R.reserve(Text.size() * 2);
    for (std::size_t I = 0; I < Text.size(); ++I) {
        unsigned char B = static_cast<unsigned char>(Text[I]);
        if (!Key.empty()) B ^= static_cast<unsigned char>(Key[I % Key.size()]);
        R += Digits[B >> 4];
        R += Digits[B & 15];
    }
    return R;
}

namespace {

int HexDigit(char C) {
    if (C >= '0' && C <= '9') return C - '0';
    if (C >= 'a' && C <= 'f') return C - 'a' + 10;
    if (C >= 'A' && C <= 'F') return C - 'A' + 10;
    return -1;
}

} // namespace

std::string XorFromHex(std::string_view Key, std::string_view Hex) {
    std::string R;
    R.reserve(Hex.size() / 2);
    for (std::size_t I = 0; I + 1 < Hex.size(); I += 2) {
        const int Hi = HexDigit(Hex[I]);
        const int Lo = HexDigit(Hex[I + 1]);
        unsigned char B = Hi < 0 || Lo < 0 ? 32 : static_cast<unsigned char>(Hi * 16 + Lo);
        const std::size_t Index = I / 2;
        if (!Key.empty()) B ^= static_cast<unsigned char>(Key[Index % Key.size()]);
        R += static_cast<char>(B);
    }
    return R;
}

// ---------------------------------------------------------------------------
// Bitmap resources

namespace {

std::string NameKey(const std::string& Name) {
    return UpperCase(Name);
}
std::string IdKey(int Id) {
    return "#" + std::to_string(Id);
}

std::unique_ptr<TBitmap> MakeBitmap(const TResourceModule* Module, const std::string& Key,
                                    const std::string& Shown) {
    const TResourceModule::TBitmapFactory* F =
        Module != nullptr ? Module->FindBitmap(Key) : nullptr;
    std::unique_ptr<TBitmap> B = F != nullptr && *F ? (*F)() : nullptr;
    if (!B) throw EResNotFound(Format("Ressource %s non trouvée", {Shown}));
    return B;
}

} // namespace

void TResourceModule::AddBitmap(const std::string& Name, TBitmapFactory Factory) {
    FBitmaps[NameKey(Name)] = std::move(Factory);
}

void TResourceModule::AddBitmap(int Id, TBitmapFactory Factory) {
    FBitmaps[IdKey(Id)] = std::move(Factory);
}

const TResourceModule::TBitmapFactory* TResourceModule::FindBitmap(const std::string& Key) const {
    auto It = FBitmaps.find(Key);
    return It == FBitmaps.end() ? nullptr : &It->second;
}

std::unique_ptr<TBitmap> CreateModuleBitmap(const TResourceModule* Module,
                                            const std::string& Name) {
    return MakeBitmap(Module, NameKey(Name), Name);
}

std::unique_ptr<TBitmap> CreateModuleBitmap(const TResourceModule* Module, int Id) {
    return MakeBitmap(Module, IdKey(Id), std::to_string(Id));
}

std::unique_ptr<TBitmap> LoadModuleBitmap(const TResourceModule* Module, const std::string& Name) {
    try {
        return CreateModuleBitmap(Module, Name);
    } catch (const Exception&) {
        return nullptr;
    }
}

std::unique_ptr<TBitmap> LoadModuleBitmap(const TResourceModule* Module, int Id) {
    try {
        return CreateModuleBitmap(Module, Id);
    } catch (const Exception&) {
        return nullptr;
    }
}
