#include "editor/UExamples.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "banner/BannerDocument.h"
#include "banner/DocumentCommands.h"
#include "banner/DocumentFile.h"
#include "banner/Templates.h"
#include "controls/SpinEdit.h"
#include "editor/GifImageTarget.h"
#include "gif/GifImage.h"
#include "gif/GifPainter.h"
#include "platform/base/Convert.h"
#include "platform/base/Exception.h"
#include "platform/base/FileNames.h"
#include "platform/classes/Stream.h"
#include "platform/forms/ComCtrls.h"
#include "platform/forms/Dialogs.h"
#include "platform/forms/ExtCtrls.h"
#include "platform/forms/StdCtrls.h"
#include "platform/forms/Timer.h"
#include "platform/graphics/Graphic.h"
#include "raster/RasterImage.h"

// ------------------------------------------------------------------ paths

namespace {

// The subfolder and name prefix of each format row's examples.
struct TExampleFormat {
    const char* Folder;
    const char* Prefix;
    int Width;
    int Height;
    int Count;
};

constexpr std::array<TExampleFormat, 4> ExampleFormats{{
    {"", "", 468, 60, 10},
    {"DB/", "DB-", 234, 60, 2},
    {"GR/", "GR-", 300, 250, 2},
    {"LB/", "LB-", 728, 90, 2},
}};

std::string ExampleBase(const std::string& Folder, int FormatRow, int Composition, int Number) {
    if (FormatRow < 0 || FormatRow >= int(ExampleFormats.size())) return {};
    const TExampleFormat& F = ExampleFormats[std::size_t(FormatRow)];
    return Folder + F.Folder + F.Prefix + "E" + IntToStr(Composition) + "-" + IntToStr(Number);
}

} // namespace

std::string DefaultExamplesFolder() {
    return ApplicationFolder() + "Examples/";
}

int ExampleComposition(int ModelsRow) {
    if (ModelsRow == 0) return ckOneText;
    if (ModelsRow == 1) return ckTwoTexts;
    return ckNone;
}

int ExampleCount(int FormatRow) {
    if (FormatRow < 0 || FormatRow >= int(ExampleFormats.size())) return 0;
    return ExampleFormats[std::size_t(FormatRow)].Count;
}

TSize ExampleFormatSize(int FormatRow) {
    if (FormatRow < 0 || FormatRow >= int(ExampleFormats.size())) return {468, 60};
    const TExampleFormat& F = ExampleFormats[std::size_t(FormatRow)];
    return {F.Width, F.Height};
}

std::string ExamplePreviewPath(const std::string& Folder, int FormatRow, int Composition,
                               int Number) {
    std::string Base = ExampleBase(Folder, FormatRow, Composition, Number);
    return Base.empty() ? Base : Base + ".gif";
}

std::string ExampleDocumentPath(const std::string& Folder, int FormatRow, int Composition,
                                int Number) {
    std::string Base = ExampleBase(Folder, FormatRow, Composition, Number);
    return Base.empty() ? Base : Base + "." + BannerFileExtension;
}

// ------------------------------------------------------------- model side

namespace {

// The example document as read: its record and its four pictures.
struct TExampleFile {
    TBannerFileRecord Record;
    std::array<TBitmap32, 4> Pictures; // Image1, extimage, Extimage1, extimage2
};

void ReadExampleFile(const std::string& FileName, TExampleFile& File) {
    TFileStream S(FileName, fmOpenRead | fmShareDenyWrite);
    if (std::uint64_t(S.Size()) > MaxBannerFileSize) throw EReadError("Stream read error");
    // The version is not checked: the examples ship with the program.
    std::int32_t Version = 0;
    S.ReadBuffer(&Version, sizeof(Version));
    S.ReadBuffer(&File.Record, sizeof(File.Record));
    InitGraphicsModule();
    for (TBitmap32& Picture : File.Pictures)
        ReadBannerPicture(S, Picture);
}

} // namespace

void LoadExampleRecord(TBannerDocument& D, const TBannerFileRecord& R) {
    // Colours first, so that a bad one leaves the document as it was.
    const TBannerRecordColors Colors = ReadRecordColors(R);
    ApplyBannerRecord(D, R, Colors);
    // What an example takes differently from an opened document: no external
    // picture, no third value's position, no first-text effect, and the
    // template is loaded and recoloured here.
    if (R.BackgroundKind >= bgColor && R.BackgroundKind <= bgComposed)
        D.BackgroundKind = TBackgroundKind(R.BackgroundKind);
    for (int k = 0; k < 3; ++k)
        D.AutoPositions[std::size_t(k)] = R.AutoPositions[k];
    D.FirstTextEffect = teNone;
    D.LoadTemplate();
    D.cp1 = Colors.cp1;
    RecolorDocumentTemplate(D);
}

