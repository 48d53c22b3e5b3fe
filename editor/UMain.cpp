#include "editor/UMain.h"

#include "editor/MainBuild.h"
#include "editor/UPreview.h"

#include "editor/BuiltinPictures.h"
#include "raster/Color32.h"

#include <algorithm>
#include <tuple>

#include "banner/RecentFiles.h"
#include "editor/ShellLinks.h"
#include "platform/base/Exception.h"
#include "platform/base/FileNames.h"
#include "platform/base/Rounding.h"
#include "platform/forms/Application.h"
#include "platform/forms/Screen.h"
#include "platform/graphics/Graphic.h"
#include "platform/system/Registry.h"

TMainform* Mainform = nullptr;

using namespace mainform;

namespace {
constexpr Word VK_F7 = VK_F1 + 6;
}

TMainform::TMainform(TComponent* AOwner) : TForm(AOwner) {
    SetName("Mainform");
    SetCaption(TBannerDocument::ProgramTitle);
    SetBounds(0, 0, 1000, 700);
    SetPosition(poScreenCenter);
    SetKeyPreview(true);
    BuildControls();
    BuildMenus();
    LoadPictures();
    FeedQuickHelp();
    FitCoolBar();
    OnCreate = [this](TObject* S) { FormCreate(S); };
    OnResize = [this](TObject* S) { FormResize(S); };
    OnKeyDown = [this](TObject* S, Word& K, TShiftState Sh) { FormKeyDown(S, K, Sh); };
    OnCloseQuery = [this](TObject* S, bool& C) { FormCloseQuery(S, C); };
    // A change event is news, not an edit: the views follow the document and
    // its modified flag stays as the document holds it.
    Doc.OnChange = [this](TObject*) { DocumentChanged(); };
}

TMainform::~TMainform() {
    BeforeDestruction();
    if (Mainform == this) Mainform = nullptr;
}

TMenuItem* TMainform::AddItem(TMenuItem* Parent, const std::string& Caption, TNotifyEvent OnClick,
                              TShortCut Short) {
    TMenuItem* Item = new TMenuItem(this);
    Item->SetCaption(Caption);
    if (Short != scNone) Item->SetShortCut(Short);
    Item->OnClick = std::move(OnClick);
    Parent->Add(Item);
    return Item;
}

TLabel* TMainform::AddLink(const std::string& Caption, int Top, TNotifyEvent OnClick) {
    TLabel* L = MakeLabel(this, HeadPanel, Caption, 40, Top, 400, 18);
    L->Font()->SetColor(LinkColor);
    L->SetCursor(crHandPoint);
    L->OnClick = std::move(OnClick);
    L->OnMouseEnter = [L](TObject*) {
        L->Font()->SetColor(LinkHotColor);
        L->Invalidate();
    };
    L->OnMouseLeave = [L](TObject*) {
        L->Font()->SetColor(LinkColor);
        L->Invalidate();
    };
    return L;
}

