#include "syscomp/TrayIcon.h"

#include "VisTestSupport.h"
#include "platform/classes/Filer.h"
#include "platform/classes/Stream.h"
#include "platform/forms/Application.h"
#include "platform/forms/ComCtrls.h"
#include "platform/forms/Menus.h"
#include "platform/graphics/Bitmap.h"
#include "platform/graphics/Icon.h"
#include "platform/system/PeResources.h"
#include "syscomp/SysRegistration.h"
#include "syscomp/SysUtilities.h"

#include <gtest/gtest.h>

namespace {

class SysTrayIconTest : public ::testing::Test {
protected:
    SysTrayIconTest() : Scope(&Fake) {}
    // The desktop sends the callback message with the event in LParam.
    void Shell(TSysTrayIcon& T, LPARAM Event) {
        SendMessage(T.Handle(), WM_SYSTRAYICON, WPARAM(T.IconID()), Event);
    }
    TDesktopFake Fake;
    TSysBackendScope Scope;
};

TEST_F(SysTrayIconTest, ShowHideAndIconIdChange) {
    std::vector<std::string> events; // outlives the icon, whose end fires OnHide
    TSysTrayIcon tray(nullptr);
    tray.SetName("Tray");
    tray.OnShow = [&](TObject*) { events.push_back("show"); };
    tray.OnHide = [&](TObject*) { events.push_back("hide"); };
    tray.SetIconID(3);
    EXPECT_TRUE(Fake.Tray.empty()); // hidden: nothing to tell
    tray.SetVisible(true);
    ASSERT_EQ(Fake.Tray.size(), 1u);
    const TSysNotifyIconData& d = Fake.Tray[0].Data;
    EXPECT_EQ(d.Size, 488u);
    EXPECT_EQ(d.Wnd, tray.Handle());
    EXPECT_EQ(d.CallbackMessage, 1235u);
    EXPECT_EQ(d.Flags, NIF_MESSAGE | NIF_TIP | NIF_ICON);
    // A visible icon moves to its new identifier: deleted, then added again.
    tray.SetIconID(7);
    EXPECT_EQ(Fake.TrayLog(), (std::vector<std::string>{"add 3", "delete 3", "add 7"}));
    EXPECT_EQ(Fake.Tray[1].Data.Flags, NIF_MESSAGE | NIF_TIP);
    EXPECT_EQ(events, (std::vector<std::string>{"show", "hide", "show"}));
    tray.SetHint("tip");
    EXPECT_EQ(Fake.TrayLog().back(), "modify 7");
    EXPECT_EQ(Fake.Tray.back().Data.Tip, "tip");
    tray.SetShowHint(false);
    EXPECT_EQ(Fake.Tray.back().Data.Tip, "");
    // The task bar came back: the icon is added again.
    SendMessage(tray.Handle(), SysRegisterWindowMessage("TaskbarCreated"));
    EXPECT_EQ(Fake.TrayLog().back(), "add 7");
    EXPECT_EQ(SendMessage(tray.Handle(), WM_QUERYENDSESSION), 1);
    Fake.Tray.clear();
    // Destruction takes the icon away.
    {
        TSysTrayIcon other(nullptr);
        other.SetVisible(true);
    }
    EXPECT_EQ(Fake.TrayLog(), (std::vector<std::string>{"add 0", "delete 0"}));
}

TEST_F(SysTrayIconTest, TipAndBalloonAreCutByCharacters) {
    TSysTrayIcon tray(nullptr);
    std::string hint;
    for (int i = 0; i < 200; ++i)
        hint += i % 2 ? "a" : "\xC3\xA9"; // é: two bytes, one character
    tray.SetHint(hint);
    EXPECT_EQ(Fake.Tray.back().Data.Tip, SysCutText(hint, 127));
    EXPECT_EQ(SysCutText(hint, 127).size(), 64u * 2 + 63);
    SetSysOSVersionForTesting(5); // before 2000: the small record
    tray.SetHint(hint + "x");
    EXPECT_EQ(Fake.Tray.back().Data.Size, 88u);
    EXPECT_EQ(Fake.Tray.back().Data.Tip, SysCutText(hint, 63));
    const size_t before = Fake.Tray.size();
    tray.ShowBalloon(); // no balloons there
    EXPECT_EQ(Fake.Tray.size(), before);
    SetSysOSVersionForTesting(-1);

    tray.SetInfoText(std::string(300, 't'));
    tray.SetInfoTitle(std::string(100, 'T'));
    tray.SetInfoTimeout(3000);
    tray.SetInfoType(tiiWarning);
    tray.ShowBalloon();
    const TSysNotifyIconData& d = Fake.Tray.back().Data;
    EXPECT_EQ(Fake.Tray.back().Command, stcModify);
    EXPECT_EQ(d.Flags, NIF_INFO);
    EXPECT_EQ(d.Info.size(), 255u);
    EXPECT_EQ(d.InfoTitle.size(), 63u);
    EXPECT_EQ(d.Timeout, 3000u);
    EXPECT_EQ(d.InfoFlags, 2u);
}

TEST_F(SysTrayIconTest, FailuresNameTheComponent) {
    TSysTrayIcon tray(nullptr);
    tray.SetName("Tray1");
    Fake.ThrowOnTray = true;
    try {
        tray.SetVisible(true);
        FAIL() << "no error";
    } catch (const ESysTrayIcon& e) {
        EXPECT_EQ(e.Message(), "Tray1.InsertToTray failed");
    }
    try {
        tray.HideIcon();
        FAIL() << "no error";
    } catch (const ESysTrayIcon& e) {
        EXPECT_EQ(e.Message(), "Tray1.DeleteFromTray failed");
    }
}

TEST_F(SysTrayIconTest, MouseMessagesBecomeEventsInOrder) {
    TSysTrayIcon tray(nullptr);
    TPopupMenu menu(nullptr);
    int popups = 0;
    menu.OnPopup = [&](TObject*) { ++popups; };
    tray.SetPopupMenu(&menu);
    std::vector<std::string> log;
    tray.OnMouseDown = [&](TObject*, TMouseButton b, TShiftState s, int, int) {
        log.push_back("down" + std::to_string(b) + (s.Contains(ssLeft) ? "L" : ""));
    };
    tray.OnMouseUp = [&](TObject*, TMouseButton b, TShiftState, int, int) {
        log.push_back("up" + std::to_string(b));
    };
    tray.OnClick = [&](TObject*) { log.push_back("click"); };
    tray.OnDblClick = [&](TObject*) { log.push_back("dbl"); };
    tray.OnPopupMenu = [&](TObject*) { log.push_back("popup"); };
    tray.OnBalloonClick = [&](TObject*) { log.push_back("balloon"); };

    Shell(tray, WM_LBUTTONDOWN);
    Shell(tray, WM_LBUTTONUP);
    EXPECT_EQ(log, (std::vector<std::string>{"down0L", "up0", "click"}));
    log.clear();
    // A double click brings no second click.
    tray.SetPopupByLeft(true);
    Shell(tray, WM_LBUTTONDBLCLK);
    Shell(tray, WM_LBUTTONUP);
    EXPECT_EQ(log, (std::vector<std::string>{"dbl", "up0", "popup"}));
    log.clear();
    Shell(tray, WM_RBUTTONDOWN);
    Shell(tray, WM_RBUTTONUP);
    Shell(tray, NIN_BALLOONUSERCLICK);
    EXPECT_EQ(log, (std::vector<std::string>{"down1", "up1", "popup", "balloon"}));
    EXPECT_EQ(popups, 2);
    EXPECT_EQ(menu.PopupComponent(), &tray);
    log.clear();
    tray.SetEnabled(false);
    Shell(tray, WM_LBUTTONDOWN);
    EXPECT_TRUE(log.empty());
    tray.SetEnabled(true);

    // With an auto-popup menu, a double click runs its default item.
    tray.SetPopupByLeft(false);
    auto* item = new TMenuItem(&menu);
    item->SetDefault(true);
    int chosen = 0;
    item->OnClick = [&](TObject*) { ++chosen; };
    menu.Items()->Add(item);
    Shell(tray, WM_LBUTTONDBLCLK);
    EXPECT_EQ(chosen, 1);
    EXPECT_EQ(log, (std::vector<std::string>{"dbl"}));
    // A menu that goes away is forgotten.
    tray.SetPopupMenu(nullptr);
    {
        TPopupMenu gone(nullptr);
        tray.SetPopupMenu(&gone);
    }
    EXPECT_EQ(tray.PopupMenu(), nullptr);
}

TEST_F(SysTrayIconTest, CyclingWalksTheImagesAndWraps) {
    TManualClock clock;
    TSysTrayIcon tray(nullptr);
    int cycles = 0;
    tray.OnCycleIcons = [&](TObject*) { ++cycles; };
    tray.SetCycleIcons(true);
    clock.Advance(200);
    EXPECT_EQ(cycles, 1); // no image list: only the event
    TImageList images(nullptr);
    images.SetWidth(16);
    images.SetHeight(16);
    TBitmap bmp;
    bmp.SetPixelFormat(pf24bit);
    bmp.SetSize(16, 16);
    for (int i = 0; i < 3; ++i)
        images.Add(&bmp, nullptr);
    tray.SetImageList(&images);
    std::vector<int> seen;
    tray.OnCycleIcons = [&](TObject*) { seen.push_back(tray.ImageIndex()); };
    for (int i = 0; i < 4; ++i)
        clock.Advance(200);
    EXPECT_EQ(seen, (std::vector<int>{1, 2, 0, 1}));
    EXPECT_EQ(Fake.TrayLog().back(), "modify 0");
    EXPECT_FALSE(tray.Icon()->Empty());
    tray.SetCycleIcons(false);
    clock.Advance(1000);
    EXPECT_EQ(seen.size(), 4u);
}

TEST_F(SysTrayIconTest, ReadFromAStreamItShowsOnceWhenLoaded) {
    InitSysComponents();
    TMemoryStream m;
    {
        TSysTrayIcon tray(nullptr);
        tray.SetName("Tray");
        tray.SetIconID(4);
        tray.SetHint("h");
        tray.SetInfoType(tiiError);
        tray.SetVisible(true);
        TWriter(m).WriteRootComponent(&tray);
    }
    Fake.Tray.clear();
    m.SetPosition(0);
    TSysTrayIcon copy(nullptr);
    TReader(m).ReadRootComponent(&copy);
    EXPECT_EQ(Fake.TrayLog(), (std::vector<std::string>{"add 4"}));
    EXPECT_EQ(Fake.Tray[0].Data.Tip, "h");
    EXPECT_EQ(copy.InfoType(), tiiError);
    EXPECT_TRUE(copy.Visible());
}

// The icon travels as "Icon.Data" unless an image list gives it; the image
// list and the popup menu travel as references, found again by name.
TEST_F(SysTrayIconTest, IconAndReferencesTravelInTheStream) {
    InitSysComponents();
    struct TRoot : TComponent {
        using TComponent::TComponent;
        void GetChildren(const TGetChildProc& Proc, TComponent*) override {
            for (int i = 0; i < ComponentCount(); ++i)
                Proc(Components(i));
        }
    };
    auto build = [](TRoot& root) {
        root.SetName("Form");
        auto* images = new TImageList(&root);
        images->SetName("Images");
        auto* menu = new TPopupMenu(&root);
        menu->SetName("Menu");
        auto* tray = new TSysTrayIcon(&root);
        tray->SetName("Tray");
        return tray;
    };
    TRoot form(nullptr);
    TSysTrayIcon* tray = build(form);
    std::vector<std::uint8_t> px(16 * 16 * 4, 0x7F);
    const std::vector<std::uint8_t> ico = MakeIconFile(16, 16, px.data());
    TMemoryStream icoStream;
    icoStream.WriteBuffer(ico.data(), std::int64_t(ico.size()));
    icoStream.SetPosition(0);
    TIcon icon;
    icon.LoadFromStream(icoStream);
    tray->SetIcon(&icon);
    tray->SetPopupMenu(static_cast<TPopupMenu*>(form.FindComponent("Menu")));
    TMemoryStream m;
    TWriter(m).WriteRootComponent(&form);

    TRoot copy(nullptr);
    TSysTrayIcon* read = build(copy);
    m.SetPosition(0);
    TReader(m).ReadRootComponent(&copy);
    EXPECT_EQ(read->PopupMenu(), copy.FindComponent("Menu"));
    EXPECT_EQ(read->ImageList(), nullptr);
    ASSERT_EQ(read->Icon()->Width(), 16);
    EXPECT_EQ(read->Icon()->Image().Bits[0], 0x7F);

    // With an image list the icon is not written; the list is named.
    tray->SetImageList(static_cast<TImageList*>(form.FindComponent("Images")));
    TMemoryStream m2;
    TWriter(m2).WriteRootComponent(&form);
    const std::string bytes(static_cast<const char*>(m2.Memory()), std::size_t(m2.Size()));
    EXPECT_EQ(bytes.find("Icon.Data"), std::string::npos);
    EXPECT_NE(bytes.find("\x09ImageList\x07\x06Images"), std::string::npos);
    TRoot copy2(nullptr);
    TSysTrayIcon* read2 = build(copy2);
    m2.SetPosition(0);
    TReader(m2).ReadRootComponent(&copy2);
    EXPECT_EQ(read2->ImageList(), copy2.FindComponent("Images"));
}

TEST_F(SysTrayIconTest, MinimizeToTrayAndBack) {
    InitForms();
    TSysTrayIcon tray(nullptr);
    tray.SetMinimizeToTray(true);
    int minimised = 0;
    tray.OnMinimize = [&](TObject*) { ++minimised; };
    // The application window reports its minimisation.
    SendMessage(Application->Handle(), WM_SIZE, SIZE_MINIMIZED);
    EXPECT_EQ(minimised, 1);
    EXPECT_TRUE(tray.Visible());
    EXPECT_EQ(Fake.TrayLog(), (std::vector<std::string>{"add 0"}));
    SendMessage(Application->Handle(), WM_SIZE, SIZE_RESTORED);
    EXPECT_EQ(minimised, 1);
    tray.SetVisible(false);
    EXPECT_EQ(Fake.TrayLog().back(), "delete 0");
}

} // namespace

namespace {

TEST(SysDefaultBackend, ReportsHonestlyWithoutADesktop) {
    // Offscreen there is no notification area and no start button.
    TSysBackend backend;
    TSysNotifyIconData d;
    d.ID = 1;
    EXPECT_FALSE(backend.ShellNotifyIcon(stcAdd, d));
    EXPECT_FALSE(backend.ShellNotifyIcon(stcModify, d));
    EXPECT_FALSE(backend.ShellNotifyIcon(stcDelete, d));
    TRect r;
    EXPECT_FALSE(backend.StartButtonRect(r));
}

} // namespace
