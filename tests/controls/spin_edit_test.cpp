#include "controls/SpinEdit.h"
#include "platform/base/Exception.h"
#include "platform/classes/Filer.h"
#include "platform/classes/Stream.h"
#include "platform/forms/Application.h"
#include "platform/forms/Forms.h"
#include "platform/graphics/Clipboard.h"

#include <gtest/gtest.h>

namespace {

int Beeps = 0;
void CountBeep() {
    ++Beeps;
}

class SpinEdit : public ::testing::Test {
protected:
    void SetUp() override {
        InitForms();
        SetSpinBeepProc(CountBeep);
        Beeps = 0;
        Form = new TForm(Application);
        E = new TCtlSpinEdit(Form);
        E->SetParent(Form);
        E->OnChange = [this](TObject*) { ++Changes; };
        E->OnTopClick = [this](TObject*) { ++Tops; };
        E->OnBottomClick = [this](TObject*) { ++Bottoms; };
    }
    void TearDown() override {
        delete Form;
        SetSpinBeepProc(nullptr);
    }
    void Type(char32_t C) { E->Perform(WM_CHAR, C, 0); }
    TForm* Form = nullptr;
    TCtlSpinEdit* E = nullptr;
    int Changes = 0, Tops = 0, Bottoms = 0;
};

TEST_F(SpinEdit, FormatsAndParsesEachValueType) {
    EXPECT_EQ(E->Text(), "0");
    E->SetValue(2.5);
    EXPECT_EQ(E->Text(), "2"); // half to even
    E->SetValue(3.5);
    EXPECT_EQ(E->Text(), "4");
    E->SetValue(-7.9);
    EXPECT_EQ(E->GetIntegerValue(), -8);

    E->SetValueType(TCtlSpinEdit::vtHex);
    E->SetValue(255);
    EXPECT_EQ(E->Text(), "FF");
    EXPECT_DOUBLE_EQ(E->Value(), 255);
    E->SetValue(-5);
    EXPECT_DOUBLE_EQ(E->Value(), -5); // 64-bit two's complement reads back

    E->SetValueType(TCtlSpinEdit::vtFloat);
    E->SetValue(1.5);
    EXPECT_EQ(E->Text(), "1.50");
    E->SetDecimal(0);
    EXPECT_EQ(E->Text(), "2");
    E->SetDisplayFormat(",0.##");
    E->SetValue(1234.567);
    EXPECT_EQ(E->Text(), "1,234.57");
    EXPECT_DOUBLE_EQ(E->Value(), 1234.57);
    E->SetText("-");
    EXPECT_DOUBLE_EQ(E->Value(), 0);

    EXPECT_EQ(SpinFormatFloat("0.##", 2.0), "2");
    EXPECT_EQ(SpinFormatFloat("0.0#", -0.001), "0.0"); // no "-0.0"
    EXPECT_EQ(SpinFormatFloat("0.00", 0.125), "0.12");
    EXPECT_EQ(SpinFormatFloat(",0", 1234567), "1,234,567");
}

TEST_F(SpinEdit, UnreadableTextGivesMinValue) {
    E->SetMinValue(3);
    E->SetMaxValue(9);
    E->SetText("abc");
    EXPECT_DOUBLE_EQ(E->Value(), 3);
    E->SetValueType(TCtlSpinEdit::vtFloat);
    E->SetText("1.2.3");
    EXPECT_DOUBLE_EQ(E->Value(), 3);
}

TEST_F(SpinEdit, BoundsSwitchChecksOnAndClamp) {
    E->SetValue(-50);
    EXPECT_EQ(E->Text(), "-50"); // no bounds, no clamping
    E->SetMaxValue(1000);
    EXPECT_TRUE(E->CheckMinValue());
    EXPECT_TRUE(E->CheckMaxValue());
    EXPECT_EQ(E->Text(), "0"); // re-clamped by the new lower bound 0
    E->SetValue(5000);
    EXPECT_EQ(E->Text(), "1000");
    E->SetCheckMaxValue(false); // MaxValue is non-zero: the check stays
    EXPECT_TRUE(E->CheckMaxValue());
    E->SetMaxValue(0);
    EXPECT_FALSE(E->CheckMinValue());
    E->SetValue(5000);
    EXPECT_EQ(E->Text(), "5000");
}

TEST_F(SpinEdit, IncrementFollowsIntegerTypes) {
    E->SetValueType(TCtlSpinEdit::vtFloat);
    E->SetIncrement(0.5);
    E->SetValueType(TCtlSpinEdit::vtInteger);
    EXPECT_DOUBLE_EQ(E->Increment(), 1); // 0.5 rounds to 0, then 1
    E->SetValueType(TCtlSpinEdit::vtFloat);
    E->SetIncrement(2.5);
    E->SetValueType(TCtlSpinEdit::vtHex);
    EXPECT_DOUBLE_EQ(E->Increment(), 2);
}

TEST_F(SpinEdit, StepsFireChangeOnlyWhenTextChanges) {
    E->SetButtonKind(bkStandard);
    ASSERT_NE(E->UpDown(), nullptr);
    EXPECT_EQ(E->SpinButton(), nullptr);
    E->SetMinValue(0);
    E->SetMaxValue(2);
    E->SetValue(1);
    Changes = 0;
    E->UpDown()->Press(btNext);
    EXPECT_EQ(E->Text(), "2");
    EXPECT_EQ(E->UpDown()->Position(), 0); // back at rest for the next press
    EXPECT_EQ(Changes, 1);
    EXPECT_TRUE(E->Modified());
    E->UpDown()->Press(btNext); // at the bound: no change, still the click
    EXPECT_EQ(Changes, 1);
    EXPECT_EQ(Tops, 2);
    E->Perform(WM_KEYDOWN, VK_DOWN, 0);
    EXPECT_EQ(E->Text(), "1");
    EXPECT_EQ(Bottoms, 1);
    E->SetArrowKeys(false);
    E->Perform(WM_KEYDOWN, VK_DOWN, 0);
    EXPECT_EQ(E->Text(), "1");

    E->SetReadOnly(true);
    E->UpDown()->Press(btPrev);
    EXPECT_EQ(E->Text(), "1");
    EXPECT_EQ(Beeps, 1);
    EXPECT_EQ(Bottoms, 1);
}

TEST_F(SpinEdit, PaintedButtonHalvesStepTheEdit) {
    TCtlSpinButton* B = E->SpinButton();
    ASSERT_NE(B, nullptr); // bkDiagonal when made
    B->SetBounds(0, 0, 20, 20);
    EXPECT_EQ(B->HalfAt(2, 2), TCtlSpinButton::shTop);
    EXPECT_EQ(B->HalfAt(12, 6), TCtlSpinButton::shTop);
    EXPECT_EQ(B->HalfAt(12, 10), TCtlSpinButton::shBottom);
    EXPECT_EQ(B->HalfAt(18, 18), TCtlSpinButton::shBottom);
    B->SetButtonStyle(sbsClassic);
    EXPECT_EQ(B->HalfAt(18, 2), TCtlSpinButton::shTop);
    EXPECT_EQ(B->HalfAt(2, 12), TCtlSpinButton::shBottom);
    B->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MakeLParam(18, 2));
    EXPECT_EQ(B->Pressed(), TCtlSpinButton::shTop);
    EXPECT_TRUE(B->RepeatTimer()->Enabled());
    EXPECT_EQ(B->RepeatTimer()->Interval(), 400u);
    B->Perform(WM_LBUTTONUP, 0, MakeLParam(18, 2));
    EXPECT_FALSE(B->RepeatTimer()->Enabled());
    EXPECT_EQ(B->Pressed(), TCtlSpinButton::shNone);
    // The face is painted on the host window: arrows in button text colour.
    auto* Host = static_cast<TWinControl*>(B->Parent());
    Host->Invalidate();
    Host->PaintPending();
    const TPixelSurface& S = Host->BufferSurface();
    ASSERT_TRUE(S.Valid());
    int Dark = 0;
    for (int Y = 0; Y < S.Height; ++Y)
        for (int X = 0; X < S.Width; ++X)
            Dark += (S.Row(Y)[X] & 0xFFFFFF) == 0;
    EXPECT_GT(Dark, 4);
    B->OnTopClick(B);
    B->OnBottomClick(B);
    EXPECT_EQ(E->Text(), "1");
    EXPECT_EQ(Tops, 2);
    EXPECT_EQ(Bottoms, 1);
}