void TMainform::BuildControls() {
    // Tool bars.
    CoolBar = MakePanel(this, this, "CoolBar", alTop, 66);
    ToolBar1 = Make<TToolBar>(this, CoolBar, "ToolBar1");
    ToolBar1->SetAlign(alTop);
    ToolBar1->SetShowCaptions(true);
    ToolBar1->SetFlat(true);
    // Room for a picture above each caption.
    ToolBar1->SetButtonHeight(38);
    ToolBar1->SetHeight(40);
    auto Tool = [this](const std::string& Name, const std::string& Caption,
                       TToolButtonStyle Style = tbsButton) {
        TToolButton* B = Make<TToolButton>(this, ToolBar1, Name);
        B->SetCaption(Caption);
        B->SetStyle(Style);
        return B;
    };
    Tbnew = Tool("Tbnew", "   &Nouveau   ");
    Tbopen = Tool("Tbopen", "&Ouvrir", tbsDropDown);
    Tbsave = Tool("Tbsave", "&Enregistrer");
    Tbsave->SetEnabled(false);
    tbsep = Tool("tbsep", "", tbsSeparator);
    tbhelp = Tool("tbhelp", "&Help");
    Tbnew->OnClick = [this](TObject* S) { NewCmd(S); };
    Tbopen->OnClick = [this](TObject* S) { OpenCmd(S); };
    Tbsave->OnClick = [this](TObject* S) { SaveCmd(S); };
    tbhelp->OnClick = [this](TObject* S) { HelpCmd(S); };

    // The bar holds exactly its visible tool bars: hiding one gives its
    // room back to the page.
    ToolBar1->WindowProc = [this, Old = ToolBar1->WindowProc](TMessage& M) {
        Old(M);
        if (M.Msg == CM_VISIBLECHANGED) FitCoolBar();
    };
    MenuToolBar = Make<TToolBar>(this, CoolBar, "MenuToolBar");
    MenuToolBar->SetAlign(alTop);
    MenuToolBar->SetShowCaptions(true);
    MenuToolBar->SetFlat(true);

    // Start page.
    welcomepanel = MakePanel(this, this, "welcomepanel", alClient);
    welcomepanel->SetColor(clWhite);
    WelShape = Make<TShape>(this, welcomepanel, "WelShape");
    HeadPanel = Make<TPanel>(this, welcomepanel, "HeadPanel");
    HeadPanel->SetCaption("");
    HeadPanel->SetBevelOuter(bvNone);
    HeadPanel->SetColor(clWhite);
    HeadPanel->SetBounds(150, 60, 560, 380);
    HeadPanel->SetVisible(false);
    WelShape->SetBounds(149, 59, 562, 382);
    headwelcome = Make<TImage>(this, HeadPanel, "headwelcome");
    headwelcome->SetBounds(0, 0, 560, 40);
    welcometitle = new TLabel(this);
    welcometitle->SetName("welcometitle");
    welcometitle->SetParent(HeadPanel);
    welcometitle->SetCaption("Quelle action souhaitez-vous effectuer ?");
    // Over the heading's gradient, which an opaque label would cut with a
    // white block.
    welcometitle->SetTransparent(true);
    welcometitle->SetBounds(20, 10, 500, 20);
    lnknew = AddLink("Créer une nouvelle bannière", 60, [this](TObject* S) { NewCmd(S); });
    lnkexample =
        AddLink("Créer une nouvelle bannière à partir d'exemples prêts", 90, [this](TObject*) {
            if (OnNewFromExample) OnNewFromExample();
        });
    lnkopen = AddLink("Ouvrir une bannière existante", 120, [this](TObject* S) { OpenCmd(S); });
    lnkhelp = AddLink("Rubriques d'aide en ligne", 150, [this](TObject* S) { HelpCmd(S); });
    RecentLab = new TLabel(this);
    RecentLab->SetName("RecentLab");
    RecentLab->SetParent(HeadPanel);
    RecentLab->SetCaption(RecentFilesHeading);
    RecentLab->SetBounds(20, 190, 300, 18);
    TLabel** Recent[RecentFileCount] = {&fl1, &FL2, &FL3, &FL4};
    const char* RecentNames[RecentFileCount] = {"fl1", "FL2", "FL3", "FL4"};
    for (int I = 0; I < RecentFileCount; ++I) {
        *Recent[I] = AddLink("", 215 + 25 * I, [this](TObject* S) { OpenRecentCmd(S); });
        (*Recent[I])->SetName(RecentNames[I]);
        (*Recent[I])->SetTag(I);
        // A long name ends in "…" at the block's edge instead of being cut.
        (*Recent[I])->SetAutoSize(false);
        (*Recent[I])->SetWidth(HeadPanel->Width() - (*Recent[I])->Left() - 10);
        (*Recent[I])->SetEllipsisPosition(epEndEllipsis);
    }

    // Preview page.
    Previewpanel = MakePanel(this, this, "Previewpanel", alClient);
    Previewpanel->SetVisible(false);
    prvexportbtn = MakeButton(this, Previewpanel, "prvexportbtn", "Exportation GIF", 10, 10, 130);
    prvexportbtn->OnClick = [this](TObject* S) { ExportCmd(S); };
    closeprvbtn = MakeButton(this, Previewpanel, "closeprvbtn", "&Fermer", 150, 10, 90);
    closeprvbtn->OnClick = [this](TObject* S) { CloseprvbtnClick(S); };
    // A banner larger than the frame scrolls in it, so that no part of
    // the animation is out of sight.
    prvpan = Make<TScrollBox>(this, Previewpanel, "prvpan");
    prvpan->SetBounds(10, 50, 900, 500);
    prv = Make<TImage32>(this, prvpan, "prv");

    // Design page.
    mainpanel = MakePanel(this, this, "mainpanel", alClient);
    mainpanel->SetVisible(false);
    SidePanel = MakePanel(this, mainpanel, "SidePanel", alRight, 240);
    // The side panels run the page's full height: the canvas, its tool row
    // and the items panel share the rest, so every side panel is reachable
    // at the window's first size.
    TPanel* Work = MakePanel(this, mainpanel, "workpanel", alClient);
    pantop = MakePanel(this, Work, "pantop", alTop, 36);
    ExportBtn = MakeButton(this, pantop, "ExportBtn", "Exportation GIF", 8, 6, 130);
    ExportBtn->OnClick = [this](TObject* S) { ExportCmd(S); };
    Previewanimbtn = MakeButton(this, pantop, "Previewanimbtn", "&Aperçu", 146, 6, 90);
    Previewanimbtn->OnClick = [this](TObject* S) { PreviewCmd(S); };
    refreshbtn = MakeButton(this, pantop, "refreshbtn", "Actualiser l'aperçu", 244, 6, 140);
    refreshbtn->SetVisible(false);
    refreshbtn->OnClick = [this](TObject* S) { PcChange(S); };
    Image3 = Make<TImage>(this, pantop, "Image3");
    Image3->SetBounds(400, 10, 16, 16);
    Image3->OnClick = [this](TObject* S) { ItemsPanelArrowClick(S); };
    Image5 = Make<TImage>(this, pantop, "Image5");
    Image5->SetBounds(400, 10, 16, 16);
    Image5->SetVisible(false);
    Image5->OnClick = [this](TObject* S) { ItemsPanelArrowClick(S); };

    panelitems = MakePanel(this, Work, "panelitems", alBottom, 260);
    Pages = Make<TPageControl>(this, panelitems, "Pages");
    Pages->SetAlign(alClient);
    auto Page = [this](TPageControl* Control, const std::string& Name, const std::string& Caption) {
        TTabSheet* T = new TTabSheet(this);
        T->SetName(Name);
        T->SetPageControl(Control);
        T->SetCaption(Caption);
        return T;
    };
    auto Pair = [this](TTabSheet* Sheet, const std::string& Outer, const std::string& Inner,
                       TPanel*& O, TPanel*& I) {
        O = MakePanel(this, Sheet, Outer, alClient);
        I = Make<TPanel>(this, O, Inner);
        I->SetCaption("");
        I->SetBevelOuter(bvNone);
        I->SetBounds(0, 0, 700, 220);
    };
    tsTexts = Page(Pages, "tsTexts", "Textes");
    Pair(tsTexts, "pnltexts", "pantext", pnltexts, pantext);
    tsImages = Page(Pages, "tsImages", "Images");
    Pair(tsImages, "pnlimages", "panimage", pnlimages, panimage);
    tsAnim = Page(Pages, "tsAnim", "Animation");
    Pair(tsAnim, "pbanim", "Pananim", pbanim, Pananim);
    BuildTextsPage();
    BuildImagesPage();
    BuildAnimationPage();
    // Each page's controls sit in a panel as large as they need, with the
    // margin they keep from its top left, so that centring the panel
    // centres them.
    for (TPanel* Inner : {pantext, panimage, Pananim}) {
        int Right = 0, Bottom = 0;
        for (int I = 0; I < Inner->ControlCount(); ++I) {
            const TControl* C = Inner->Controls(I);
            Right = std::max(Right, C->Left() + C->Width());
            Bottom = std::max(Bottom, C->Top() + C->Height());
        }
        if (Right > 0) Inner->SetBounds(0, 0, Right + 8, Bottom + 8);
    }

    pc = Make<TPageControl>(this, Work, "pc");
    pc->SetAlign(alClient);
    tsDesign = Page(pc, "tsDesign", "Conception");
    tsPreview = Page(pc, "tsPreview", "Aperçu");
    // The pages are switched from code only: no tab shows.
    tsDesign->SetTabVisible(false);
    tsPreview->SetTabVisible(false);
    anim = Make<TImage32>(this, tsPreview, "anim");
    anim->SetBounds(8, 8, 760, 250);
    pc->OnChange = [this](TObject* S) { PcChange(S); };
    // With no tab showing there is nothing for the keyboard to land on.
    pc->SetTabStop(false);
    box = Make<TScrollBox>(this, tsDesign, "box");
    box->SetAlign(alClient);
    img32 = Make<TImage32>(this, box, "img32");
    img32->SetBounds(0, 0, Doc.BannerWidth, Doc.BannerHeight);
    BuildCanvas();
    tlv = Make<TListView>(this, box, "tlv");
    tlv->SetVisible(false);
    ilv = Make<TListView>(this, box, "ilv");
    ilv->SetVisible(false);

    // Side panels: the heading and its O/C pair toggle the panel.
    panelback = MakePanel(this, SidePanel, "panelback", alTop, PanelBackExpanded);
    pnlbord = MakePanel(this, SidePanel, "pnlbord", alTop, PanelBordExpanded);
    ScrollBox1 = Make<TScrollBox>(this, SidePanel, "ScrollBox1");
    ScrollBox1->SetAlign(alClient);
    Pnlhelp = MakePanel(this, ScrollBox1, "Pnlhelp", alTop, PanelHelpExpanded);
    // Tab follows the page as it is read: the work area, then the side
    // panels from the top, where the borders panel sits.
    Work->SetTabOrder(0);
    pnlbord->SetTabOrder(0);
    auto Heading = [this](TPanel* Panel, const std::string& Head, const std::string& Img,
                          const std::string& Lab, const std::string& Caption, TImage*& Image,
                          TLabel*& Label, const std::string& OName, const std::string& CName,
                          TImage*& O, TImage*& C) {
        TPanel* H = MakePanel(this, Panel, Head, alTop, 16);
        Image = Make<TImage>(this, H, Img);
        Image->SetAlign(alClient);
        Label = new TLabel(this);
        Label->SetName(Lab);
        Label->SetParent(H);
        Label->SetCaption(Caption);
        Label->SetTransparent(true); // over the heading's gradient
        Label->SetBounds(4, 1, 150, 14);
        O = Make<TImage>(this, H, OName);
        O->SetBounds(H->Width() - 18, 1, 14, 14);
        O->SetVisible(false);
        C = Make<TImage>(this, H, CName);
        C->SetBounds(H->Width() - 18, 1, 14, 14);
        for (TControl* Ctl : {static_cast<TControl*>(Image), static_cast<TControl*>(Label),
                              static_cast<TControl*>(O), static_cast<TControl*>(C)}) {
            Ctl->SetTag(reinterpret_cast<std::intptr_t>(Panel));
            Ctl->OnClick = [this](TObject* S) { TogglePanel(S); };
        }
        return H;
    };
    Headback = Heading(panelback, "Headback", "Headbackimage", "Headbacklab", "Arrière-plan",
                       Headbackimage, Headbacklab, "O1", "C1", O1, C1);
    Headbord = Heading(pnlbord, "Headbord", "Headbordimage", "headbordlab", "Bordures",
                       Headbordimage, headbordlab, "O2", "C2", O2, C2);
    HeadHelp = Heading(Pnlhelp, "HeadHelp", "HeadHelpimage", "headhelplab", "Aide rapide",
                       HeadHelpimage, headhelplab, "O3", "cC3", O3, cC3);
    Help = new TLabel(this);
    Help->SetName("Help");
    Help->SetParent(Pnlhelp);
    Help->SetBounds(6, 22, 220, 160);
    extimage = Make<TImage>(this, ScrollBox1, "extimage");
    extimage->SetVisible(false);
    BuildBackgroundPanel();
    BuildBorderPanel();

    Statusbar = Make<TStatusBar>(this, this, "Statusbar");
    Statusbar->SetAlign(alBottom);
    TStatusPanel* P0 = Statusbar->Panels()->Add();
    P0->SetWidth(500);
    P0->SetText(MainHelpStatus);
    TStatusPanel* P1 = Statusbar->Panels()->Add();
    P1->SetWidth(50);
    P1->SetAlignment(taCenter);

    // Dialogs.
    const std::string DocFilter = "Fichier Quillomark (*.qmkf)|*.qmkf";
    od = Make<TOpenDialog>(this, nullptr, "od");
    od->Filter = DocFilter;
    od->DefaultExt = "qmkf";
    sd = Make<TSaveDialog>(this, nullptr, "sd");
    sd->Filter = DocFilter;
    sd->DefaultExt = "qmkf";
    spd = Make<TSaveDialog>(this, nullptr, "spd");
    spd->Filter = "Image Gif (*.gif)|*.gif";
    spd->DefaultExt = "gif";
    spd->Title = "Exportation GIF";
    spd->Options.Include(ofOverwritePrompt);
    obg = Make<TOpenPictureDialog>(this, nullptr, "obg");
    obg->Title = "Charger une image";
    cd = Make<TColorDialog>(this, nullptr, "cd");
    opd = Make<TOpenPictureDialog>(this, nullptr, "opd");

    auto MakeTimer = [this](const std::string& Name) {
        TTimer* T = Make<TTimer>(this, nullptr, Name);
        T->SetEnabled(false);
        return T;
    };
    Timer1 = MakeTimer("Timer1");
    Timer2 = MakeTimer("Timer2");
    SampleTimer = MakeTimer("SampleTimer");
    tim = MakeTimer("tim");
    cop = Make<TSysColorPicker>(this, nullptr, "cop");
    cop->SetOnTimer([this](TObject* S) { copTimer(S); });
    BuildBalloons();

    // Inactive and ini-based until the creation handler switches them.
    fs = Make<TFormStorage>(this, nullptr, "fs");
    fs->SetIniSection("Software\\Quillomark\\Mainform Settings");
    fs->SetUseRegistry(false);
    fs->SetActive(false);
    // The placement is fp's: fs keeps only its stored properties.
    fs->SetOptions({});
    fs->StoredProps()->SetText(
        "Statusbar.Visible\nod.InitialDir\nTimer1.Tag\nTimer2.Tag\nToolBar1.Visible\n"
        "SampleTimer.Tag\ncloseprvbtn.Tag\nImage3.Tag\nO1.Visible\nO2.Visible\nO3.Visible\n"
        "C1.Visible\nC2.Visible\ncC3.Visible\npanelback.Height\npnlbord.Height\n"
        "Pnlhelp.Height\ntim.Tag\n");
    fp = Make<TFormPlacement>(this, nullptr, "fp");
    fp->SetIniSection("Software\\Quillomark\\MainForm Placement v5");
    fp->SetUseRegistry(false);
    fp->SetActive(false);
}