bool NewBannerFromExample(TBannerDocument& D, const TExampleChoice& Choice) {
    const std::string Folder = Choice.Folder.empty() ? DefaultExamplesFolder() : Choice.Folder;
    const int Composition = ExampleComposition(Choice.ModelsRow);
    const std::string FileName =
        ExampleDocumentPath(Folder, Choice.FormatRow, Composition, Choice.ExampleRow + 1);

    // The file is read whole before the document changes, so that a broken
    // example leaves the open banner intact.
    const bool Present = !FileName.empty() && FileExists(FileName);
    auto File = std::make_unique<TExampleFile>();
    if (Present) {
        ReadExampleFile(FileName, *File);
        ReadRecordColors(File->Record);
    }

    D.FileName = Choice.Name;
    D.Composition = TCompositionKind(Composition);
    D.tlv.clear();
    D.ilv.clear();
    D.BannerWidth = Choice.Width;
    D.BannerHeight = Choice.Height;
    D.BannerFormat = std::uint8_t(std::clamp(Choice.FormatRow, 0, 255));

    if (Present) {
        D.Image1.Assign(&File->Pictures[0]);
        D.extimage.Assign(&File->Pictures[1]);
        D.Extimage1.Assign(&File->Pictures[2]);
        D.extimage2.Assign(&File->Pictures[3]);
        LoadExampleRecord(D, File->Record);
    } else {
        MessageDlg(MissingExampleMessage, mtWarning, {mbOK}, 0);
        if (D.Composition == ckOneText)
            D.SetUpComposition1();
        else
            D.SetUpComposition3();
    }

    D.SelectedText = 0;
    D.SelectedImage = 0;
    D.SelectedValue = 0;
    D.effectcombo = trNone;

    D.AutoPositions = {1, 1, 1, 1};
    D.ResetAnimationSettings();
    D.custom = false;
    D.TextPositions = {};
    D.Value3Position = {};

    D.ExtImageFileName.clear();
    D.extimage.Delete();
    D.SavedBefore = false;
    D.Modified = false;
    D.Changed();
    return Present;
}

// ----------------------------------------------------------------- dialog

TExamplesform::TExamplesform(TComponent* AOwner)
    : TForm(AOwner), FExamplesFolder(DefaultExamplesFolder()) {
    SetName("Examplesform");
    SetCaption("Créer à partir d'un exemple");
    SetBorderStyle(bsDialog);
    SetPosition(poMainFormCenter);
    SetClientWidth(640);
    SetClientHeight(440);

    auto Own = [this](auto* Control, const std::string& Name, int L, int T, int W, int H,
                      TWinControl* Parent) {
        Control->SetName(Name);
        Control->SetParent(Parent);
        Control->SetBounds(L, T, W, H);
        return Control;
    };
    auto Label = [&](const std::string& Name, const std::string& Caption, int L, int T,
                     TWinControl* Parent) {
        TLabel* Result = Own(new TLabel(this), Name, L, T, 200, 13, Parent);
        Result->SetCaption(Caption);
        return Result;
    };

    Label1 = Label("Label1", "Nom :", 8, 8, this);
    Bnedit = Own(new TEdit(this), "Bnedit", 8, 24, 190, 21, this);
    Bnedit->SetText("sans_nom");

    Label2 = Label("Label2", "Composition :", 8, 54, this);
    Models = Own(new TListBox(this), "Models", 8, 70, 190, 40, this);
    Models->Items()->Add("Composition 1:       1 Texte");
    Models->Items()->Add("Composition 3:       2 Textes ");
    Models->SetItemIndex(0);
    Models->OnClick = [this](TObject* Sender) { ExlistClick(Sender); };

    Label3 = Label("Label3", "Format :", 8, 118, this);
    formatcombo = Own(new TComboBox(this), "formatcombo", 8, 134, 190, 21, this);
    formatcombo->SetStyle(csDropDownList);
    formatcombo->Items()->Add("Standard (468x60)");
    formatcombo->Items()->Add("Demi-bannière (234 x 60)");
    formatcombo->Items()->Add("Grand rectangle (300 x 250)");
    formatcombo->Items()->Add("Grande bannière (728 x 90)");
    formatcombo->SetItemIndex(0);
    formatcombo->OnChange = [this](TObject* Sender) { formatcomboChange(Sender); };

    Label4 = Label("Label4", "Exemple :", 8, 164, this);
    Exlist = Own(new TListBox(this), "Exlist", 8, 180, 190, 150, this);
    Exlist->OnClick = [this](TObject* Sender) { ExlistClick(Sender); };

    pan = Own(new TPanel(this), "pan", 8, 336, 190, 50, this);
    pan->SetCaption("");
    Label7 = Label("Label7", "Taille :", 4, 4, pan);
    bannerwidth = Own(new TCtlSpinEdit(this), "bannerwidth", 4, 22, 80, 21, pan);
    bannerheight = Own(new TCtlSpinEdit(this), "bannerheight", 96, 22, 80, 21, pan);

    Label5 = Label("Label5", "Aperçu :", 210, 8, this);
    Label6 = Label("Label6", "(pour les grands formats l'aperçu est minimisé)", 270, 8, this);
    Label6->SetWidth(360);
    ScrollBox1 = Own(new TScrollBox(this), "ScrollBox1", 210, 24, 422, 362, this);
    image = Own(new TImage32(this), "image", 0, 0, 418, 358, ScrollBox1);
    // Large formats are shrunk to fit; small ones keep their pixels.
    image->SetScaleMode(smOptimal);
    image->SetBitmapAlign(baCenter);

    Timer1 = new TTimer(this);
    Timer1->SetName("Timer1");
    Timer1->SetEnabled(false);
    Timer1->SetInterval(600);
    Timer1->OnTimer = [this](TObject* Sender) { Timer1Timer(Sender); };

    OKBtn = Own(new TButton(this), "OKBtn", 456, 400, 85, 27, this);
    OKBtn->SetCaption("&OK");
    OKBtn->SetModalResult(mrOk);
    OKBtn->SetDefault(true);
    CancelBtn = Own(new TButton(this), "CancelBtn", 548, 400, 85, 27, this);
    CancelBtn->SetCaption("&Annuler");
    CancelBtn->SetModalResult(mrCancel);
    CancelBtn->SetCancel(true);

    OnShow = [this](TObject* Sender) { FormShow(Sender); };

    formatcomboChange(this);
}