TEST_F(SpinEdit, TypedCharactersAreFiltered) {
    E->SetText("");
    Type('a');
    EXPECT_EQ(Beeps, 1);
    Type('7');
    Type('-');
    EXPECT_EQ(Beeps, 1);

    E->SetValueType(TCtlSpinEdit::vtHex);
    Type('a');
    Type('G');
    EXPECT_EQ(Beeps, 2);

    E->SetValueType(TCtlSpinEdit::vtFloat);
    E->SetText("1E5");
    Beeps = 0;
    Type('e');
    EXPECT_EQ(Beeps, 1);
    Type('.');
    EXPECT_EQ(Beeps, 1); // no decimal separator yet
    E->SetText("1.5");
    Type('.');
    EXPECT_EQ(Beeps, 2);

    E->SetEditorEnabled(false);
    Beeps = 0;
    Type('5');
    Type(8);
    EXPECT_EQ(Beeps, 2);
    Type(3); // other control characters pass
    EXPECT_EQ(Beeps, 2);
}

TEST_F(SpinEdit, ExitCheckRaisesFrenchRangeError) {
    E->SetMinValue(1);
    E->SetMaxValue(10);
    E->SetCheckOnExit(true);
    E->SetText("50");
    try {
        E->Perform(WM_KILLFOCUS, 0, 0);
        FAIL() << "no range error";
    } catch (const ERangeError& Err) {
        EXPECT_STREQ(Err.what(), "La valeur doit être comprise entre 1 et 10");
    }
    EXPECT_EQ(E->Text(), "50"); // left for the user to correct
    E->SetText("4");
    EXPECT_NO_THROW(E->Perform(WM_KILLFOCUS, 0, 0));
}