void TMainform::BuildMenus() {
    MainMenu1 = Make<TUiMainMenu>(this, nullptr, "MainMenu1");
    MainMenu1->SetStyle(msItemPainter);
    MainMenu1->SetImages(ImageList1);
    // Every entry in Arial, blue; the entry under the pointer keeps the
    // highlight's own text colour, as blue on the highlight cannot be read.
    MainMenu1->OnGetItemParams = [](TMenu*, TMenuItem*, TMenuOwnerDrawState State, TFont* AFont,
                                    TColor&, TGraphic*&, int&) {
        AFont->SetName("Arial");
        if (!State.Contains(mdSelected)) AFont->SetColor(TColor(0xFF0000));
    };
    TMenuItem* Root = MainMenu1->Items();
    auto Top = [this, Root](const std::string& Caption) { return AddItem(Root, Caption, nullptr); };
    auto Nothing = [](TObject*) {};
    const TShortCut Ctrl = scCtrl;

    Fichier1 = Top("&Fichier");
    Nouveau1 = AddItem(
        Fichier1, "&Nouveau...", [this](TObject* S) { NewCmd(S); }, Ctrl | 'N');
    NewFromExample1 = AddItem(Fichier1, "Nouveau à partir d'un &exemple...", [this](TObject*) {
        if (OnNewFromExample) OnNewFromExample();
    });
    Ouvrir1 = AddItem(
        Fichier1, "&Ouvrir", [this](TObject* S) { OpenCmd(S); }, Ctrl | 'O');
    Recents1 = AddItem(Fichier1, "Ouvrir les &fichiers récents", nullptr);
    for (int I = 0; I < RecentFileCount; ++I) {
        MI[I] = AddItem(Recents1, "", [this](TObject* S) { OpenRecentCmd(S); });
        MI[I]->SetName("MI" + std::to_string(I + 1));
        MI[I]->SetTag(I);
    }
    Fermer1 = AddItem(Fichier1, "Fe&rmer", [this](TObject* S) { CloseCmd(S); });
    Sv = AddItem(
        Fichier1, "&Enregister", [this](TObject* S) { SaveCmd(S); }, Ctrl | 'S');
    SaveAs1 = AddItem(Fichier1, "Enregistrer &sous...", [this](TObject* S) { SaveAsCmd(S); });
    Wizard1 = AddItem(Fichier1, "Assistant Bannière rapide", Nothing);
    AddItem(Fichier1, "-", nullptr);
    Quitter1 = AddItem(
        Fichier1, "&Quitter", [this](TObject* S) { QuitCmd(S); }, Ctrl | 'Q');

    Edition1 = Top("&Edition");
    Edition1->SetVisible(false);
    Annuler1 = AddItem(Edition1, "&Annuler", Nothing, Ctrl | 'Z');

    Affichage1 = Top("&Affichage");
    ToolBarItem = AddItem(Affichage1, "Barre d'&outils",
                          [this](TObject*) { ToolBar1->SetVisible(!ToolBar1->Visible()); });
    StatusBarItem = AddItem(Affichage1, "Barre d'é&tat",
                            [this](TObject*) { Statusbar->SetVisible(!Statusbar->Visible()); });
    AddItem(Affichage1, "-", nullptr);
    BackPanelItem = AddItem(Affichage1, "Panneau d'a&rrière-plan", [this](TObject*) {
        SetPanelExpanded(panelback, !PanelExpanded(panelback));
    });
    BordPanelItem = AddItem(Affichage1, "Panneau de &bordures", [this](TObject*) {
        SetPanelExpanded(pnlbord, !PanelExpanded(pnlbord));
    });
    HelpPanelItem = AddItem(Affichage1, "Panneau d'&aide", [this](TObject*) {
        SetPanelExpanded(Pnlhelp, !PanelExpanded(Pnlhelp));
    });
    AddItem(Affichage1, "-", nullptr);
    Options1 = AddItem(Affichage1, "&Options...", Nothing);

    Outils1 = Top("&Outils");
    Resize1 = AddItem(Outils1, "Modifier la &taille", [this](TObject*) {
        if (OnResizeBanner) OnResizeBanner();
    });
    PreviewItem = AddItem(
        Outils1, "&Aperçu de l'animation GIF", [this](TObject* S) { PreviewCmd(S); }, VK_F7);
    ExportItem = AddItem(
        Outils1, "Exportation &GIF", [this](TObject* S) { ExportCmd(S); }, Ctrl | 'E');

    Aide1 = Top("Ai&de");
    Documentation1 = AddItem(
        Aide1, "&Documentation", [this](TObject* S) { HelpCmd(S); }, VK_F1);
    Exemples1 = AddItem(Aide1, "Exemples", nullptr);
    Exemple11 = AddItem(Exemples1, "Exemple1", Nothing);
    GettingStarted1 = AddItem(Aide1, "Bien démarrer avec Quillomark Free", Nothing);
    AddItem(Aide1, "-", nullptr);
    Infobulles1 = AddItem(Aide1, "Infobulles",
                          [this](TObject*) { Infobulles1->SetChecked(!Infobulles1->Checked()); });
    Infobulles1->SetChecked(true);
    AddItem(Aide1, "-", nullptr);
    SiteWeb1 = AddItem(Aide1, "&Site web", [this](TObject* S) { WebCmd(S); });
    Contact1 = AddItem(Aide1, "Contact", nullptr);
    ContactForm1 =
        AddItem(Contact1, "Formulaire de contact", [this](TObject* S) { ContactCmd(S); });
    Email1 = AddItem(Contact1, "&Email", [this](TObject* S) { MailCmd(S); });
    AddItem(Aide1, "-", nullptr);
    About1 = AddItem(Aide1, "À &propos de Quillomark Free", [this](TObject*) {
        if (OnAbout) OnAbout();
    });

    // The tool bar buttons that stand in for a menu bar.
    struct TMenuButton {
        TToolButton** Button;
        const char* Name;
        TMenuItem* Item;
        void (TMainform::*Refresh)();
    };
    const TMenuButton Buttons[] = {
        {&mbFile, "mbFile", Fichier1, &TMainform::FileMenuPopup},
        {&mbEdit, "mbEdit", Edition1, nullptr},
        {&mbView, "mbView", Affichage1, &TMainform::ViewMenuPopup},
        {&mbTools, "mbTools", Outils1, &TMainform::ToolsMenuPopup},
        {&mbHelp, "mbHelp", Aide1, nullptr},
    };
    for (const TMenuButton& M : Buttons) {
        TToolButton* B = Make<TToolButton>(this, MenuToolBar, M.Name);
        B->SetCaption(M.Item->Caption());
        B->SetVisible(M.Item->Visible());
        TMenuItem* Item = M.Item;
        auto Refresh = M.Refresh;
        B->OnClick = [this, B, Item, Refresh](TObject*) {
            if (Refresh != nullptr) (this->*Refresh)();
            const TPoint P = MenuToolBar->ClientToScreen(TPoint{B->Left(), B->Top() + B->Height()});
            // Left and Right walk along the bar, as along a menu bar.
            PopupMenuItems(Item, P.X, P.Y, paLeft, [this, B](bool Next) {
                const int N = MenuToolBar->ButtonCount();
                int I = 0;
                while (I < N && MenuToolBar->Buttons(I) != B)
                    ++I;
                for (int Step = 1; Step < N; ++Step) {
                    TToolButton* To = MenuToolBar->Buttons((I + (Next ? Step : N - Step)) % N);
                    if (To->Visible() && To->Enabled()) {
                        To->Click();
                        return;
                    }
                }
            });
        };
        *M.Button = B;
    }

    RecentsPopMenu = Make<TPopupMenu>(this, nullptr, "RecentsPopMenu");
    for (int I = 0; I < RecentFileCount; ++I) {
        MIP[I] = AddItem(RecentsPopMenu->Items(), "", [this](TObject* S) { OpenRecentCmd(S); });
        MIP[I]->SetName("MIP" + std::to_string(I + 1));
        MIP[I]->SetTag(I);
    }
    RecentsPopMenu->OnPopup = [this](TObject*) { FillRecentFiles(); };
    Tbopen->SetDropdownMenu(RecentsPopMenu);
}

