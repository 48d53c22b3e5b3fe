#pragma once
// TScreen: the desktop as the program sees it: its size and work area, the
// forms in existence, the active form, the cursor shown everywhere, the
// table of cursors by index, the installed font families and the fonts of
// hints and menus. Pixels per inch is always 96.
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/base/Types.h"
#include "platform/classes/Component.h"
#include "platform/classes/Strings.h"
#include "platform/forms/Controls.h"
#include "platform/graphics/Font.h"

struct HCURSOR__;
// An opaque cursor handle; nullptr is none.
using HCURSOR = HCURSOR__*;

// The handle of a predefined cursor shape (crArrow ... crSizeAll).
HCURSOR SystemCursor(TCursor Shape);
// A cursor made from Width x Height pixels (top-down, bytes B, G, R, A);
// null for sizes outside 1..256 or missing pixels.
HCURSOR CreateCursorFromPixels(int Width, int Height, const std::uint32_t* Pixels, int HotX,
                               int HotY);

// Internal: what a cursor handle stands for (the native bridge reads it).
struct TCursorImage {
    TCursor Shape = crArrow; // for predefined cursors
    int Width = 0;
    int Height = 0;
    int HotX = 0;
    int HotY = 0;
    std::vector<std::uint32_t> Pixels; // empty for predefined cursors
};
bool GetCursorImage(HCURSOR Cursor, TCursorImage& Image);

class TCustomForm;

class TScreen : public TComponent {
public:
    QM_CLASSNAME(TScreen)
    explicit TScreen(TComponent* AOwner);
    ~TScreen() override;

    int Width() const;
    int Height() const;
    TRect DesktopRect() const { return {0, 0, Width(), Height()}; }
    TRect WorkAreaRect() const;
    int WorkAreaWidth() const { return WorkAreaRect().Width(); }
    int WorkAreaHeight() const { return WorkAreaRect().Height(); }
    int PixelsPerInch() const { return 96; }

    int FormCount() const { return int(FForms.size()); }
    // Raises EListError out of range.
    TCustomForm* Forms(int Index) const;
    TCustomForm* ActiveForm() const { return FActiveForm; }
    TWinControl* ActiveControl() const { return FindFocusedControl(); }

    // crDefault lets every control show its own cursor; anything else is
    // shown over the whole program.
    TCursor Cursor() const { return FCursor; }
    void SetCursor(TCursor Value);
    // The cursor of an index: a predefined shape for crDefault..crSizeAll,
    // else what SetCursors stored; unknown indices give the arrow.
    HCURSOR Cursors(int Index) const;
    void SetCursors(int Index, HCURSOR Handle);

    // The installed font families, sorted.
    TStrings* Fonts();
    TFont* HintFont() { return &FHintFont; }
    TFont* MenuFont() { return &FMenuFont; }
    TFont* IconFont() { return &FIconFont; }

    // Internal: kept by the forms.
    void AddForm(TCustomForm* Form);
    void RemoveForm(TCustomForm* Form);
    void SetActiveForm(TCustomForm* Form) { FActiveForm = Form; }

private:
    std::vector<TCustomForm*> FForms;
    TCustomForm* FActiveForm = nullptr;
    TCursor FCursor = crDefault;
    std::vector<std::pair<int, HCURSOR>> FCursors;
    std::unique_ptr<TStringList> FFonts;
    TFont FHintFont;
    TFont FMenuFont;
    TFont FIconFont;
};
