#include "controls/WindowHooks.h"
#include "platform/classes/Filer.h"
#include "platform/classes/Stream.h"
#include "platform/forms/Application.h"
#include "platform/forms/Screen.h"
#include "support/ProbeControl.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr UINT WM_PROBE = WM_USER + 21;
using Strings = std::vector<std::string>;

class WindowHooks : public TProbeTest<WM_PROBE, 3> {
protected:
    void SetUp() override {
        TProbeTest::SetUp();
        Probe->Watched = {WM_CREATE, WM_DESTROY};
    }
    void TearDown() override {
        for (TCtlWindowHook* H : Hooks)
            delete H;
        delete Probe;
        Application->ProcessMessages();
        EXPECT_EQ(ControlHookCount(), 0);
        DoneWindowHooks();
    }
    // A hook logging "<name>.b<msg>" / "<name>.a<msg>" for the probe's
    // messages, handling before the message when Handles is set.
    TCtlWindowHook* Hook(const std::string& Name, bool Handles = false) {
        auto* H = new TCtlWindowHook(nullptr);
        H->BeforeMessage = [this, Name, Handles](TObject*, TMessage& M, bool& Handled) {
            if (M.Msg != WM_PROBE && M.Msg != WM_DESTROY) return;
            Log.push_back(Name + ".b" + std::to_string(M.Msg));
            Handled = Handles;
        };
        H->AfterMessage = [this, Name](TObject*, TMessage& M, bool&) {
            if (M.Msg == WM_PROBE || M.Msg == WM_DESTROY)
                Log.push_back(Name + ".a" + std::to_string(M.Msg));
        };
        H->SetWinControl(Probe);
        Hooks.push_back(H);
        return H;
    }
    std::vector<TCtlWindowHook*> Hooks;
};

const std::string P = std::to_string(WM_PROBE);

TEST_F(WindowHooks, HooksShareOneReplacementAndAreToldLastFirst) {
    TCtlWindowHook* One = Hook("one");
    Hook("two");
    EXPECT_EQ(ControlHookCount(), 1);
    EXPECT_EQ(WindowProcHookCount(Probe, hoBeforeMsg), 1);
    EXPECT_EQ(Probe->Perform(WM_PROBE), 3);
    EXPECT_EQ(Log, (Strings{"two.b" + P, "one.b" + P, "own", "two.a" + P, "one.a" + P}));

    Log.clear();
    One->SetActive(false);
    Probe->Perform(WM_PROBE);
    EXPECT_EQ(Log, (Strings{"two.b" + P, "own", "two.a" + P}));
    One->SetActive(true);
    EXPECT_EQ(ControlHookCount(), 1);
}

TEST_F(WindowHooks, HandledKeepsTheMessageFromTheControlExceptDestroy) {
    Hook("one");
    Hook("two", true);
    EXPECT_EQ(Probe->Perform(WM_PROBE), 0);
    EXPECT_EQ(Log, (Strings{"two.b" + P}));

    Probe->HandleNeeded();
    Log.clear();
    Probe->DestroyHandle();
    EXPECT_EQ(Log, (Strings{"two.b2", "own2", "two.a2", "one.a2"}));
}

TEST_F(WindowHooks, RecreatedWindowKeepsItsHook) {
    Hook("one");
    Probe->HandleNeeded();
    Probe->DestroyHandle();
    Application->ProcessMessages();
    Probe->HandleNeeded();
    Log.clear();
    Probe->Perform(WM_PROBE);
    EXPECT_EQ(Log, (Strings{"one.b" + P, "own", "one.a" + P}));
}

TEST_F(WindowHooks, LastHookLeavingRestoresTheProcedureAndFreesLater) {
    TWndMethod Mine = [this](TMessage& M) {
        if (M.Msg == WM_PROBE) Log.push_back("mine");
    };
    Probe->WindowProc = Mine;
    TCtlWindowHook* One = Hook("one");
    // The hook drops itself while it is being told: nothing may dangle.
    One->BeforeMessage = [&](TObject*, TMessage& M, bool&) {
        if (M.Msg == WM_PROBE) One->SetWinControl(nullptr);
    };
    Probe->Perform(WM_PROBE);
    EXPECT_EQ(ControlHookCount(), 1); // freed from the utility window
    Application->ProcessMessages();
    EXPECT_EQ(ControlHookCount(), 0);
    Log.clear();
    Probe->Perform(WM_PROBE);
    EXPECT_EQ(Log, (Strings{"mine"}));
}

TEST_F(WindowHooks, LeavingUnderALaterSubclassKeepsTheMessagesFlowing) {
    TCtlWindowHook* One = Hook("one");
    TWndMethod Chained = Probe->WindowProc;
    Probe->WindowProc = [&](TMessage& M) {
        if (M.Msg == WM_PROBE) Log.push_back("later");
        Chained(M);
    };
    delete One;
    Hooks.clear();
    Application->ProcessMessages(); // the control hook is freed
    Log.clear();
    EXPECT_EQ(Probe->Perform(WM_PROBE), 3);
    EXPECT_EQ(Log, (Strings{"later", "own"}));
}

TEST_F(WindowHooks, ShutDownWithLiveHooksLeavesNothingDangling) {
    Hook("one");
    DoneWindowHooks();
    Log.clear();
    Probe->Perform(WM_PROBE);
    EXPECT_EQ(Log, (Strings{"own"}));
    // TearDown frees the hook after its control hook is gone.
}

