#pragma once
// Control makers shared by the editor's windows: each control is owned by
// the window, named as the window's code refers to it and parented at once.
#include <string>
#include <type_traits>

#include "controls/ColorPickerButton.h"
#include "controls/SpinEdit.h"
#include "platform/forms/Dialogs.h"
#include "platform/forms/ExtCtrls.h"
#include "platform/forms/StdCtrls.h"

namespace mainform {

template <class T> T* Make(TComponent* Owner, TWinControl* Parent, const std::string& Name) {
    T* C = new T(Owner);
    C->SetName(Name);
    // Every spin edit of the editor steps with the system's up-down arrows.
    if constexpr (std::is_base_of_v<TCtlSpinEdit, T>) C->SetButtonKind(bkStandard);
    if constexpr (std::is_base_of_v<TControl, T>) {
        if (Parent != nullptr) C->SetParent(Parent);
    }
    return C;
}

// A label the code does not look up again: owned, parented and placed, with
// no name. Without a size it takes its caption's, so that it never paints
// its background over a neighbour.
inline TLabel* MakeLabel(TComponent* Owner, TWinControl* Parent, const std::string& Caption,
                         int Left, int Top) {
    TLabel* L = new TLabel(Owner);
    L->SetParent(Parent);
    L->SetCaption(Caption);
    L->SetLeft(Left);
    L->SetTop(Top);
    return L;
}
inline TLabel* MakeLabel(TComponent* Owner, TWinControl* Parent, const std::string& Caption,
                         int Left, int Top, int Width, int Height) {
    TLabel* L = MakeLabel(Owner, Parent, Caption, Left, Top);
    L->SetBounds(Left, Top, Width, Height);
    return L;
}

// A control of a dialog, owned and parented by it, at the given bounds.
template <class T>
T* Place(TWinControl* Parent, const std::string& Name, int Left, int Top, int Width, int Height) {
    T* C = Make<T>(Parent, Parent, Name);
    C->SetBounds(Left, Top, Width, Height);
    return C;
}

inline TButton* MakeButton(TComponent* Owner, TWinControl* Parent, const std::string& Name,
                           const std::string& Caption, int Left, int Top, int Width) {
    TButton* B = Make<TButton>(Owner, Parent, Name);
    B->SetCaption(Caption);
    B->SetBounds(Left, Top, Width, 25);
    return B;
}

// A dialog's closing button: with mrOk, "&OK", the default button; with
// mrCancel, "&Annuler", the cancel button. Either closes the dialog with
// Result.
inline TButton* MakeCloseButton(TWinControl* Dialog, const std::string& Name, TModalResult Result,
                                int Left, int Top, int Width) {
    const bool ok = Result == mrOk;
    TButton* B = MakeButton(Dialog, Dialog, Name, ok ? "&OK" : "&Annuler", Left, Top, Width);
    if (ok)
        B->SetDefault(true);
    else
        B->SetCancel(true);
    B->SetModalResult(Result);
    return B;
}

inline TPanel* MakePanel(TComponent* Owner, TWinControl* Parent, const std::string& Name,
                         TAlign Align, int Size = 0) {
    TPanel* P = Make<TPanel>(Owner, Parent, Name);
    P->SetCaption("");
    P->SetBevelOuter(bvNone);
    if (Align == alTop || Align == alBottom) P->SetHeight(Size);
    if (Align == alLeft || Align == alRight) P->SetWidth(Size);
    P->SetAlign(Align);
    return P;
}

// The colour dialog of every picker button: a new dialog preset to the
// button's colour; OK sets the button's colour, which runs its change
// handler.
inline void ChooseColor(TColorPickerButton* Button) {
    Button->SetDropOpen(false);
    TColorDialog Dialog(nullptr);
    Dialog.Color = Button->SelectionColor();
    if (Dialog.Execute()) Button->SetSelectionColor(Dialog.Color);
}

} // namespace mainform
