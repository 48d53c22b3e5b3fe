#include "platform/forms/Screen.h"

#include "platform/base/Exception.h"
#include "platform/forms/QtBridge.h"

#include <algorithm>
#include <mutex>
#include <unordered_map>

namespace {

struct TCursorTable {
    std::mutex Lock;
    std::unordered_map<std::uintptr_t, TCursorImage> Images;
    std::uintptr_t Next = 0x1000;
};

TCursorTable& Cursors() {
    static TCursorTable* T = new TCursorTable;
    return *T;
}

} // namespace

HCURSOR SystemCursor(TCursor Shape) {
    if (Shape > crDefault || Shape < crSizeAll) Shape = crArrow;
    // Predefined cursors have fixed small handles: 1 + the negated index.
    return reinterpret_cast<HCURSOR>(std::uintptr_t(1 - Shape));
}

HCURSOR CreateCursorFromPixels(int Width, int Height, const std::uint32_t* Pixels, int HotX,
                               int HotY) {
    if (Pixels == nullptr || Width < 1 || Height < 1 || Width > 256 || Height > 256) return nullptr;
    TCursorImage Image;
    Image.Width = Width;
    Image.Height = Height;
    Image.HotX = std::clamp(HotX, 0, Width - 1);
    Image.HotY = std::clamp(HotY, 0, Height - 1);
    Image.Pixels.assign(Pixels, Pixels + std::size_t(Width) * std::size_t(Height));
    TCursorTable& T = Cursors();
    std::lock_guard<std::mutex> Guard(T.Lock);
    const std::uintptr_t H = T.Next++;
    T.Images.emplace(H, std::move(Image));
    return reinterpret_cast<HCURSOR>(H);
}

bool GetCursorImage(HCURSOR Cursor, TCursorImage& Image) {
    const auto H = reinterpret_cast<std::uintptr_t>(Cursor);
    if (H >= 1 && H <= 1 - std::uintptr_t(std::intptr_t(crSizeAll))) {
        Image = TCursorImage{};
        Image.Shape = TCursor(1 - std::intptr_t(H));
        return true;
    }
    TCursorTable& T = Cursors();
    std::lock_guard<std::mutex> Guard(T.Lock);
    auto It = T.Images.find(H);
    if (It == T.Images.end()) return false;
    Image = It->second;
    return true;
}

TScreen::TScreen(TComponent* AOwner) : TComponent(AOwner) {
    FMenuFont.SetName("Tahoma");
    FHintFont.SetName("Tahoma");
    FIconFont.SetName("Tahoma");
}

TScreen::~TScreen() = default;

int TScreen::Width() const {
    return BridgeScreenRect(false).Width();
}
int TScreen::Height() const {
    return BridgeScreenRect(false).Height();
}
TRect TScreen::WorkAreaRect() const {
    return BridgeScreenRect(true);
}

TCustomForm* TScreen::Forms(int Index) const {
    if (Index < 0 || Index >= FormCount())
        throw EListError("List index out of bounds (" + std::to_string(Index) + ")");
    return FForms[std::size_t(Index)];
}

void TScreen::AddForm(TCustomForm* Form) {
    FForms.push_back(Form);
}

void TScreen::RemoveForm(TCustomForm* Form) {
    std::erase(FForms, Form);
    if (FActiveForm == Form) FActiveForm = nullptr;
}

void TScreen::SetCursor(TCursor Value) {
    if (Value == FCursor) return;
    FCursor = Value;
    BridgeSetOverrideCursor(Value);
}

HCURSOR TScreen::Cursors(int Index) const {
    for (const auto& [I, H] : FCursors)
        if (I == Index) return H;
    return SystemCursor(Index <= crDefault && Index >= crSizeAll ? TCursor(Index) : crArrow);
}

void TScreen::SetCursors(int Index, HCURSOR Handle) {
    for (auto& Entry : FCursors)
        if (Entry.first == Index) {
            Entry.second = Handle;
            return;
        }
    FCursors.emplace_back(Index, Handle);
}

TStrings* TScreen::Fonts() {
    if (!FFonts) {
        FFonts = std::make_unique<TStringList>();
        for (const std::string& Family : BridgeFontFamilies())
            FFonts->Add(Family);
        FFonts->SetSorted(true);
    }
    return FFonts.get();
}