void TMainform::FitCoolBar() {
    int H = 0;
    for (TToolBar* B : {ToolBar1, MenuToolBar})
        if (B != nullptr && B->Visible()) H += B->Height();
    CoolBar->SetHeight(H);
}

void TMainform::CenterHeadPanel() {
    HeadPanel->SetLeft(std::max(1, (welcomepanel->ClientWidth() - HeadPanel->Width()) / 2));
    HeadPanel->SetTop(std::max(1, (welcomepanel->ClientHeight() - HeadPanel->Height()) / 2));
    WelShape->SetBounds(HeadPanel->Left() - 1, HeadPanel->Top() - 1, HeadPanel->Width() + 2,
                        HeadPanel->Height() + 2);
}

void TMainform::LoadPictures() {
    auto Put = [](TProgramIcon Icon, int Size, TPersistent* Dest) {
        TBitmap32 B;
        DrawProgramIcon(Icon, Size, B);
        B.AssignTo(Dest);
    };
    auto List = [&](const std::string& Name, std::initializer_list<TProgramIcon> Icons) {
        TImageList* L = Make<TImageList>(this, nullptr, Name);
        L->SetSize(16, 16);
        for (TProgramIcon I : Icons) {
            TBitmap Bmp;
            Put(I, 16, &Bmp);
            L->Add(&Bmp, nullptr);
        }
        return L;
    };
    // The tool bar: new, open, save, help.
    ImageList2 = List("ImageList2", {piNew, piOpen, piSave, piHelp});
    ToolBar1->SetImages(ImageList2);
    Tbnew->SetImageIndex(0);
    Tbopen->SetImageIndex(1);
    Tbsave->SetImageIndex(2);
    tbhelp->SetImageIndex(3);
    // The menu, one picture per command that has one.
    const std::pair<TMenuItem*, TProgramIcon> Items[] = {
        {Nouveau1, piNew},      {NewFromExample1, piExample},
        {Ouvrir1, piOpen},      {Fermer1, piClose},
        {Sv, piSave},           {Quitter1, piQuit},
        {Resize1, piResize},    {PreviewItem, piPreview},
        {ExportItem, piExport}, {Documentation1, piHelp},
        {SiteWeb1, piWeb},      {Email1, piMail},
        {About1, piAbout}};
    ImageList1 = Make<TImageList>(this, nullptr, "ImageList1");
    ImageList1->SetSize(16, 16);
    for (const auto& [Item, Icon] : Items) {
        TBitmap Bmp;
        Put(Icon, 16, &Bmp);
        Item->SetImageIndex(ImageList1->Add(&Bmp, nullptr));
    }
    MainMenu1->SetImages(ImageList1);
    // Pictures drawn over the ground they sit on (a picture control shows
    // its picture opaque). The side panels' arrows lie on the headings'
    // gradient, one pixel below its top.
    auto PutOver = [](TProgramIcon Icon, TImage* Image, auto Ground) {
        TBitmap32 B;
        B.SetDimensions(Image->Width(), Image->Height());
        for (int Y = 0; Y < B.Height(); ++Y)
            std::fill_n(B.ScanLine(Y), B.Width(), Ground(Y));
        PaintProgramIcon(Icon, B);
        B.AssignTo(Image->Picture());
    };
    const auto Heading = [](int Y) { return HeaderGradientRow(Y + 1, 16, clBtnFace); };
    const auto Face = [](int) { return ToColor32(clBtnFace); };
    const auto White = [](int) { return ToColor32(clWhite); };
    for (TImage* O : {O1, O2, O3})
        PutOver(piExpand, O, Heading);
    for (TImage* C : {C1, C2, cC3})
        PutOver(piCollapse, C, Heading);
    PutOver(piExpand, Image3, Face);
    PutOver(piCollapse, Image5, Face);
    // The start page's links.
    const std::tuple<TLabel*, TProgramIcon, const char*> Links[] = {
        {lnknew, piNew, "imgnew"},
        {lnkexample, piExample, "imgexample"},
        {lnkopen, piOpen, "imgopen"},
        {lnkhelp, piHelp, "imghelp"}};
    for (const auto& [Link, Icon, Name] : Links) {
        TImage* I = Make<TImage>(this, HeadPanel, Name);
        I->SetBounds(Link->Left() - 22, Link->Top(), 16, 16);
        I->SetCursor(crHandPoint);
        I->OnClick = Link->OnClick;
        PutOver(Icon, I, White);
    }
}

