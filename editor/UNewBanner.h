#pragma once
// TNewForm: the new-banner dialog. It gathers the name, the composition and
// the format of a banner; the caller reads the answers through Options()
// after ShowModal returned mrOk. The dialog never touches a document.
#include <array>
#include <cstdint>
#include <functional>

#include "banner/BannerDocument.h"
#include "controls/SpinEdit.h"
#include "platform/forms/ExtCtrls.h"
#include "platform/forms/Forms.h"
#include "platform/forms/StdCtrls.h"

// A row of the format list; a size of 0 means "typed by the user".
struct TBannerFormatRow {
    const char* Caption;
    int Width;
    int Height;
};

inline constexpr std::array<TBannerFormatRow, 5> BannerFormatRows{{
    {"Standard (468x60)", 468, 60},
    {"Demi-bannière (234 x 60)", 234, 60},
    {"Grand rectangle (300 x 250)", 300, 250},
    {"Grande bannière (728 x 90)", 728, 90},
    {"Personnalisé", 0, 0},
}};
inline constexpr int CustomFormatRow = 4;

// What a size field takes while the user types; whether the renderer can
// draw the size (banner/BannerLimits.h) is checked when the dialog is
// confirmed.
inline constexpr int MinTypedSide = 1;
inline constexpr int MaxTypedSide = 999999999;

// True when the two fields hold a size the editor can draw; otherwise tells
// the user the bounds and returns false (the dialog then stays open). A
// blank field is refused here: only the live preview reads it as 1.
bool AcceptTypedBannerSize(TCtlSpinEdit* Width, TCtlSpinEdit* Height);
// The side typed in a size field: 1 for a blank field, 0 (no size) for a
// text that is not a whole number, such as a lone "-" or more digits than
// a number holds.
std::int64_t TypedBannerSide(TCtlSpinEdit* Edit);

class TNewForm : public TForm {
public:
    QM_CLASSNAME(TNewForm)
    explicit TNewForm(TComponent* AOwner);

    TEdit* Bnedit = nullptr;
    TListBox* Models = nullptr;
    TComboBox* formatcombo = nullptr;
    TCtlSpinEdit* bannerwidth = nullptr;
    TCtlSpinEdit* bannerheight = nullptr;
    TButton* Okbtn = nullptr;
    TButton* Cancelbtn = nullptr;
    TLabel* NameLabel = nullptr;
    TLabel* ModelsLabel = nullptr;
    TLabel* FormatLabel = nullptr;
    TLabel* WidthLabel = nullptr;
    TLabel* HeightLabel = nullptr;
    TPaintBox* ModelPicture = nullptr;

    // Run when the dialog shows: the main window focuses its checked
    // background kind, hides its balloon and starts its format-hint timer.
    std::function<void()> PrepareMainWindow;

    // The answers as the document model takes them.
    TNewBannerOptions Options();

    void formatcomboChange(TObject* Sender);
    void ModelsDblClick(TObject* Sender);
    void ModelsClick(TObject* Sender);
    void FormShow(TObject* Sender);

private:
    void ModelPicturePaint(TObject* Sender);
};
