#pragma once
// The create-from-example dialog (TExamplesform) and the set-up of a banner
// from one of the examples shipped beside the program.
//
// Examples live in one folder (ExamplesFolder, by default "Examples/" beside
// the executable): standard-format ones at its top, the other formats in DB,
// GR and LB; each has a GIF preview and a qmkf document. The dialog lists
// them, plays the chosen preview in `image` and answers the choice; the
// model side (NewBannerFromExample) sets the document up from the chosen
// file. The main window does the window side of the command.
#include <functional>
#include <memory>
#include <string>

#include "editor/GifImageTarget.h"
#include "platform/base/Types.h"
#include "platform/forms/Forms.h"

class TBannerDocument;
struct TBannerFileRecord;
class TButton;
class TComboBox;
class TCtlSpinEdit;
class TDocumentCommands;
class TEdit;
class TGIFImage;
class TGIFPainter;
class TImage32;
class TLabel;
class TListBox;
class TPanel;
class TScrollBox;
class TTimer;

constexpr const char* MissingExampleMessage =
    "Le fichier de l'exemple choisi n'existe pas. Veuillez réinstaller l'application pour "
    "résoudre le problème.";

// The default folder of the examples: "Examples/" beside the executable.
std::string DefaultExamplesFolder();
// The composition an entry of Models stands for: row 0 gives 1, row 1 gives
// 3 (composition 2 has no examples); 0 for any other row.
int ExampleComposition(int ModelsRow);
// Examples a format row offers: 10 for the standard format, 2 for the others
// (0 outside 0..3).
int ExampleCount(int FormatRow);
// The banner size of a format row (468 x 60 for a row outside 0..3).
TSize ExampleFormatSize(int FormatRow);
// The preview and the document of example Number (from 1) of composition
// Composition in format row FormatRow; Folder ends with '/'. Empty for a
// format row outside 0..3.
std::string ExamplePreviewPath(const std::string& Folder, int FormatRow, int Composition,
                               int Number);
std::string ExampleDocumentPath(const std::string& Folder, int FormatRow, int Composition,
                                int Number);

// What the dialog answers.
struct TExampleChoice {
    std::string Name = "sans_nom"; // Bnedit
    int ModelsRow = 0;
    int FormatRow = 0;
    int ExampleRow = 0;
    int Width = 468;
    int Height = 60;
    std::string Folder; // empty: DefaultExamplesFolder()
};

// Sets Document up from an example's record: texts, images, background,
// border, positions and animation settings, the composition stored in the
// record deciding the elements. Every colour text is converted first: a bad
// one raises EConvertError and nothing changes. Value3Position and the fourth
// AutoPositions entry are not taken; FirstTextEffect becomes 0; a background
// kind outside 1..4 leaves the present one. Does not fire OnChange.
void LoadExampleRecord(TBannerDocument& Document, const TBannerFileRecord& Record);

// The model side of the command once the dialog said OK and unsaved changes
// were dealt with: a new banner named Choice.Name of the chosen composition
// and size, set up from the example document. A missing document is reported
// (warning, through the dialog service) and the composition's defaults are
// used. Whatever the example stored, the loop, transition, speed and text
// positions come back to their defaults. The document is then unmodified and
// never saved. Raises EConvertError (bad colour) or EReadError (a document
// too short to hold its record) before changing anything.
// Returns false when the example document was missing.
bool NewBannerFromExample(TBannerDocument& Document, const TExampleChoice& Choice);

class TExamplesform : public TForm {
public:
    QM_CLASSNAME(TExamplesform)
    explicit TExamplesform(TComponent* AOwner);
    ~TExamplesform() override;

    TLabel* Label1;
    TEdit* Bnedit;
    TLabel* Label2;
    TListBox* Models;
    TLabel* Label3;
    TComboBox* formatcombo;
    TLabel* Label4;
    TListBox* Exlist;
    TLabel* Label5;
    TLabel* Label6;
    TScrollBox* ScrollBox1;
    TImage32* image;
    TPanel* pan;
    TLabel* Label7;
    TCtlSpinEdit* bannerwidth;
    TCtlSpinEdit* bannerheight;
    TTimer* Timer1;
    TButton* OKBtn;
    TButton* CancelBtn;

    // Where the examples are looked for (ends with '/'); setting it does not
    // refresh the preview.
    const std::string& ExamplesFolder() const { return FExamplesFolder; }
    void SetExamplesFolder(const std::string& Folder);

    // Format selection: refills Exlist, sets the size edits, previews.
    void formatcomboChange(TObject* Sender);
    // Example selection (Exlist and Models clicks): plays the preview, or
    // clears it when the file is missing or unreadable.
    void ExlistClick(TObject* Sender);
    void FormShow(TObject* Sender);
    void Timer1Timer(TObject* Sender);
    // What the command does before showing the dialog: first composition,
    // first example, preview.
    void PrepareForShow();

    // The command: prepares and shows the dialog; on OK, a modified banner
    // is first offered for saving (AskSaveChanges; Cancel ends the command),
    // then NewBannerFromExample runs. Returns the dialog's modal result, or
    // mrCancel when the save question was cancelled. The main window then does
    // its own part (panels, buttons, editors) when mrOk comes back.
    TModalResult Execute(TBannerDocument& Document, TDocumentCommands& Commands);

    int Composition() const;
    std::string PreviewPath() const;
    TExampleChoice Choice() const;

    // The preview playing (nullptr when none) and its painter while it runs.
    TGIFImage* PreviewGIF() const { return FGif.get(); }
    TGIFPainter* PreviewPainter() const { return FPlayer.Painter(); }

    // The main window's part of showing: focus its checked background kind,
    // hide its balloon.
    std::function<void()> OnFocusBackgroundKind;
    std::function<void()> OnHideBalloon;

private:
    void ClearPreview();

    std::string FExamplesFolder;
    std::unique_ptr<TGIFImage> FGif;
    TGIFPlayer FPlayer; // after FGif: stopped before the GIF goes
};