TEST_F(SpinEdit, FailedPasteRestoresValue) {
    E->SetValue(12);
    E->SelectAll();
    E->PasteText("x1");
    EXPECT_EQ(E->Text(), "12");
    E->SelectAll();
    E->PasteText("34");
    EXPECT_EQ(E->Text(), "34");
    SetKeyboardShiftState({ssCtrl});
    Clipboard()->SetAsText("77");
    E->SelectAll();
    E->Perform(WM_KEYDOWN, 'V', 0); // through the checks, not the native edit
    EXPECT_EQ(E->Text(), "77");
    Clipboard()->SetAsText("9z");
    E->SelectAll();
    E->Perform(WM_KEYDOWN, 'V', 0);
    EXPECT_EQ(E->Text(), "77");
    E->SelectAll();
    E->SetReadOnly(true);
    E->Perform(WM_KEYDOWN, 'X', 0);
    SetKeyboardShiftState({});
    EXPECT_EQ(E->Text(), "77");
    E->SetReadOnly(false);
    E->SetEditorEnabled(false);
    E->SelectAll();
    E->PasteText("56");
    EXPECT_EQ(E->Text(), "77");
}

TEST_F(SpinEdit, StreamRoundTripKeepsAutomaticChecks) {
    RegisterSpinEditClasses();
    E->SetValueType(TCtlSpinEdit::vtFloat);
    E->SetMaxValue(100); // both checks on by themselves: not written
    E->SetValue(5);
    auto* F = new TCtlSpinEdit(Form);
    F->SetCheckMaxValue(true); // bounds zero: the explicit check is written
    TMemoryStream S;
    WriteComponentToStream(S, E);
    const std::string Bytes(static_cast<const char*>(S.Memory()), std::size_t(S.Size()));
    EXPECT_EQ(Bytes.find("CheckMinValue"), std::string::npos);
    EXPECT_EQ(Bytes.find("DisplayFormat"), std::string::npos);

    TCtlSpinEdit Copy(nullptr);
    S.SetPosition(0);
    ReadComponentFromStream(S, &Copy);
    EXPECT_TRUE(Copy.CheckMinValue());
    EXPECT_TRUE(Copy.CheckMaxValue());
    EXPECT_EQ(Copy.Text(), "5.00");
    Copy.SetValue(-3);
    EXPECT_EQ(Copy.Text(), "0.00");

    TMemoryStream S2;
    WriteComponentToStream(S2, F);
    TCtlSpinEdit Copy2(nullptr);
    S2.SetPosition(0);
    ReadComponentFromStream(S2, &Copy2);
    EXPECT_TRUE(Copy2.CheckMaxValue());
    EXPECT_FALSE(Copy2.CheckMinValue());
    Copy2.SetValue(7);
    EXPECT_EQ(Copy2.Text(), "0");
}

} // namespace
