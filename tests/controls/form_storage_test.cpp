#include "controls/FormStorage.h"
#include "platform/base/FileNames.h"
#include "platform/base/Format.h"
#include "platform/forms/Application.h"
#include "platform/forms/Screen.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const std::string PlacementSection = "Software\\Quillomark\\MainForm Placement v5";
const std::string SettingsSection = "Software\\Quillomark\\Mainform Settings";

class TProbeComp : public TComponent {
public:
    QM_CLASSNAME(TProbeComp)
    using TComponent::TComponent;
    bool Visible = true;
    std::string Dir;
    double Ratio = 0;
    int Align = 0;
    std::uint32_t Opts = 0;
    TStringList Lines;
};

void RegisterProbe() {
    if (ClassPropertiesRegistered("TProbeComp")) return;
    TPublishedProperties<TProbeComp>("TProbeComp", "TComponent")
        .Boolean("Visible", &TProbeComp::Visible, &TProbeComp::Visible)
        .String("InitialDir", &TProbeComp::Dir, &TProbeComp::Dir)
        .Float("Ratio", &TProbeComp::Ratio, &TProbeComp::Ratio)
        .Enumeration("Align", &TProbeComp::Align, &TProbeComp::Align, {"alNone", "alTop", "alLeft"})
        .Set("Opts", &TProbeComp::Opts, &TProbeComp::Opts, {"oA", "oB", "oC"})
        .Class("Lines", [](TProbeComp& P) { return &P.Lines; })
        .Register();
}

std::string RegValue(const std::string& Section, const std::string& Name,
                     TRegDataType* Type = nullptr) {
    TRegistry R;
    R.SetRootKey(HKEY_CURRENT_USER);
    if (!R.OpenKey(DefaultRegistryKey() + "\\" + Section, false)) return "<no key>";
    if (!R.ValueExists(Name)) return "<none>";
    if (Type != nullptr) *Type = R.GetDataType(Name);
    return R.ReadString(Name);
}

void PutRegValue(const std::string& Section, const std::string& Name, const std::string& V) {
    TRegistry R;
    R.SetRootKey(HKEY_CURRENT_USER);
    ASSERT_TRUE(R.OpenKey(DefaultRegistryKey() + "\\" + Section, true));
    R.WriteString(Name, V);
}

class FormStorage : public ::testing::Test {
protected:
    void SetUp() override {
        InitForms();
        RegisterProbe();
        TRegistry R;
        R.DeleteKey(DefaultRegistryKey());
    }
    void TearDown() override {
        delete Form;
        Form = nullptr;
    }
    TFormPlacement* MakePlacement() {
        Form = new TForm(nullptr);
        auto* P = new TFormPlacement(Form);
        P->SetUseRegistry(true);
        P->SetIniSection(PlacementSection);
        P->Loaded();
        return P;
    }
    std::string Suffix() const { return Format("(%dx%d)", {Screen->Width(), Screen->Height()}); }
    TForm* Form = nullptr;
};

TEST_F(FormStorage, PlacementValuesWrittenAsStringsWithBothNames) {
    TFormPlacement* P = MakePlacement();
    Form->SetBounds(10, 20, 400, 300);
    P->RestoreFormState(); // nothing stored yet: gates saving open
    EXPECT_TRUE(P->Restored());
    P->SaveFormState();
    EXPECT_TRUE(P->Saved());
    TRegDataType Type = rdUnknown;
    EXPECT_EQ(RegValue(PlacementSection, "FormVersion", &Type), "0");
    EXPECT_EQ(Type, rdString);
    EXPECT_EQ(RegValue(PlacementSection, "Flags"), "0");
    EXPECT_EQ(RegValue(PlacementSection, "ShowCmd"), "1");
    EXPECT_EQ(RegValue(PlacementSection, "PixelsPerInch"), "96");
    EXPECT_EQ(RegValue(PlacementSection, "NormPos", &Type), "10,20,410,320");
    EXPECT_EQ(Type, rdString);
    EXPECT_EQ(RegValue(PlacementSection, "NormPos" + Suffix()), "10,20,410,320");
    EXPECT_EQ(RegValue(PlacementSection, "MinMaxPos" + Suffix()),
              RegValue(PlacementSection, "MinMaxPos"));
    EXPECT_EQ(RegValue(PlacementSection, "Visible"), "0");
    EXPECT_EQ(RegValue(PlacementSection, "ActiveControl"), "<none>");
}