TExamplesform::~TExamplesform() {
    ClearPreview();
}

void TExamplesform::SetExamplesFolder(const std::string& Folder) {
    FExamplesFolder = Folder;
    if (!FExamplesFolder.empty() && FExamplesFolder.back() != '/') FExamplesFolder += '/';
}

void TExamplesform::formatcomboChange(TObject*) {
    const int Row = formatcombo->ItemIndex();
    // The size panel serves a custom format, which this list does not offer.
    pan->SetVisible(false);
    Exlist->Items()->Clear();
    const int Count = ExampleCount(Row);
    for (int n = 1; n <= Count; ++n)
        Exlist->Items()->Add("Exemple " + IntToStr(n));
    Exlist->SetItemIndex(0);
    bannerwidth->SetEnabled(false);
    bannerheight->SetEnabled(false);
    const TSize Size = ExampleFormatSize(Row);
    bannerwidth->SetIntegerValue(Size.cx);
    bannerheight->SetIntegerValue(Size.cy);
    ExlistClick(this);
}

int TExamplesform::Composition() const {
    return ExampleComposition(Models->ItemIndex());
}

std::string TExamplesform::PreviewPath() const {
    return ExamplePreviewPath(FExamplesFolder, formatcombo->ItemIndex(), Composition(),
                              Exlist->ItemIndex() + 1);
}

TExampleChoice TExamplesform::Choice() const {
    TExampleChoice C;
    C.Name = Bnedit->Text();
    C.ModelsRow = Models->ItemIndex();
    C.FormatRow = formatcombo->ItemIndex();
    C.ExampleRow = Exlist->ItemIndex();
    C.Width = int(bannerwidth->GetIntegerValue());
    C.Height = int(bannerheight->GetIntegerValue());
    C.Folder = FExamplesFolder;
    return C;
}

void TExamplesform::ClearPreview() {
    FPlayer.Stop();
    FGif.reset();
}

void TExamplesform::ExlistClick(TObject*) {
    ClearPreview();
    const std::string Path = PreviewPath();
    if (!Path.empty() && FileExists(Path)) {
        auto Gif = std::make_unique<TGIFImage>();
        try {
            Gif->LoadFromFile(Path);
        } catch (const Exception&) {
            // A damaged preview shows as a missing one: it is only a preview.
            Gif.reset();
        }
        if (Gif && !Gif->Empty()) {
            FGif = std::move(Gif);
            FPlayer.Play(*FGif, image);
            return;
        }
    }
    image->Bitmap()->Delete();
    image->Changed();
}

void TExamplesform::FormShow(TObject*) {
    if (OnFocusBackgroundKind) OnFocusBackgroundKind();
    Timer1->SetEnabled(true);
    if (OnHideBalloon) OnHideBalloon();
}

void TExamplesform::Timer1Timer(TObject*) {
    Timer1->SetEnabled(false);
}

void TExamplesform::PrepareForShow() {
    Models->SetItemIndex(0);
    Exlist->SetItemIndex(0);
    ExlistClick(this);
}

TModalResult TExamplesform::Execute(TBannerDocument& Document, TDocumentCommands& Commands) {
    PrepareForShow();
    const TModalResult Result = ShowModal();
    ClearPreview();
    if (Result != mrOk) return Result;
    if (Document.Modified) {
        bool Abort = false;
        Commands.AskSaveChanges(Abort);
        if (Abort) return mrCancel;
    }
    NewBannerFromExample(Document, Choice());
    return mrOk;
}
