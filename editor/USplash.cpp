#include "editor/USplash.h"

#include "editor/BuiltinPictures.h"
#include "platform/forms/ExtCtrls.h"
#include "platform/forms/StdCtrls.h"
#include "raster/RasterCore.h"

TSplashForm::TSplashForm(TComponent* AOwner) : TForm(AOwner) {
    SetName("SplashForm");
    SetBorderStyle(bsNone);
    // The main window is shown while the splash is still up (the other
    // windows are made after it): the splash stays above it until freed.
    SetFormStyle(fsStayOnTop);
    SetPosition(poScreenCenter);
    SetClientWidth(SplashWidth);
    SetClientHeight(SplashHeight);

    Image1 = new TImage(this);
    Image1->SetName("Image1");
    Image1->SetParent(this);
    Image1->SetBounds(0, 0, SplashWidth, SplashHeight);
    {
        TBitmap32 Picture;
        DrawSplashPicture(Picture);
        Image1->Picture()->Assign(&Picture);
    }

    Title = new TLabel(this);
    Title->SetName("Title");
    Title->SetParent(this);
    Title->SetTransparent(true);
    Title->SetBounds(24, 60, 200, 40);
    Title->Font()->SetSize(26);
    Title->Font()->SetStyle(TFontStyles{fsBold});
    Title->Font()->SetColor(clWhite);
    Title->SetCaption("Quillomark");

    Label1 = new TLabel(this);
    Label1->SetName("Label1");
    Label1->SetParent(this);
    Label1->SetTransparent(true);
    Label1->SetBounds(28, 112, 160, 20);
    Label1->Font()->SetSize(12);
    Label1->Font()->SetColor(clYellow);
    Label1->SetCaption("Edition Gratuite");
}