TEST_F(FormStorage, RestoreAppliesRectAndStateAndFallsBackToPlainName) {
    TFormPlacement* P = MakePlacement();
    PutRegValue(PlacementSection, "FormVersion", "0");
    PutRegValue(PlacementSection, "ShowCmd", "3");
    PutRegValue(PlacementSection, "PixelsPerInch", "96");
    PutRegValue(PlacementSection, "NormPos" + Suffix(), "");
    PutRegValue(PlacementSection, "NormPos", "30, 40 ,330,240");
    P->RestoreFormState();
    EXPECT_EQ(Form->BoundsRect(), TRect(30, 40, 330, 240));
    EXPECT_EQ(Form->WindowState(), wsMaximized);

    // Saved at another density: the rectangle is ignored, the state is not.
    PutRegValue(PlacementSection, "PixelsPerInch", "120");
    PutRegValue(PlacementSection, "NormPos", "0,0,50,50");
    PutRegValue(PlacementSection, "ShowCmd", "1");
    P->RestoreFormState();
    EXPECT_EQ(Form->BoundsRect(), TRect(30, 40, 330, 240));
    EXPECT_EQ(Form->WindowState(), wsNormal);

    // An inverted rectangle from a damaged setting is refused.
    PutRegValue(PlacementSection, "PixelsPerInch", "96");
    PutRegValue(PlacementSection, "NormPos", "500,500,100,-2147483648");
    P->RestoreFormState();
    EXPECT_EQ(Form->BoundsRect(), TRect(30, 40, 330, 240));
}

TEST_F(FormStorage, OlderVersionSkipsLoadButStillSaves) {
    TFormPlacement* P = MakePlacement();
    P->SetVersion(2);
    PutRegValue(PlacementSection, "FormVersion", "1");
    PutRegValue(PlacementSection, "NormPos", "1,2,101,102");
    Form->SetBounds(5, 6, 200, 100);
    int Restores = 0;
    P->OnRestorePlacement = [&](TObject*) { ++Restores; };
    P->RestoreFormState();
    EXPECT_EQ(Restores, 0);
    EXPECT_EQ(Form->BoundsRect(), TRect(5, 6, 205, 106));
    P->SaveFormState();
    EXPECT_EQ(RegValue(PlacementSection, "FormVersion"), "2");
    EXPECT_EQ(RegValue(PlacementSection, "NormPos"), "5,6,205,106");
}

TEST_F(FormStorage, FormEventsAreWrappedAndGiveBack) {
    Form = new TForm(nullptr);
    std::string Log;
    Form->OnShow = [&](TObject*) { Log += "show;"; };
    Form->OnCloseQuery = [&](TObject*, bool& CanClose) {
        Log += "query;";
        CanClose = false;
    };
    auto* P = new TFormPlacement(Form);
    P->SetUseRegistry(true);
    P->SetIniSection(PlacementSection);
    P->OnRestorePlacement = [&](TObject*) { Log += "restore;"; };
    P->OnSavePlacement = [&](TObject*) { Log += "save;"; };
    P->Loaded();
    Form->OnShow(Form);
    bool CanClose = true;
    Form->OnCloseQuery(Form, CanClose);
    EXPECT_FALSE(CanClose);
    Form->OnDestroy(Form);
    EXPECT_EQ(Log, "restore;show;query;save;");
    EXPECT_EQ(RegValue(PlacementSection, "Visible"), "1"); // saved while destroying
    delete P;
    Log.clear();
    Form->OnShow(Form);
    EXPECT_EQ(Log, "show;");
}