// ---------------------------------------------------------------- first run

bool TMainform::IsFirstRun() {
    bool First = true;
    try {
        TRegIniFile Reg("");
        Reg.SetRootKey(HKEY_LOCAL_MACHINE);
        if (!Reg.OpenKey("\\Software\\QuillomarkFree", true)) return true;
        First = Reg.ReadBool("v503", "FI", true);
        if (First) {
            try {
                Reg.WriteBool("v503", "FI", false);
            } catch (const Exception&) {
                // The machine key may be read-only for this user: the flag
                // then stays set, which only repeats the first-run welcome.
            }
        }
    } catch (const Exception&) {
        return true;
    }
    return First;
}

// ---------------------------------------------------------------- creation

void TMainform::FormCreate(TObject*) {
    for (TFormPlacement* P : {static_cast<TFormPlacement*>(fp), static_cast<TFormPlacement*>(fs)}) {
        P->SetUseRegistry(true);
        P->SetActive(true);
        P->Loaded();
    }
    Commands.Close(false);
    ShowStartPage();
    opd->InitialDir = ApplicationFolder() + "Library";
    TextEffectCombo->SetItemIndex(0);
    ImageEffectCombo->SetItemIndex(0);
    LoadEditors();
    FormResize(this);
    Doc.ValueEffects = {};
    Doc.FirstTextEffect = 0;
    Doc.BannerFormat = 0;
    Pnlhelp->SetAlign(alTop);
    pnlbord->SetTop(0);
    PaintPanelHeaders();
    FItemsHeight = panelitems->Height();
    FillRecentFiles();
    Doc.BannerWidth = 468;
    Doc.BannerHeight = 60;
}

