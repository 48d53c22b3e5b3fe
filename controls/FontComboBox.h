#pragma once
// The font combo box: the installed font families in an owner-drawn, sorted
// combo box, each with a TrueType or device mark, filtered by Options.
//
// The list is filled only once the box has its window (and again on a
// change of Options, Device or the installed fonts), keeping the chosen
// FontName. OnChange fires on selection changes, never while the list is
// refilled or the box is read from a stream.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/forms/StdCtrls.h"
#include "platform/graphics/Bitmap.h"

// A combo box whose items have a fixed owner-drawn height, with a style of
// its own (csDropDownList when made; csDropDown and csSimple keep an edit).
class TOwnerDrawComboBox : public TCustomComboBox {
public:
    QM_CLASSNAME(TOwnerDrawComboBox)
    explicit TOwnerDrawComboBox(TComponent* AOwner);

    TComboBoxStyle Style() const { return FComboStyle; }
    void SetStyle(TComboBoxStyle Value);

    void Dispatch(TMessage& Message) override;

protected:
    // The font's character height + 1, at least 9.
    virtual int GetItemHeight();
    void ResetItemHeight();
    bool HasEdit() const override { return FComboStyle != csDropDownList; }
    bool IsOwnerDrawn() const override { return true; }

private:
    TComboBoxStyle FComboStyle = csDropDownList;
};

enum TFontDevice { fdScreen, fdPrinter, fdBoth };
enum TFontListOption {
    foAnsiOnly,
    foTrueTypeOnly,
    foFixedPitchOnly,
    foNoOEMFonts,
    foOEMFontsOnly,
    foScalableOnly,
    foNoSymbolFonts
};
using TFontListOptions = TFlagSet<TFontListOption>;

// Font type bits of a family, and the item flag of a non-symbol set.
constexpr int RASTER_FONTTYPE = 1;
constexpr int DEVICE_FONTTYPE = 2;
constexpr int TRUETYPE_FONTTYPE = 4;
constexpr int FONT_NOT_SYMBOL = 256;
constexpr std::uint8_t FIXED_PITCH = 1;
constexpr std::uint8_t VARIABLE_PITCH = 2;
constexpr std::uint8_t OEM_CHARSET_VALUE = 255;

// One family as a device enumerates it.
struct TFontFamilyInfo {
    std::string Name;
    std::uint8_t CharSet = 0;        // ANSI 0, SYMBOL 2, OEM 255, ...
    std::uint8_t PitchAndFamily = 0; // FIXED_PITCH / VARIABLE_PITCH bits
    int FontType = TRUETYPE_FONTTYPE;
};

// Where the families come from. Printer = true asks the printer, which may
// raise (no printer): the box then lists the screen's families only. The
// default source offers the screen's installed families (scalable, ANSI;
// fixed pitch and symbol sets told by the family name) and no printer.
using TFontFamilySource = std::vector<TFontFamilyInfo> (*)(bool Printer);
void SetFontFamilySource(TFontFamilySource Source);
std::vector<TFontFamilyInfo> DefaultFontFamilies(bool Printer);

// Whether Options let a family with this character set, pitch and type in.
bool FontFamilyAccepted(TFontListOptions Options, std::uint8_t CharSet, std::uint8_t PitchAndFamily,
                        int FontType);

// Registers the stream properties of the font combo box (once).
void RegisterFontComboClasses();

class TFontComboBox : public TOwnerDrawComboBox {
public:
    QM_CLASSNAME(TFontComboBox)
    explicit TFontComboBox(TComponent* AOwner);
    ~TFontComboBox() override;

    TFontDevice Device() const { return FDevice; }
    void SetDevice(TFontDevice Value);
    // The text, or the name read from a stream while the list is not filled
    // yet (a drop-down list cannot show a name it does not list).
    std::string FontName() const;
    void SetFontName(const std::string& Value);
    TFontListOptions Options() const { return FOptions; }
    void SetOptions(TFontListOptions Value);
    bool TrueTypeOnly() const { return FOptions.Contains(foTrueTypeOnly); }
    void SetTrueTypeOnly(bool Value);
    bool UseFonts() const { return FUseFonts; }
    void SetUseFonts(bool Value);
    // The type bits (+ FONT_NOT_SYMBOL) of item Index.
    int ItemFontType(int Index) const;
    TBitmap* TrueTypeBitmap() const { return FTrueTypeBmp.get(); }
    TBitmap* DeviceBitmap() const { return FDeviceBmp.get(); }

    virtual void FillFontList();

    void Dispatch(TMessage& Message) override;
    void Loaded() override;

protected:
    int GetItemHeight() override;
    void Change() override;
    void DrawItem(int Index, const TRect& Rect, TOwnerDrawState State) override;
    void NativeWidgetCreated() override;

private:
    void Reset(bool ClearText);

    TFontDevice FDevice = fdScreen;
    TFontListOptions FOptions;
    bool FUseFonts = false;
    int FUpdate = 0; // refilling: OnChange is muted
    std::string FPendingName;
    std::unique_ptr<TBitmap> FTrueTypeBmp;
    std::unique_ptr<TBitmap> FDeviceBmp;
};
