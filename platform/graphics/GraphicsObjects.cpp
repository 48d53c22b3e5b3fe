#include "platform/graphics/GraphicsObjects.h"

void TGraphicsObject::Changed() {
    if (OnChange) OnChange(this);
}

void TPen::SetColor(TColor Value) {
    if (Value == FColor) return;
    FColor = Value;
    Changed();
}

void TPen::SetWidth(int Value) {
    if (Value == FWidth) return;
    FWidth = Value;
    Changed();
}

void TPen::SetStyle(TPenStyle Value) {
    if (Value == FStyle) return;
    FStyle = Value;
    Changed();
}

void TPen::SetMode(TPenMode Value) {
    if (Value == FMode) return;
    FMode = Value;
    Changed();
}

void TPen::Assign(const TPen& Source) {
    if (&Source == this) return;
    FColor = Source.FColor;
    FWidth = Source.FWidth;
    FStyle = Source.FStyle;
    FMode = Source.FMode;
    Changed();
}

void TPen::Assign(const TPersistent* Source) {
    if (const auto* Pen = dynamic_cast<const TPen*>(Source)) {
        Assign(*Pen);
        return;
    }
    TPersistent::Assign(Source);
}

void TBrush::SetColor(TColor Value) {
    if (Value == FColor) return;
    FColor = Value;
    Changed();
}

void TBrush::SetStyle(TBrushStyle Value) {
    if (Value == FStyle) return;
    FStyle = Value;
    Changed();
}

void TBrush::Assign(const TBrush& Source) {
    if (&Source == this) return;
    FColor = Source.FColor;
    FStyle = Source.FStyle;
    Changed();
}

void TBrush::Assign(const TPersistent* Source) {
    if (const auto* Brush = dynamic_cast<const TBrush*>(Source)) {
        Assign(*Brush);
        return;
    }
    TPersistent::Assign(Source);
}
