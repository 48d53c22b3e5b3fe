#include "platform/forms/PublishedProperties.h"

#include "platform/classes/PropertyRegistry.h"
#include "platform/forms/ComCtrls.h"
#include "platform/forms/Controls.h"
#include "platform/forms/Dialogs.h"
#include "platform/forms/Timer.h"

void RegisterFormsProperties() {
    TPublishedProperties<TControl>("TControl", "TComponent")
        .Integer("Left", &TControl::Left, &TControl::SetLeft)
        .NoDefault()
        .Integer("Top", &TControl::Top, &TControl::SetTop)
        .NoDefault()
        .Integer("Width", &TControl::Width, &TControl::SetWidth)
        .NoDefault()
        .Integer("Height", &TControl::Height, &TControl::SetHeight)
        .NoDefault()
        .Boolean("Enabled", &TControl::Enabled, &TControl::SetEnabled)
        .Default(1)
        .String("Hint", &TControl::Hint, &TControl::SetHint)
        .Boolean("Visible", &TControl::Visible, &TControl::SetVisible)
        .Default(1)
        .Register();

    TPublishedProperties<TTimer>("TTimer", "TComponent")
        .Boolean("Enabled", &TTimer::Enabled, &TTimer::SetEnabled)
        .Default(1)
        .Integer("Interval", &TTimer::Interval, &TTimer::SetInterval)
        .Default(1000)
        .Register();

    TPublishedProperties<TOpenDialog>("TOpenDialog", "TComponent")
        .String("DefaultExt", &TOpenDialog::DefaultExt, &TOpenDialog::DefaultExt)
        .String("FileName", &TOpenDialog::FileName, &TOpenDialog::FileName)
        .String("Filter", &TOpenDialog::Filter, &TOpenDialog::Filter)
        .Integer("FilterIndex", &TOpenDialog::FilterIndex, &TOpenDialog::FilterIndex)
        .Default(1)
        .String("InitialDir", &TOpenDialog::InitialDir, &TOpenDialog::InitialDir)
        .String("Title", &TOpenDialog::Title, &TOpenDialog::Title)
        .Register();

    // The classes that publish nothing of their own, each under its parent.
    static const char* const Chain[][2] = {
        {"TWinControl", "TControl"},
        {"TGraphicControl", "TControl"},
        {"TCustomControl", "TWinControl"},
        {"TButtonControl", "TWinControl"},
        {"TButton", "TButtonControl"},
        {"TCustomCheckBox", "TButtonControl"},
        {"TCheckBox", "TCustomCheckBox"},
        {"TRadioButton", "TButtonControl"},
        {"TCustomEdit", "TWinControl"},
        {"TEdit", "TCustomEdit"},
        {"TCustomComboBox", "TWinControl"},
        {"TComboBox", "TCustomComboBox"},
        {"TCustomListBox", "TWinControl"},
        {"TListBox", "TCustomListBox"},
        {"TCustomGroupBox", "TCustomControl"},
        {"TGroupBox", "TCustomGroupBox"},
        {"TCustomPanel", "TCustomControl"},
        {"TPanel", "TCustomPanel"},
        {"TCustomLabel", "TGraphicControl"},
        {"TLabel", "TCustomLabel"},
        {"TImage", "TGraphicControl"},
        {"TShape", "TGraphicControl"},
        {"TBevel", "TGraphicControl"},
        {"TPaintBox", "TGraphicControl"},
        {"TToolButton", "TGraphicControl"},
        {"TToolBar", "TCustomControl"},
        {"TStatusBar", "TCustomControl"},
        {"TProgressBar", "TCustomControl"},
        {"TTrackBar", "TWinControl"},
        {"TPageControl", "TCustomControl"},
        {"TTabSheet", "TCustomControl"},
        {"TListView", "TWinControl"},
        {"TTreeView", "TWinControl"},
        {"TCustomUpDown", "TCustomControl"},
        {"TUpDown", "TCustomUpDown"},
        {"TScrollingWinControl", "TCustomControl"},
        {"TScrollBox", "TScrollingWinControl"},
        {"TSaveDialog", "TOpenDialog"},
        {"TOpenPictureDialog", "TOpenDialog"},
        {"TSavePictureDialog", "TSaveDialog"},
    };
    for (const auto& Link : Chain)
        RegisterClassProperties(Link[0], Link[1], {});
}
