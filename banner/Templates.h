#pragma once
// Background templates: the pictures in the folder Back beside the
// executable, listed per banner format, each with one recolourable key
// colour read from a fixed pixel. TTemplateModel is the model side of the
// template dialog: it owns the list, the working picture tx (recoloured and
// handed to the document's Tex) and the shown preview. A missing file leaves
// the pictures empty and reports nothing.
#include <memory>
#include <string>
#include <vector>

#include "banner/BannerDocument.h"
#include "platform/graphics/Colors.h"
#include "raster/RasterCore.h"

// One family of templates: the templates of one banner format.
struct TTemplateFamily {
    const char* ListPrefix; // list entries: prefix + 1..Count
    const char* FilePrefix; // file "Back/<FilePrefix><n>.bmp"
    int Count;
    int Width, Height;      // the format's standard size
    int KeyX, KeyY;         // the key pixel: bottom-right of the standard size
    std::vector<int> Fixed; // template numbers (1-based) that cannot be customised
};

// nullptr for a format outside 0..3.
const TTemplateFamily* TemplateFamily(int BannerFormat);
// The list entries of a format ("B1".."B46"...); empty for any other format.
std::vector<std::string> TemplateNames(int BannerFormat);
// "b-7.bmp": the file name of template N (1-based) of a family, no folder.
std::string TemplateFileName(const TTemplateFamily& Family, int N);
// Whether template N (1-based) of the format may be recoloured.
bool TemplateCustomizable(int BannerFormat, int N);
// The folder the editor ships its templates in: ApplicationFolder() + "Back/".
std::string DefaultTemplateFolder();

class TTemplateModel {
public:
    static constexpr const char* DialogCaption = "Modèle d'arrière-plan";
    static constexpr const char* NotCustomizableText = "Ce modèle ne peut être personnalisé.";

    // Folder of the template files, with a trailing delimiter; tests point
    // it elsewhere.
    std::string BackFolder = DefaultTemplateFolder();
    int BannerFormat = 0;

    std::vector<std::string> list;
    int ItemIndex = -1;
    TBitmap32 tx;           // the working picture
    TBitmap32 shown;        // the preview
    TColor cp1 = clWhite;   // key colour
    TColor cp2 = clBlack;   // front colour (no effect of its own)
    bool PanVisible = true; // customisation panel

    // Clears list and fills it with the names of Format's family.
    void FillTemplateList(int Format);
    // Loads template ItemIndex + 1 into shown and tx and takes cp1 from the
    // key pixel. An index outside the list counts as a missing file.
    void listClick();
    // Gives cp1 to every pixel of tx and shown that held the key colour
    // when the template was loaded. Always from the loaded pictures: a key
    // colour that meets another colour of the template never takes those
    // pixels along, so the picture is what the template number and the key
    // colour alone (all a document keeps) give back when it is opened.
    void cp1Change();
    // The front colour re-runs the recolouring with cp1.
    void cp2Change() { cp1Change(); }
    // "Rétablir": the template with its own colours.
    void dxButton1Click() { listClick(); }
    // Item 0, then loading.
    void FormCreate();

    // The main window's "Modifier" command: Begin remembers the item index
    // and cp1 before the dialog shows; Accept (OK) copies tx into the
    // document's Tex with the template number and key colour, selects the
    // template background and redraws; Cancel reloads the remembered
    // template and puts the remembered key colour back on it.
    void BeginEdit();
    void AcceptEdit(TBannerDocument& Document);
    void CancelEdit();

    // The key pixel of the current format inside tx, or false when tx does
    // not reach it.
    bool KeyPixel(TColor32& Out) const;

private:
    int SavedIndex = 0;
    TColor SavedColor = clWhite;
    // The pictures as loaded, and their key colour.
    TBitmap32 FLoadedTx;
    TBitmap32 FLoadedShown;
    TColor32 FLoadedKey = 0;
};

// Replaces every pixel of Bitmap equal to From (all four bytes) by To.
void ReplaceColor32(TBitmap32& Bitmap, TColor32 From, TColor32 To);

// A document's template loader bound to Model: refills the list for the
// document's format, loads template TemplateNumber and copies tx into Tex
// and the key colour into cp1.
std::function<void(TBannerDocument&)> MakeTemplateLoader(std::shared_ptr<TTemplateModel> Model);

// Recolours the document's Tex from the key pixel of its format to the
// document's cp1 (after the reader has put back the stored key colour).
void RecolorDocumentTemplate(TBannerDocument& Document);
