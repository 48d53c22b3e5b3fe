#include "editor/ULoadImage.h"

#include "editor/BuiltinPictures.h"

#include "platform/base/Exception.h"
#include "platform/forms/Application.h"
#include "platform/forms/ComCtrls.h"
#include "platform/forms/Dialogs.h"
#include "platform/forms/StdCtrls.h"
#include "platform/graphics/Clipboard.h"
#include "platform/graphics/Graphic.h"
#include "raster/RasterCore.h"
#include "raster/RasterImage.h"

namespace {

template <class T>
T* Make(TComponent* Owner, TWinControl* Parent, const char* Name, int Left, int Top, int Width,
        int Height) {
    T* C = new T(Owner);
    C->SetName(Name);
    C->SetParent(Parent);
    C->SetBounds(Left, Top, Width, Height);
    return C;
}

} // namespace

TLoadform::TLoadform(TComponent* AOwner) : TForm(AOwner) {
    SetName("Loadform");
    SetCaption("Charger image");
    SetBorderStyle(bsDialog);
    SetPosition(poScreenCenter);
    SetClientWidth(452);
    SetClientHeight(336);

    ScrollBox1 = Make<TScrollBox>(this, this, "ScrollBox1", 8, 8, 320, 320);
    // The picture's field shows even while it holds no picture.
    ScrollBox1->SetParentColor(false);
    ScrollBox1->SetColor(clWindow);
    Im = Make<TImage32>(this, ScrollBox1, "Im", 0, 0, 316, 316);
    Im->SetAutoSize(true);

    GroupBox1 = Make<TGroupBox>(this, this, "GroupBox1", 336, 8, 108, 160);
    const char* Captions[] = {"&Charger", "&Effacer", "Co&ller", "C&opier"};
    TButton** Buttons[] = {&Button1, &Button2, &Button3, &Button4};
    for (int i = 0; i < 4; ++i) {
        const std::string Name = "Button" + std::to_string(i + 1);
        *Buttons[i] = Make<TButton>(this, GroupBox1, Name.c_str(), 12, 24 + 32 * i, 84, 25);
        (*Buttons[i])->SetCaption(Captions[i]);
    }
    Button1->OnClick = [this](TObject* S) { Button1Click(S); };
    Button2->OnClick = [this](TObject* S) { Button2Click(S); };
    Button3->OnClick = [this](TObject* S) { Button3Click(S); };
    Button4->OnClick = [this](TObject* S) { Button4Click(S); };

    okbtn = Make<TButton>(this, this, "okbtn", 348, 264, 84, 25);
    okbtn->SetCaption("&OK");
    okbtn->SetModalResult(mrOk);
    okbtn->SetDefault(true);
    cancelbtn = Make<TButton>(this, this, "cancelbtn", 348, 296, 84, 25);
    cancelbtn->SetCaption("&Annuler");
    cancelbtn->SetModalResult(mrCancel);
    cancelbtn->SetCancel(true);

    opd = new TOpenPictureDialog(this);
    opd->SetName("opd");
    // Every picture class registered when the window is made, including the
    // readers added at start-up.
    opd->Filter = GraphicFilter();
}

const TBitmap32* TLoadform::PickImage(const TBitmap32* Current, int Slot) {
    Im->Bitmap()->Delete();
    Im->Bitmap()->Assign(Current);
    if (ShowModal() == mrOk) return Im->Bitmap();
    const TBitmap32* Kept = OnSlotPicture ? OnSlotPicture(Slot) : nullptr;
    return Kept != nullptr ? Kept : Current;
}

void TLoadform::Button1Click(TObject*) {
    if (!opd->Execute()) return;
    // A refused file ends here with the reader's message; the picture is
    // read aside first, so Im keeps what it showed.
    try {
        Im->Bitmap()->LoadFromPictureFile(opd->FileName);
        LayOnWhite(*Im->Bitmap());
    } catch (const Exception&) {
        Application->HandleException(this);
    }
}

void TLoadform::Button2Click(TObject*) {
    Im->Bitmap()->Delete();
}

void TLoadform::Button3Click(TObject*) {
    try {
        if (Clipboard()->HasFormat(CF_BITMAP)) {
            Im->Bitmap()->Assign(Clipboard());
            LayOnWhite(*Im->Bitmap());
        }
    } catch (const Exception&) {
        Application->HandleException(this);
    }
}

void TLoadform::Button4Click(TObject*) {
    // An empty picture would only wipe what the clipboard holds.
    if (Im->Bitmap()->Empty()) return;
    try {
        Clipboard()->Assign(Im->Bitmap());
    } catch (const Exception&) {
        Application->HandleException(this);
    }
}