TEST_F(WindowHooks, OwnerFormIsStreamedAsIsForm) {
    RegisterWindowHookClasses();
    auto* H = new TCtlWindowHook(Probe); // owned: freed with the probe
    H->SetWinControl(Probe);
    H->SetActive(false);
    TMemoryStream S;
    WriteComponentToStream(S, H);
    const std::string Bytes(static_cast<const char*>(S.Memory()), std::size_t(S.Size()));
    EXPECT_NE(Bytes.find(std::string("\x06IsForm\x09", 8)), std::string::npos); // True
    EXPECT_NE(Bytes.find(std::string("\x06"
                                     "Active\x08",
                                     8)),
              std::string::npos); // False

    TProbe Other(nullptr, &Log, WM_PROBE, 3);
    TCtlWindowHook Read(&Other);
    S.SetPosition(0);
    ReadComponentFromStream(S, &Read);
    EXPECT_EQ(Read.WinControl(), &Other);
    EXPECT_FALSE(Read.Active());
}

TEST_F(WindowHooks, FreedControlClearsWinControlEvenInsideItsMessage) {
    TCtlWindowHook* One = Hook("one");
    TCtlWindowHook* Two = Hook("two");
    Two->BeforeMessage = [&](TObject*, TMessage& M, bool&) {
        if (M.Msg != WM_PROBE) return;
        delete Probe;
        Probe = nullptr;
    };
    Probe->Perform(WM_PROBE);
    EXPECT_EQ(One->WinControl(), nullptr);
    EXPECT_EQ(Two->WinControl(), nullptr);
}

TEST_F(WindowHooks, ListenerExceptionsGoToTheApplication) {
    std::string Seen;
    Application->OnException = [&](TObject*, const Exception& E) { Seen = E.Message(); };
    TCtlWindowHook* One = Hook("one");
    One->BeforeMessage = [](TObject*, TMessage& M, bool&) {
        if (M.Msg == WM_PROBE) throw EInvalidOperation("listener");
    };
    EXPECT_EQ(Probe->Perform(WM_PROBE), 3);
    Application->OnException = nullptr;
    EXPECT_EQ(Seen, "listener");
    EXPECT_EQ(Log, (Strings{"own", "one.a" + P}));
}

TEST(SupportRoutines, Words) {
    EXPECT_EQ(ExtractWordAt(2, "10,20, 30", " ,"), "20");
    EXPECT_EQ(WordStart(3, "10,20, 30", " ,"), 8);
    EXPECT_EQ(WordStart(4, "10,20, 30", " ,"), 0);
    EXPECT_EQ(ExtractWordAt(0, "a b", " "), "");
    EXPECT_EQ(CountWords("", " "), 0);
    EXPECT_EQ(CountWords(",,a,,bc,", ","), 2);
}

TEST(SupportRoutines, TextHelpers) {
    EXPECT_EQ(ReplaceAll("aaa", "a", "aa"), "aaaaaa"); // inserted text is not rescanned
    EXPECT_EQ(ReplaceAll("a-b-c", "-", ""), "abc");
    EXPECT_EQ(ReplaceAll("abc", "", "x"), "abc");
    EXPECT_EQ(DeleteChars("a.b.c.", '.'), "abc");
    EXPECT_EQ(TrimSpaces("  \tx y\t  "), "\tx y\t");
    EXPECT_EQ(TrimLeftSpaces("   "), "");
    EXPECT_EQ(TrimRightSpaces(" a "), " a");
    EXPECT_EQ(RepeatChar('z', 3), "zzz");
    EXPECT_EQ(RepeatChar('z', -2), "");
}

TEST(SupportRoutines, XorHex) {
    EXPECT_EQ(XorToHex("", "abc"), "616263");
    EXPECT_EQ(XorToHex("k", "abc"), "0a0908"); // 0x61^0x6b, 0x62^0x6b, 0x63^0x6b
    const std::string Text = "Mot de passe \xC3\xA9t\xC3\xA9";
    EXPECT_EQ(XorFromHex("key", XorToHex("key", Text)), Text);
    EXPECT_EQ(XorFromHex("", "41zz42"
                             "4"),
              "A B"); // bad pair reads 32, odd tail ignored
}

TEST(SupportRoutines, ModuleBitmapsAndTheResourceError) {
    TResourceModule Module;
    Module.AddBitmap("Glyph", [] { return std::make_unique<TBitmap>(3, 2); });
    Module.AddBitmap(120, [] { return std::make_unique<TBitmap>(5, 5); });
    auto B = LoadModuleBitmap(&Module, "GLYPH");
    ASSERT_NE(B, nullptr);
    EXPECT_EQ(B->Width(), 3);
    ASSERT_NE(LoadModuleBitmap(&Module, 120), nullptr);
    EXPECT_EQ(LoadModuleBitmap(&Module, 121), nullptr);
    EXPECT_EQ(LoadModuleBitmap(nullptr, "OBM_CHECK"), nullptr);
    try {
        CreateModuleBitmap(&Module, 121);
        FAIL();
    } catch (const EResNotFound& E) {
        EXPECT_EQ(E.Message(), "Ressource 121 non trouvée");
    }
}

TEST(SupportRoutines, StartUpSetsCursorsAndTheLongYearFlag) {
    InitForms();
    InitWindowHooks("dd/MM/yyyy");
    EXPECT_TRUE(LongYearDateFormat);
    EXPECT_NE(Screen->Cursors(crCtlHand), Screen->Cursors(crArrow));
    EXPECT_NE(Screen->Cursors(crCtlDrag), Screen->Cursors(crCtlHand));
    InitWindowHooks("d/M/yy");
    EXPECT_FALSE(LongYearDateFormat);
    DoneWindowHooks();
}

} // namespace