void TMainform::CenterInner(TControl* Outer, TControl* Inner) {
    // In a page narrower than its controls they start at its left and top
    // edges, so that the first ones stay within reach.
    Inner->SetLeft(Outer->Left() + std::max(0, Round((Outer->Width() - Inner->Width()) / 2.0)));
    Inner->SetTop(Outer->Top() + std::max(0, Round((Outer->Height() - Inner->Height()) / 2.0)));
}

void TMainform::FormResize(TObject*) {
    if (pbanim == nullptr) return; // resized while the controls are made
    CenterHeadPanel();
    CenterInner(pbanim, Pananim);
    CenterInner(pnlimages, panimage);
    CenterInner(pnltexts, pantext);
    CenterCanvas();
    CenterPreview();
}

TColor32 TMainform::HeaderGradientRow(int D, int H, TColor Target) {
    const int Light[3] = {185, 255, 220};
    const std::int32_t Rgb = ColorToRGB(Target);
    const int To[3] = {Rgb & 0xFF, (Rgb >> 8) & 0xFF, (Rgb >> 16) & 0xFF};
    const int L = Round(H * 0.95);
    // The tail is at least one row high, so a short bitmap never divides by
    // zero.
    const int Tail = std::max(1, Round(H * 0.05));
    int C[3];
    for (int K = 0; K < 3; ++K) {
        const double Span = To[K] - Light[K];
        C[K] = D < L ? Light[K] + Round(Span / L * D) : Light[K] + Round(Span / Tail * (H - D));
        C[K] = std::clamp(C[K], 0, 255);
    }
    return MakeColor32(C[0], C[1], C[2], 255);
}

void TMainform::PaintPanelHeaders() {
    const int H = std::max(1, Headbackimage->Height());
    auto Fill = [H](TBitmap32& B, int W, TColor Target) {
        B.SetDimensions(W, H);
        for (int D = 0; D < H; ++D) {
            const TColor32 C = HeaderGradientRow(D, H, Target);
            std::fill_n(B.ScanLine(D), W, C);
        }
    };
    TBitmap32 Heads;
    Fill(Heads, Headback->Width() + 10, clBtnFace);
    for (TImage* I : {Headbackimage, Headbordimage, HeadHelpimage})
        Heads.AssignTo(I->Picture());
    TBitmap32 Welcome;
    Fill(Welcome, 2000, clWhite);
    Welcome.AssignTo(headwelcome->Picture());
}

// ---------------------------------------------------------------- pages

bool TMainform::StartPageVisible() const {
    return welcomepanel->Visible();
}
bool TMainform::PreviewPageVisible() const {
    return Previewpanel->Visible();
}
bool TMainform::DesignPageVisible() const {
    return mainpanel->Visible();
}

void TMainform::HidePreviewPage() {
    // The page's player goes with it: left running, it would go on painting
    // a hidden picture of a banner that may be closed already.
    FPrvPlayer.Stop();
    Previewpanel->SetVisible(false);
}

void TMainform::ShowStartPage() {
    img32->Bitmap()->SetDimensions(0, 0);
    HidePreviewPage();
    mainpanel->SetVisible(false);
    welcomepanel->SetVisible(true);
    Pages->SetActivePageIndex(0);
    extimage->Picture()->SetGraphic(nullptr);
    UpdateCommands();
    UpdateStatusBar();
    FillRecentFiles();
}

void TMainform::ShowDesignPage() {
    welcomepanel->SetVisible(false);
    HidePreviewPage();
    mainpanel->SetVisible(true);
    Pages->SetActivePageIndex(0);
    CenterCanvas();
    UpdateCommands();
    UpdateStatusBar();
}

void TMainform::UpdateCommands() {
    const bool Open = Doc.Composition != ckNone;
    SetCaption(Doc.Caption());
    Tbsave->SetEnabled(Open && Doc.Modified);
    Sv->SetEnabled(Tbsave->Enabled());
    for (TControl* C : {static_cast<TControl*>(ExportBtn), static_cast<TControl*>(Previewanimbtn),
                        static_cast<TControl*>(prvexportbtn)})
        C->SetEnabled(Open);
    Fermer1->SetEnabled(Open);
    SaveAs1->SetEnabled(Open);
}

void TMainform::UpdateStatusBar() {
    TStatusPanel* P0 = Statusbar->Panels()->Items(0);
    TStatusPanel* P1 = Statusbar->Panels()->Items(1);
    if (DesignPageVisible()) {
        P1->SetText("( " + std::to_string(Doc.BannerWidth) + " x " +
                    std::to_string(Doc.BannerHeight) + " )");
        switch (Doc.Composition) {
        case ckOneText:
            P0->SetText("Composition 1:  (1 Texte)");
            break;
        case ckTwoTextsImage:
            P0->SetText("Composition 2:  (2 Textes + 1 image)");
            break;
        case ckTwoTexts:
            P0->SetText("Composition 3:  (2 Textes)");
            break;
        default:
            P0->SetText(MainHelpStatus);
            break;
        }
    } else {
        P1->SetText("");
        P0->SetText(MainHelpStatus);
    }
}

