#pragma once
// The "Charger image" dialog: picks the picture of an image element from a
// file or the clipboard. The picture being edited lives in Im; nothing
// reaches the caller's slot unless the dialog ends with OK.
// OnShow is left to the main window, which focuses its checked background
// kind there.
#include <functional>

#include "platform/forms/Forms.h"

class TBitmap32;
class TButton;
class TGroupBox;
class TImage32;
class TOpenPictureDialog;
class TScrollBox;

class TLoadform : public TForm {
public:
    QM_CLASSNAME(TLoadform)
    explicit TLoadform(TComponent* AOwner);

    // Shows the dialog with a copy of Current. On OK the result is Im's
    // picture; otherwise the picture slot Slot (0..2) holds now, so that the
    // caller's assignment changes nothing. The result stays valid until the
    // next call or the slot's next change.
    const TBitmap32* PickImage(const TBitmap32* Current, int Slot);

    // The main window's picture slots (Image1, Extimage1, extimage2); when
    // unset, or when it gives nullptr, a cancelled pick answers Current.
    std::function<const TBitmap32*(int Slot)> OnSlotPicture;

    // Handlers of the buttons (public so that the main window's shortcuts
    // and the tests can run them).
    void Button1Click(TObject* Sender); // "&Charger"
    void Button2Click(TObject* Sender); // "&Effacer"
    void Button3Click(TObject* Sender); // "Co&ller"
    void Button4Click(TObject* Sender); // "C&opier"

    TScrollBox* ScrollBox1;
    TImage32* Im;
    TGroupBox* GroupBox1;
    TButton* Button1;
    TButton* Button2;
    TButton* Button3;
    TButton* Button4;
    TButton* okbtn;
    TButton* cancelbtn;
    TOpenPictureDialog* opd;
};