TEST_F(FormStorage, MinMaxInfoFillsTheWindowLimits) {
    TFormPlacement* P = MakePlacement();
    P->MinMaxInfo()->SetMinTrackWidth(120);
    P->MinMaxInfo()->SetMaxTrackHeight(700);
    TMinMaxInfo Info;
    Info.ptMinTrackSize = {1, 2};
    Info.ptMaxTrackSize = {3, 4};
    Form->Perform(WM_GETMINMAXINFO, 0, LPARAM(&Info));
    EXPECT_EQ(Info.ptMinTrackSize, TPoint(120, 2));
    EXPECT_EQ(Info.ptMaxTrackSize, TPoint(3, 700));
}

TEST_F(FormStorage, StoredPropsRoundTripUnderComponentUnderscoreProperty) {
    Form = new TForm(nullptr);
    auto* Probe = new TProbeComp(Form);
    Probe->SetName("od");
    auto* S = new TFormStorage(Form);
    S->SetUseRegistry(true);
    S->SetIniSection(SettingsSection);
    S->SetOptions({});
    S->StoredProps()->SetText("od.Visible\nod.InitialDir\nMissing.Tag\nod . Tag\nod.Ratio\n"
                              "od.Align\nod.Opts\nod.Lines\nbroken");
    S->Loaded();
    EXPECT_EQ(S->StoredProps()->Count(), 7); // the missing component and "broken" dropped

    Probe->Visible = false;
    Probe->Dir = "/home/x";
    Probe->SetTag(7);
    Probe->Align = 2;
    Probe->Opts = 5;
    Probe->Lines.SetText("a\nb");
    FormatSettings().DecimalSeparator = ',';
    Probe->Ratio = 1.5;
    S->RestoreFormState();
    S->SaveFormState();
    FormatSettings().DecimalSeparator = '.';
    EXPECT_EQ(RegValue(SettingsSection, "FormVersion"), "0");
    EXPECT_EQ(RegValue(SettingsSection, "od_Visible"), "False");
    EXPECT_EQ(RegValue(SettingsSection, "od_InitialDir"), "/home/x");
    EXPECT_EQ(RegValue(SettingsSection, "od_Tag"), "7");
    EXPECT_EQ(RegValue(SettingsSection, "od_Ratio"), "1.5");
    EXPECT_EQ(RegValue(SettingsSection, "od_Align"), "alLeft");
    EXPECT_EQ(RegValue(SettingsSection, "od_Opts"), "[oA,oC]");
    EXPECT_EQ(RegValue(SettingsSection + ".od_Lines", "Count"), "2");
    EXPECT_EQ(RegValue(SettingsSection + ".od_Lines", "Item1"), "b");
    EXPECT_EQ(RegValue(SettingsSection, "NormPos"), "<none>");

    PutRegValue(SettingsSection, "od_Visible", "tRUE");
    PutRegValue(SettingsSection, "od_Align", "nonsense");
    PutRegValue(SettingsSection, "od_Opts", "[oB, unknown]");
    Probe->Visible = false;
    Probe->Dir.clear();
    Probe->SetTag(0);
    Probe->Ratio = 0;
    Probe->Opts = 0;
    Probe->Lines.Clear();
    S->RestoreFormState();
    EXPECT_TRUE(Probe->Visible);
    EXPECT_EQ(Probe->Dir, "/home/x");
    EXPECT_EQ(Probe->Tag(), 7);
    EXPECT_DOUBLE_EQ(Probe->Ratio, 1.5);
    EXPECT_EQ(Probe->Align, 2); // unknown name: unchanged
    EXPECT_EQ(Probe->Opts, 2u);
    ASSERT_EQ(Probe->Lines.Count(), 2);
    EXPECT_EQ(Probe->Lines.Strings(1), "b");

    delete Probe; // a freed component leaves the list
    EXPECT_EQ(S->StoredProps()->Count(), 0);
}