void TMainform::FillRecentFiles() {
    const TRecentFileNames Names = ReadRecentFiles();
    const auto Items = RecentFileMenuItems(Names);
    const TRecentFileWelcome Welcome = RecentFileWelcomeLabels(Names);
    TLabel* Labels[RecentFileCount] = {fl1, FL2, FL3, FL4};
    for (int I = 0; I < RecentFileCount; ++I) {
        MI[I]->SetCaption(Items[I].Caption);
        MI[I]->SetVisible(Items[I].Visible);
        MIP[I]->SetCaption(Items[I].Caption);
        MIP[I]->SetVisible(Items[I].Visible);
        Labels[I]->SetCaption(Welcome.Labels[I].Caption);
        Labels[I]->SetVisible(Welcome.Labels[I].Visible);
    }
    RecentLab->SetVisible(Welcome.HeadingVisible);
}

void TMainform::RedrawBanner(bool KeepSaveDisabled) {
    if (Doc.Composition == ckNone) return;
    Renderer.RedrawBanner(*img32->Bitmap(), KeepSaveDisabled);
    CenterCanvas(); // the size may have changed (handles, size dialog)
    RefreshElementFrames();
    img32->Invalidate();
    UpdateCommands();
}

void TMainform::DocumentChanged() {
    if (FInChange) return;
    FInChange = true;
    // A change whose showing fails (a line the renderer cannot convert)
    // must not leave the window deaf to every later change.
    struct TLeave {
        bool& Flag;
        ~TLeave() { Flag = false; }
    } Leave{FInChange};
    LoadEditors();
    if (Doc.Composition != ckNone) {
        Renderer.RedrawBanner(*img32->Bitmap(), !Doc.Modified);
        CenterCanvas();
        RefreshElementFrames();
        img32->Invalidate();
    }
    UpdateCommands();
    UpdateStatusBar();
}

// ---------------------------------------------------------------- commands

void TMainform::NewCmd(TObject*) {
    FocusBackgroundKind();
    // The banner is chosen first: a cancelled dialog asks nothing about the
    // open one.
    TNewBannerOptions Options;
    if (OnAskNewBanner && !OnAskNewBanner(Options)) return;
    bool Abort = false;
    Commands.AskSaveChanges(Abort);
    if (Abort) return;
    Doc.NewBanner(Options);
    SampleTimer->SetEnabled(false);
    ShowDesignPage();
    RedrawBanner(true);
    StartEditingHints();
}

void TMainform::OpenCmd(TObject* Sender) {
    FocusBackgroundKind();
    TOpenResult R;
    if (Sender == this) {
        R = Commands.OpenCommandLine(CommandLineFile);
    } else {
        od->FileName.clear();
        R = Commands.OpenWithDialog();
    }
    if (R == TOpenResult::Opened) {
        ShowDesignPage();
        RedrawBanner(true);
        StartEditingHints();
    }
    FillRecentFiles();
}

void TMainform::OpenRecentCmd(TObject* Sender) {
    const auto* C = dynamic_cast<const TComponent*>(Sender);
    if (C == nullptr) return;
    if (Commands.OpenRecent(int(C->Tag())) == TOpenResult::Opened) {
        ShowDesignPage();
        RedrawBanner(true);
        StartEditingHints();
    }
    FillRecentFiles();
}

void TMainform::SaveCmd(TObject*) {
    FocusBackgroundKind();
    if (Commands.Save()) UpdateCommands();
    FillRecentFiles();
}

void TMainform::SaveAsCmd(TObject*) {
    FocusBackgroundKind();
    if (Commands.SaveAs()) UpdateCommands();
    FillRecentFiles();
}

void TMainform::CloseCmd(TObject*) {
    if (!Commands.Close(true)) return;
    ShowStartPage();
}

TPreview& TMainform::PreviewWindow() {
    if (Preview == nullptr) Preview = new TPreview(this);
    if (!Preview->OnStatus) {
        Preview->OnStatus = [this](const std::string& Text) {
            Statusbar->Panels()->Items(0)->SetText(Text);
            Statusbar->Update();
        };
        // The preview window is never shown: its progress bar shows in the
        // status bar while a build runs, painted at each step.
        TProgressBar* Bar = Preview->prog;
        Bar->SetParent(Statusbar);
        Bar->SetBounds(395, 3, 100, std::max(4, Statusbar->Height() - 5));
        Bar->SetVisible(false);
        Preview->OnProgress = [Bar](int) { Bar->Update(); };
    }
    return *Preview;
}

void TMainform::BuildAnimation(bool Optimize) {
    TPreview& P = PreviewWindow();
    struct THideProgress {
        TProgressBar* Bar;
        ~THideProgress() { Bar->SetVisible(false); }
    } Hide{P.prog};
    P.prog->SetPosition(0);
    P.prog->SetVisible(true);
    P.BuildAnimation(Doc);
    if (Optimize) P.OptimizeAnimation();
}

void TMainform::ExportCmd(TObject*) {
    if (Doc.Composition == ckNone) return;
    FocusBackgroundKind();
    ExportBtn->Repaint();
    BuildAnimation(false);
    ExportBtn->Repaint();
    PreviewWindow().OptimizeAnimation();
    // The build stopped the preview page's player with the GIF it replaced:
    // the page plays the new one (the same banner) instead of freezing.
    if (PreviewPageVisible()) FPrvPlayer.Play(PreviewWindow().GifImage(), prv);
    spd->FileName = TAnimationPreview::ExportFileName(Doc);
    if (!spd->Execute()) return;
    try {
        PreviewWindow().Animation.ExportAnimation(spd->FileName);
    } catch (const Exception& E) {
        // The GIF is written beside the target and renamed over it, so a
        // failed export leaves any earlier file as it was.
        MessageDlg("L'animation n'a pas pu être exportée vers « " + spd->FileName + " ».\n" +
                       E.Message(),
                   mtError, {mbOK}, 0);
    }
}

