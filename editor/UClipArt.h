#pragma once
// The "Bibliothèque" window: the clip-art library. Fourteen hidden image
// controls B1..B14 hold the pictures; a click on a row of list shows the
// matching one in img32, which is what OK hands over.
// OnShow is left to the main window, which focuses its checked background
// kind there.
#include "platform/forms/Forms.h"

class TBitmap32;
class TButton;
class TImage32;
class TListBox;

class Tbbform : public TForm {
public:
    QM_CLASSNAME(Tbbform)
    explicit Tbbform(TComponent* AOwner);

    // Shows the window; on OK with a picture shown in img32 copies it into
    // Dest and returns true. Dest is untouched otherwise.
    bool PickClipArt(TBitmap32& Dest);

    // Shows picture "B" + (row + 1) of the list's chosen row in img32.
    void listClick(TObject* Sender);

    TListBox* list;
    TImage32* img32;
    TButton* okbtn;
    TButton* cancelbtn;
};
