#include "banner/Templates.h"

#include <algorithm>

#include "platform/base/FileNames.h"
#include "platform/graphics/Graphic.h"

namespace {

const TTemplateFamily Families[4] = {
    {"B", "b-", 46, 468, 60, 467, 59, {3, 7, 9, 10, 15, 16, 32, 33, 43}},
    {"DB", "hb-", 10, 234, 60, 233, 59, {5, 6}},
    {"GR", "gr-", 10, 300, 250, 299, 249, {5, 6}},
    {"LB", "lb-", 10, 728, 90, 727, 89, {5, 6}},
};

bool Inside(const TBitmap32& B, int X, int Y) {
    return !B.Empty() && X >= 0 && Y >= 0 && X < B.Width() && Y < B.Height();
}

// A file the registry cannot read counts as missing: templates are our own
// data and a damaged one must not stop a document from opening.
bool LoadPicture(TBitmap32& Target, const std::string& FileName) {
    InitGraphicsModule(); // the picture registry; starting it twice is harmless
    try {
        Target.LoadFromPictureFile(FileName);
        return true;
    } catch (const Exception&) {
        Target.Delete();
        return false;
    }
}

} // namespace

const TTemplateFamily* TemplateFamily(int BannerFormat) {
    if (BannerFormat < 0 || BannerFormat > 3) return nullptr;
    return &Families[BannerFormat];
}

std::vector<std::string> TemplateNames(int BannerFormat) {
    std::vector<std::string> Names;
    if (const TTemplateFamily* F = TemplateFamily(BannerFormat)) {
        for (int N = 1; N <= F->Count; ++N)
            Names.push_back(F->ListPrefix + std::to_string(N));
    }
    return Names;
}

std::string TemplateFileName(const TTemplateFamily& Family, int N) {
    return Family.FilePrefix + std::to_string(N) + ".bmp";
}

bool TemplateCustomizable(int BannerFormat, int N) {
    const TTemplateFamily* F = TemplateFamily(BannerFormat);
    return F && std::find(F->Fixed.begin(), F->Fixed.end(), N) == F->Fixed.end();
}

std::string DefaultTemplateFolder() {
    return ApplicationFolder() + "Back" + PathDelim;
}

void TTemplateModel::FillTemplateList(int Format) {
    BannerFormat = Format;
    list = TemplateNames(Format);
}

void TTemplateModel::FormCreate() {
    ItemIndex = 0;
    listClick();
}

void TTemplateModel::listClick() {
    tx.Delete();
    const TTemplateFamily* Own = TemplateFamily(BannerFormat);
    if (!Own || ItemIndex < 0 || ItemIndex >= static_cast<int>(list.size())) return;
    const int N = ItemIndex + 1;
    const std::string Folder = IncludeTrailingPathDelimiter(BackFolder);

    // Every format but the standard one previews the half-banner picture.
    const TTemplateFamily& Preview = BannerFormat == bfStandard ? Families[0] : Families[1];
    const std::string PreviewFile = Folder + TemplateFileName(Preview, N);
    if (!FileExists(PreviewFile)) return;
    LoadPicture(shown, PreviewFile);

    const std::string OwnFile = Folder + TemplateFileName(*Own, N);
    if (!FileExists(OwnFile) || !LoadPicture(tx, OwnFile)) return;
    PanVisible = TemplateCustomizable(BannerFormat, N);
    if (KeyPixel(FLoadedKey)) cp1 = ToWinColor(FLoadedKey);
    FLoadedTx.Assign(&tx);
    FLoadedShown.Assign(&shown);
}

void TTemplateModel::BeginEdit() {
    SavedIndex = ItemIndex;
    SavedColor = cp1;
}

void TTemplateModel::AcceptEdit(TBannerDocument& Document) {
    if (tx.Empty()) {
        Document.Tex.Delete();
    } else {
        Document.Tex.Assign(&tx);
    }
    Document.TemplateNumber = ItemIndex;
    Document.cp1 = cp1;
    Document.BackgroundKind = bgTemplate;
    Document.RedrawDone(false);
    Document.Changed();
}

void TTemplateModel::CancelEdit() {
    ItemIndex = SavedIndex;
    listClick();
    cp1 = SavedColor;
    cp1Change();
}

bool TTemplateModel::KeyPixel(TColor32& Out) const {
    const TTemplateFamily* F = TemplateFamily(BannerFormat);
    // The key pixel is fixed by the format; a smaller picture has none.
    if (!F || !Inside(tx, F->KeyX, F->KeyY)) return false;
    Out = tx.ReadPixel(F->KeyX, F->KeyY);
    return true;
}

void TTemplateModel::cp1Change() {
    TColor32 Key;
    if (!KeyPixel(Key)) return;
    const TColor32 NewColor = TBannerDocument::ColorToColor32(cp1);
    tx.Assign(&FLoadedTx);
    shown.Assign(&FLoadedShown);
    ReplaceColor32(tx, FLoadedKey, NewColor);
    ReplaceColor32(shown, FLoadedKey, NewColor);
}

void ReplaceColor32(TBitmap32& Bitmap, TColor32 From, TColor32 To) {
    if (Bitmap.Empty()) return;
    TColor32* P = Bitmap.Bits();
    const std::size_t Count = std::size_t(Bitmap.Width()) * std::size_t(Bitmap.Height());
    for (std::size_t I = 0; I < Count; ++I) {
        if (P[I] == From) P[I] = To;
    }
    Bitmap.Changed();
}

std::function<void(TBannerDocument&)> MakeTemplateLoader(std::shared_ptr<TTemplateModel> Model) {
    return [Model](TBannerDocument& D) {
        Model->FillTemplateList(D.BannerFormat);
        Model->ItemIndex = D.TemplateNumber;
        Model->listClick();
        if (Model->tx.Empty()) {
            D.Tex.Delete();
        } else {
            D.Tex.Assign(&Model->tx);
            D.cp1 = Model->cp1;
        }
    };
}

void RecolorDocumentTemplate(TBannerDocument& Document) {
    const TTemplateFamily* F = TemplateFamily(Document.BannerFormat);
    if (!F || !Inside(Document.Tex, F->KeyX, F->KeyY)) return;
    ReplaceColor32(Document.Tex, Document.Tex.ReadPixel(F->KeyX, F->KeyY),
                   TBannerDocument::ColorToColor32(Document.cp1));
}
