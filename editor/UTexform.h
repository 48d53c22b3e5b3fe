#pragma once
// TTexform: the "Modèle d'arrière-plan" window. It shows the template model
// (banner/Templates.h) that the document's template loader also uses, so the
// window always lists the templates of the open banner's format: the chosen
// template, its preview and its key colour. Made once at start-up.
#include <functional>
#include <memory>

#include "banner/Templates.h"
#include "controls/ColorPickerButton.h"
#include "platform/forms/ExtCtrls.h"
#include "platform/forms/Forms.h"
#include "platform/forms/StdCtrls.h"
#include "raster/RasterImage.h"

class TTexform : public TForm {
public:
    QM_CLASSNAME(TTexform)
    explicit TTexform(TComponent* AOwner);

    std::shared_ptr<TTemplateModel> Model = std::make_shared<TTemplateModel>();

    TListBox* list = nullptr;
    TImage32* shown = nullptr;
    TLabel* FixedLabel = nullptr; // "Ce modèle ne peut être personnalisé."
    TPanel* Pan = nullptr;
    TLabel *cp1Label = nullptr, *cp2Label = nullptr;
    TColorPickerButton *cp1 = nullptr, *cp2 = nullptr;
    TButton *Button9 = nullptr, *dxButton1 = nullptr, *dxButton2 = nullptr;
    TButton *OKBtn = nullptr, *CancelBtn = nullptr;

    // Run when the window shows (the main window focuses its checked
    // background kind).
    std::function<void()> OnFocusBackgroundKind;

    // The main window's "Modifier": shows the window on the document's
    // template; OK puts the chosen template and key colour into Document and
    // returns true, anything else puts the window back as it was.
    bool Edit(TBannerDocument& Document);

    void listClick(TObject* Sender);
    void cp1Change(TObject* Sender);
    void Button9Click(TObject* Sender);
    void dxButton2Click(TObject* Sender);
    void dxButton1Click(TObject* Sender);
    // Shows the model in the controls.
    void Refresh();

private:
    void FormShow(TObject* Sender);
    bool FRefreshing = false;
};