TEST_F(FormStorage, StoredValuesAndIniQuoting) {
    Form = new TForm(nullptr);
    auto* S = new TFormStorage(Form);
    const std::string IniName = TempFolder() + "/qm_form_storage_test.ini";
    DeleteFile(IniName);
    S->SetIniFileName(IniName);
    S->SetIniSection("Main");
    S->SetOptions({});
    TStoredValue* A = S->StoredValues()->Add();
    A->SetName("Secret");
    A->KeyString = "k";
    A->Value = "abc";
    TStoredValue* B = S->StoredValues()->Add();
    try {
        B->SetName("SECRET");
        FAIL() << "duplicate accepted";
    } catch (const EStringListError& E) {
        EXPECT_STREQ(E.what(), "La liste de chaînes n'autorise pas les doublons");
    }
    B->SetName("Quoted");
    B->Value = "\"x\"";
    S->RestoreFormState();
    S->SaveFormState();
    TIniFile Ini(IniName);
    EXPECT_EQ(Ini.ReadString("Main", "Secret", ""), XorToHex("k", "abc"));
    A->Value.clear();
    B->Value.clear();
    S->RestoreFormState();
    EXPECT_EQ(A->Value, "abc");
    EXPECT_EQ(B->Value, "\"x\"");
    DeleteFile(IniName);
}

} // namespace

namespace {

TEST_F(FormStorage, DefaultNamesRootsAndPreventResize) {
    Form = new TForm(nullptr);
    auto* P = new TFormPlacement(Form);
    EXPECT_EQ(P->IniSection(), "TForm");
    EXPECT_EQ(P->IniFileName(), ChangeFileExt(ApplicationExeName(), ".INI"));
    P->SetUseRegistry(true);
    EXPECT_EQ(P->IniFileName(), DefaultRegistryKey());
    EXPECT_EQ(P->Options(), TPlacementOptions({fpState, fpPosition}));
    auto* Probe = new TProbeComp(Form);
    Probe->SetName("Helper");
    auto* Inner = new TFormPlacement(Probe);
    EXPECT_EQ(Inner->IniSection(), "TForm.Helper");
    EXPECT_TRUE(Inner->Options().Empty());

    // Another root: the same relative key under HKEY_LOCAL_MACHINE.
    P->SetRegistryRoot(prLocalMachine);
    P->SetIniSection("Place");
    P->WriteStoredString("Probe", "x");
    TRegistry R;
    R.SetRootKey(HKEY_LOCAL_MACHINE);
    ASSERT_TRUE(R.OpenKey(DefaultRegistryKey() + "\\Place", false));
    EXPECT_EQ(R.ReadString("Probe"), "x");
    R.CloseKey();
    R.DeleteKey(DefaultRegistryKey());
    EXPECT_EQ(RegValue("Place", "Probe"), "<no key>");

    // Preventing resizes takes the maximise icon away and blocks the frame.
    P->Loaded();
    P->SetPreventResize(true);
    EXPECT_FALSE(Form->BorderIcons().Contains(biMaximize));
    Form->Show();
    TMinMaxInfo Info;
    Form->Perform(WM_GETMINMAXINFO, 0, LPARAM(&Info));
    EXPECT_EQ(Info.ptMinTrackSize, TPoint(Form->Width(), Form->Height()));
    EXPECT_EQ(Info.ptMaxTrackSize, TPoint(Form->Width(), Form->Height()));
    P->SetPreventResize(false);
    EXPECT_TRUE(Form->BorderIcons().Contains(biMaximize));
}

TEST_F(FormStorage, StateAndActiveControlRoundTrip) {
    TFormPlacement* P = MakePlacement();
    P->SetOptions({fpState, fpPosition, fpActiveControl});
    auto* Edit = new TCustomControl(Form);
    Edit->SetName("Edit1");
    Edit->SetParent(Form);
    Form->Show();
    P->RestoreFormState();
    Form->SetActiveControl(Edit);
    Form->SetWindowState(wsMaximized);
    P->SaveFormState();
    EXPECT_EQ(RegValue(PlacementSection, "ShowCmd"), "3");
    EXPECT_EQ(RegValue(PlacementSection, "ActiveControl"), "Edit1");
    // Maximised windows sit at minus their frame.
    EXPECT_EQ(RegValue(PlacementSection, "MinMaxPos").substr(6), "-4,-4");
    Form->SetWindowState(wsNormal);
    Form->SetActiveControl(nullptr);
    P->RestoreFormState();
    EXPECT_EQ(Form->WindowState(), wsMaximized);
    EXPECT_EQ(Form->ActiveControl(), Edit);
}

} // namespace
