#pragma once
// Tresizeform: the banner-size dialog. Execute changes the open banner's
// width and height, previewing every typed size on the canvas while
// "Aperçu" is checked; a cancel puts back the size the banner had when the
// dialog opened. A size the editor cannot draw is never previewed, and OK
// on one is refused with the bounds.
#include <cstdint>
#include <functional>

#include "banner/BannerDocument.h"
#include "controls/SpinEdit.h"
#include "platform/forms/Forms.h"
#include "platform/forms/StdCtrls.h"

class Tresizeform : public TForm {
public:
    QM_CLASSNAME(Tresizeform)
    explicit Tresizeform(TComponent* AOwner);

    TCtlSpinEdit* bannerwidth = nullptr;
    TCtlSpinEdit* bannerheight = nullptr;
    TCheckBox* CheckBox1 = nullptr; // "Préserver l'aspect": kept for its look only
    TCheckBox* prevcheck = nullptr;
    TButton* Okbtn = nullptr;
    TButton* Cancelbtn = nullptr;
    TLabel* WidthLabel = nullptr;
    TLabel* HeightLabel = nullptr;
    TLabel* UnitLabel = nullptr;

    int OrigWidth = 0;
    int OrigHeight = 0;

    // The main window's redraw of the banner; without one the document is
    // only marked as the redraw would mark it.
    std::function<void(bool KeepSaveDisabled)> RedrawBanner;

    // Shows the dialog modally on Document and applies its answer.
    TModalResult Execute(TBannerDocument& Document);
    // The halves of Execute around ShowModal.
    void Prepare(TBannerDocument& Document);
    void Finish(TModalResult Result);

    void SizeChange(TObject* Sender);
    void prevcheckClick(TObject* Sender);

private:
    void SetDocumentSize(std::int64_t Width, std::int64_t Height);
    void Redraw(bool KeepSaveDisabled = false);

    TBannerDocument* FDocument = nullptr;
    // Whether the banner had unsaved changes when the dialog opened.
    bool FWasModified = false;
};
