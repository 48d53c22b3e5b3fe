#pragma once
// The window shown while the program starts: a picture drawn at start-up
// and the edition's label. It has no behaviour of its own.
// OnShow is left to the main window, as for the other small windows.
#include "platform/forms/Forms.h"

class TImage;
class TLabel;

class TSplashForm : public TForm {
public:
    QM_CLASSNAME(TSplashForm)
    explicit TSplashForm(TComponent* AOwner);

    TImage* Image1;
    TLabel* Title;
    TLabel* Label1;
};