void TMainform::PreviewCmd(TObject*) {
    if (Doc.Composition == ckNone || PreviewPageVisible()) return;
    FPrvPlayer.Stop();
    prv->Bitmap()->Delete();
    Previewpanel->SetVisible(true);
    welcomepanel->SetVisible(false);
    TPreview& P = PreviewWindow();
    BuildAnimation(true);
    const TGIFImage& Gif = P.GifImage();
    // Resized where it lies, so that the frame's scroll range follows the
    // new size before the picture is centred or kept where it was scrolled.
    prv->SetBounds(prv->Left(), prv->Top(), Gif.Width(), Gif.Height());
    FPrvPlayer.Play(P.GifImage(), prv);
    FormResize(this);
    ClosePreviewHint();
    mainpanel->SetVisible(false);
    Timer1->SetEnabled(false);
    Timer2->SetEnabled(false);
    // The status bar keeps what the build left: its closing help text and
    // the banner's size.
}

void TMainform::CloseprvbtnClick(TObject*) {
    HidePreviewPage();
    mainpanel->SetVisible(true);
    StartEditingHints();
    UpdateStatusBar();
}

void TMainform::PcChange(TObject*) {
    refreshbtn->SetEnabled(false);
    FAnimPlayer.Stop();
    if (pc->ActivePage() != tsPreview || Doc.Composition == ckNone) return;
    TPreview& P = PreviewWindow();
    BuildAnimation(true);
    anim->SetBounds(anim->Left(), anim->Top(), P.GifImage().Width(), P.GifImage().Height());
    FAnimPlayer.Play(P.GifImage(), anim);
}

void TMainform::HelpCmd(TObject*) {
    OpenHelpFile();
}
void TMainform::WebCmd(TObject*) {
    OpenShellTarget(QuillomarkSiteUrl);
}
void TMainform::ContactCmd(TObject*) {
    OpenShellTarget(QuillomarkContactUrl);
}
void TMainform::MailCmd(TObject*) {
    OpenShellTarget(std::string("mailto:") + QuillomarkMailAddress);
}
void TMainform::copTimer(TObject*) {}

void TMainform::QuitCmd(TObject*) {
    Close();
}

void TMainform::FormCloseQuery(TObject*, bool& CanClose) {
    bool Abort = false;
    Commands.AskSaveChanges(Abort);
    CanClose = !Abort;
}

void TMainform::FormKeyDown(TObject* Sender, Word& Key, TShiftState Shift) {
    if (Key == VK_F1) {
        HelpCmd(Sender);
        return;
    }
    if (Key == VK_F7) {
        if (Previewanimbtn->Enabled() && !PreviewPageVisible()) PreviewCmd(Sender);
        return;
    }
    if (!(Shift.Contains(ssCtrl) && !Shift.Contains(ssShift) && !Shift.Contains(ssAlt))) return;
    switch (Key) {
    case 'E':
        if (ExportBtn->Enabled()) ExportCmd(Sender);
        break;
    case 'N':
        NewCmd(Sender);
        break;
    case 'O':
        OpenCmd(Sender == this ? nullptr : Sender);
        break;
    case 'S':
        if (Tbsave->Enabled()) SaveCmd(Sender);
        break;
    case 'Q':
        QuitCmd(Sender);
        break;
    default:
        return;
    }
    Key = 0;
}

// ---------------------------------------------------------------- menus

void TMainform::FileMenuPopup() {
    Sv->SetEnabled(Tbsave->Enabled());
    // Another copy of the program may have saved or opened a file since.
    FillRecentFiles();
}

void TMainform::ViewMenuPopup() {
    ToolBarItem->SetChecked(ToolBar1->Visible());
    StatusBarItem->SetChecked(Statusbar->Visible());
    BackPanelItem->SetChecked(PanelExpanded(panelback));
    BordPanelItem->SetChecked(PanelExpanded(pnlbord));
    HelpPanelItem->SetChecked(PanelExpanded(Pnlhelp));
}

void TMainform::ToolsMenuPopup() {
    Resize1->SetEnabled(!StartPageVisible() && !PreviewPageVisible());
    PreviewItem->SetEnabled(Previewanimbtn->Enabled() && !PreviewPageVisible());
    ExportItem->SetEnabled(ExportBtn->Enabled());
}

// ---------------------------------------------------------------- panels

bool TMainform::PanelExpanded(TPanel* Panel) const {
    if (Panel == panelback) return C1->Visible();
    if (Panel == pnlbord) return C2->Visible();
    return cC3->Visible();
}

void TMainform::SetPanelExpanded(TPanel* Panel, bool Expanded) {
    TImage* O = O3;
    TImage* C = cC3;
    int Open = PanelHelpExpanded, Shut = PanelHelpCollapsed;
    if (Panel == panelback) {
        O = O1, C = C1, Open = PanelBackExpanded, Shut = PanelBackCollapsed;
    } else if (Panel == pnlbord) {
        O = O2, C = C2, Open = PanelBordExpanded, Shut = PanelBordCollapsed;
    }
    Panel->SetHeight(Expanded ? Open : Shut);
    O->SetVisible(!Expanded);
    C->SetVisible(Expanded);
}

void TMainform::TogglePanel(TObject* Sender) {
    const auto* C = dynamic_cast<const TComponent*>(Sender);
    if (C == nullptr) return;
    auto* Panel = reinterpret_cast<TPanel*>(C->Tag());
    SetPanelExpanded(Panel, !PanelExpanded(Panel));
}

void TMainform::ItemsPanelArrowClick(TObject*) {
    const bool Hide = panelitems->Visible();
    ShowItemsPanel(!Hide);
    if (Hide) ItemsPanelHint();
}

void TMainform::ShowItemsPanel(bool Shown) {
    panelitems->SetVisible(Shown);
    Image3->SetVisible(Shown);
    Image5->SetVisible(!Shown);
}

// ---------------------------------------------------------------- editors

void TMainform::LoadEditors() {
    LoadTextEditors();
    LoadImageEditors();
    LoadBackgroundEditors();
    LoadAnimationEditors();
}

TColorPickerButton* TMainform::MakeColorButton(TWinControl* Parent, const std::string& Name,
                                               int Left, int Top, TColor Color,
                                               TNotifyEvent OnChange) {
    TColorPickerButton* B = Make<TColorPickerButton>(this, Parent, Name);
    B->SetBounds(Left, Top, 60, 22);
    B->SetSelectionColor(Color);
    B->SetDefaultText("Autres couleurs...");
    B->OnChange = std::move(OnChange);
    B->OnDefaultSelect = [B](TObject*) { ChooseColor(B); };
    return B;
}
