#include "editor/UClipArt.h"

#include <string>

#include "editor/BuiltinPictures.h"
#include "platform/forms/StdCtrls.h"
#include "raster/RasterCore.h"
#include "raster/RasterImage.h"

Tbbform::Tbbform(TComponent* AOwner) : TForm(AOwner) {
    SetName("bbform");
    SetCaption("Bibliothèque");
    SetBorderStyle(bsDialog);
    SetPosition(poScreenCenter);
    SetClientWidth(300);
    SetClientHeight(248);

    list = new TListBox(this);
    list->SetName("list");
    list->SetParent(this);
    list->SetBounds(8, 8, 120, 232);
    img32 = new TImage32(this);
    img32->SetName("img32");
    img32->SetParent(this);
    img32->SetBounds(140, 8, 152, 152);
    img32->SetBitmapAlign(baCenter);

    for (int i = 1; i <= ClipArtCount; ++i) {
        const std::string Number = std::to_string(i);
        list->Items()->Add("Elément " + (i < 10 ? "0" + Number : Number));
        auto* B = new TImage32(this);
        B->SetName("B" + Number);
        B->SetVisible(false);
        B->SetParent(this);
        TBitmap32* Shape = B->Bitmap();
        DrawClipArt(i - 1, *Shape);
        LayOnWhite(*Shape);
        B->SetBounds(0, 0, Shape->Width(), Shape->Height());
    }
    list->OnClick = [this](TObject* S) { listClick(S); };

    okbtn = new TButton(this);
    okbtn->SetName("okbtn");
    okbtn->SetParent(this);
    okbtn->SetBounds(140, 184, 72, 25);
    okbtn->SetCaption("&OK");
    okbtn->SetModalResult(mrOk);
    okbtn->SetDefault(true);
    cancelbtn = new TButton(this);
    cancelbtn->SetName("cancelbtn");
    cancelbtn->SetParent(this);
    cancelbtn->SetBounds(220, 184, 72, 25);
    cancelbtn->SetCaption("&Annuler");
    cancelbtn->SetModalResult(mrCancel);
    cancelbtn->SetCancel(true);
}

bool Tbbform::PickClipArt(TBitmap32& Dest) {
    // OK before any row was chosen would hand over the empty preview and
    // wipe the image the slot held.
    if (ShowModal() != mrOk || img32->Bitmap()->Empty()) return false;
    Dest.Assign(img32->Bitmap());
    return true;
}

void Tbbform::listClick(TObject*) {
    const int Row = list->ItemIndex();
    if (Row < 0) return;
    if (auto* B = dynamic_cast<TImage32*>(FindComponent("B" + std::to_string(Row + 1))))
        img32->Bitmap()->Assign(B->Bitmap());
}
