#pragma once
// TMainform: the editor window. It owns the one banner document, the
// document commands and the canvas renderer, and shows exactly one of three
// pages: the start page (no banner open), the design page and the preview
// page. Every control writes the document at once and redraws the canvas
// through RedrawBanner; there is no apply step.
//
// The main menu is not the window's menu bar: MenuToolBar's buttons pop its
// menus up, so the window handles the shortcuts itself in FormKeyDown.
// Shell actions (help guide, web pages, mail) go through the platform's
// shell service (editor/ShellLinks.h).
#include <functional>
#include <memory>
#include <string>

#include "banner/AnimationBuilder.h"
#include "banner/BannerDocument.h"
#include "banner/BannerRenderer.h"
#include "banner/DocumentCommands.h"
#include "controls/ColorPickerButton.h"
#include "controls/FontComboBox.h"
#include "controls/FormStorage.h"
#include "controls/SpinEdit.h"
#include "menus/BalloonHint.h"
#include "menus/StyledMenu.h"
#include "platform/forms/ComCtrls.h"
#include "platform/forms/Dialogs.h"
#include "platform/forms/ExtCtrls.h"
#include "platform/forms/Forms.h"
#include "platform/forms/Menus.h"
#include "platform/forms/StdCtrls.h"
#include "platform/forms/Timer.h"
#include "editor/GifImageTarget.h"
#include "raster/RasterImage.h"
#include "syscomp/ScreenColorPicker.h"

class TPreview;

constexpr const char* MainHelpStatus = "Pour obtenir de l'aide, appuyez sur 'F1'.";

// Expanded and collapsed heights of the side panels.
constexpr int PanelBackExpanded = 227, PanelBackCollapsed = 16;
constexpr int PanelBordExpanded = 109, PanelBordCollapsed = 16;
constexpr int PanelHelpExpanded = 188, PanelHelpCollapsed = 19;

// Link labels of the start page.
constexpr TColor LinkColor = 0x02A474;
constexpr TColor LinkHotColor = 0x03E7A3;

class TMainform : public TForm {
public:
    QM_CLASSNAME(TMainform)
    explicit TMainform(TComponent* AOwner);
    ~TMainform() override;

    // ---- Document.
    TBannerDocument Doc;
    TDocumentCommands Commands{Doc};
    TBannerRenderer Renderer{Doc};
    // The hidden window that holds the last built animation (made at
    // start-up; made here on first use when the window runs alone).
    TPreview* Preview = nullptr;
    TPreview& PreviewWindow();

    // ---- Tool bars and menus.
    TPanel* CoolBar = nullptr;
    TToolBar* ToolBar1 = nullptr;
    TToolButton *Tbnew = nullptr, *Tbopen = nullptr, *Tbsave = nullptr, *tbsep = nullptr,
                *tbhelp = nullptr;
    TToolBar* MenuToolBar = nullptr;
    TToolButton *mbFile = nullptr, *mbEdit = nullptr, *mbView = nullptr, *mbTools = nullptr,
                *mbHelp = nullptr;
    TUiMainMenu* MainMenu1 = nullptr;
    // Pictures of the menu (ImageList1) and of the tool bar (ImageList2).
    TImageList *ImageList1 = nullptr, *ImageList2 = nullptr;
    TMenuItem *Fichier1 = nullptr, *Nouveau1 = nullptr, *NewFromExample1 = nullptr,
              *Ouvrir1 = nullptr, *Recents1 = nullptr, *Fermer1 = nullptr, *Sv = nullptr,
              *SaveAs1 = nullptr, *Wizard1 = nullptr, *Quitter1 = nullptr;
    TMenuItem* MI[4] = {};
    TMenuItem *Edition1 = nullptr, *Annuler1 = nullptr;
    TMenuItem *Affichage1 = nullptr, *ToolBarItem = nullptr, *StatusBarItem = nullptr,
              *BackPanelItem = nullptr, *BordPanelItem = nullptr, *HelpPanelItem = nullptr,
              *Options1 = nullptr;
    TMenuItem *Outils1 = nullptr, *Resize1 = nullptr, *PreviewItem = nullptr, *ExportItem = nullptr;
    TMenuItem *Aide1 = nullptr, *Documentation1 = nullptr, *Exemples1 = nullptr,
              *Exemple11 = nullptr, *GettingStarted1 = nullptr, *Infobulles1 = nullptr,
              *SiteWeb1 = nullptr, *Contact1 = nullptr, *ContactForm1 = nullptr, *Email1 = nullptr,
              *About1 = nullptr;
    TPopupMenu* RecentsPopMenu = nullptr;
    TMenuItem* MIP[4] = {};

    // ---- Start page.
    TPanel* welcomepanel = nullptr;
    TShape* WelShape = nullptr;
    TPanel* HeadPanel = nullptr;
    TImage* headwelcome = nullptr;
    TLabel *welcometitle = nullptr, *lnknew = nullptr, *lnkexample = nullptr, *lnkopen = nullptr,
           *lnkhelp = nullptr, *RecentLab = nullptr;
    TLabel *fl1 = nullptr, *FL2 = nullptr, *FL3 = nullptr, *FL4 = nullptr;

    // ---- Preview page.
    TPanel* Previewpanel = nullptr;
    TButton *prvexportbtn = nullptr, *closeprvbtn = nullptr;
    TScrollBox* prvpan = nullptr;
    TImage32* prv = nullptr;

    // ---- Design page.
    TPanel* mainpanel = nullptr;
    TPanel* pantop = nullptr;
    TButton *ExportBtn = nullptr, *Previewanimbtn = nullptr, *refreshbtn = nullptr;
    TImage *Image3 = nullptr, *Image5 = nullptr;
    TPageControl* pc = nullptr;
    TTabSheet *tsDesign = nullptr, *tsPreview = nullptr;
    TImage32* anim = nullptr;
    TScrollBox* box = nullptr;
    TImage32* img32 = nullptr;
    // Hover frames (on the canvas) and the size frame with its handles (in
    // box, around the canvas).
    TShape *cadre = nullptr, *cadre2 = nullptr, *cadre3 = nullptr, *cadre4 = nullptr,
           *cadre5 = nullptr;
    TShape *shap = nullptr, *Shape1 = nullptr, *Shape2 = nullptr, *Shape3 = nullptr,
           *Shape4 = nullptr;
    TListView *tlv = nullptr, *ilv = nullptr;
    TPanel* panelitems = nullptr;
    TPageControl* Pages = nullptr;
    TTabSheet *tsTexts = nullptr, *tsImages = nullptr, *tsAnim = nullptr;
    TPanel *pnltexts = nullptr, *pantext = nullptr, *pnlimages = nullptr, *panimage = nullptr,
           *pbanim = nullptr, *Pananim = nullptr;

    // ---- "Textes" page (MainTexts.cpp).
    TListBox* Texts = nullptr;
    TTreeView* Values = nullptr;
    TLabel* TxtLabel = nullptr;
    TEdit* Txt = nullptr;
    TColorPickerButton* ct = nullptr;
    TButton *Button13 = nullptr, *dxButton2 = nullptr; // "..." and "x" of ct
    TFontComboBox* fontbox = nullptr;
    TComboBox* Stylecombo = nullptr;
    TToolBar* StyleBar = nullptr;
    TToolButton *bold = nullptr, *italic = nullptr;
    TCtlSpinEdit* fsize = nullptr;
    TCheckBox* shadowbox = nullptr;
    TRadioButton *autoPos = nullptr, *custom = nullptr; // "auto" and "custom"
    TCtlSpinEdit *textposx = nullptr, *textposy = nullptr;
    TComboBox* TextEffectCombo = nullptr;
    TCheckBox* three = nullptr;

    // ---- "Images" page (MainImages.cpp).
    TListBox* Images = nullptr;
    TButton *addimagebtn = nullptr, *supimagebtn = nullptr;
    TButton *LoadImageBtn = nullptr, *ClipArtBtn = nullptr;
    TCheckBox* Imgtrans = nullptr;
    TColorPickerButton* transclimg = nullptr;
    TButton *TransDotsBtn = nullptr, *Button17 = nullptr; // "..." and "x" of transclimg
    TCtlSpinEdit *imgx = nullptr, *imgy = nullptr, *scal = nullptr;
    TComboBox* ImageEffectCombo = nullptr;

    // ---- "Animation" page (MainAnimation.cpp).
    TRadioButton *forever = nullptr, *noforever = nullptr;
    TCtlSpinEdit* loops = nullptr;
    TComboBox* effectcombo = nullptr;
    TTrackBar* Slider = nullptr;

    // ---- Side panels.
    TPanel* SidePanel = nullptr;
    TPanel *panelback = nullptr, *Headback = nullptr, *pnlbord = nullptr, *Headbord = nullptr;
    TImage *Headbackimage = nullptr, *Headbordimage = nullptr, *HeadHelpimage = nullptr;
    TLabel *Headbacklab = nullptr, *headbordlab = nullptr, *headhelplab = nullptr;
    TImage *O1 = nullptr, *C1 = nullptr, *O2 = nullptr, *C2 = nullptr, *O3 = nullptr,
           *cC3 = nullptr;
    TScrollBox* ScrollBox1 = nullptr;
    TPanel *Pnlhelp = nullptr, *HeadHelp = nullptr;
    TLabel* Help = nullptr;
    TImage* extimage = nullptr;

    // ---- Background panel (MainBackground.cpp). rbcomposed and its
    // pickers stay hidden: that kind comes only from documents.
    TRadioButton *rbColor = nullptr, *rbTexture = nullptr, *rbgrad = nullptr, *rbcomposed = nullptr,
                 *rbImage = nullptr;
    TColorPickerButton *Cl = nullptr, *cg1 = nullptr, *cg2 = nullptr, *cc1 = nullptr,
                       *cc2 = nullptr;
    TButton *ClDotsBtn = nullptr, *Button16 = nullptr; // "..." and "x" of Cl
    TButton *cg1DotsBtn = nullptr, *cg2DotsBtn = nullptr, *cc1DotsBtn = nullptr,
            *cc2DotsBtn = nullptr;
    TButton* Button3 = nullptr; // "Modifier": the template window
    TCheckBox *dxH = nullptr, *dxV = nullptr;
    TButton* LoadBgBtn = nullptr;
    // ---- Border panel.
    TCheckBox *BrLeft = nullptr, *BrRight = nullptr, *BrTop = nullptr, *BrBottom = nullptr;
    TColorPickerButton* clbord = nullptr;
    TButton *clbordDotsBtn = nullptr, *Button2 = nullptr; // "..." and "x" of clbord

    TStatusBar* Statusbar = nullptr;

    // Settings kept between runs: stored properties and window placement.
    TFormStorage* fs = nullptr;
    TFormPlacement* fp = nullptr;

    // ---- Dialogs and timers.
    TOpenDialog* od = nullptr;
    TSaveDialog* sd = nullptr;
    TSaveDialog* spd = nullptr;
    TOpenPictureDialog* obg = nullptr;
    TColorDialog* cd = nullptr;
    TOpenPictureDialog* opd = nullptr;
    // Guidance balloon timers: their behaviour comes with the balloons.
    TTimer *Timer1 = nullptr, *Timer2 = nullptr, *SampleTimer = nullptr, *tim = nullptr;
    // The screen colour picker: it ticks for as long as the window lives,
    // into a handler with nothing to do; nothing of the program reads it.
    TSysColorPicker* cop = nullptr;
    void copTimer(TObject* Sender);

    // ---- Hooks for the windows built elsewhere. Each returns false when
    // the user cancelled. Unset, the new banner takes the dialog's start
    // values and the banner-size, example and about commands do nothing.
    std::function<bool(TNewBannerOptions& Options)> OnAskNewBanner;
    std::function<void()> OnResizeBanner;
    std::function<void()> OnNewFromExample;
    std::function<void()> OnAbout;
    // The template window: shows it on the document; true when it ended
    // with OK (the document then holds the new template).
    std::function<bool()> OnEditTemplate;
    // The load-image and clip-art windows for image slot Slot (0..2): true
    // when Picture received a new picture.
    std::function<bool(int Slot, TBitmap32& Picture)> OnLoadImage;
    std::function<bool(TBitmap32& Picture)> OnClipArt;

    // The command-line document, when there is one (start-up passes it).
    std::string CommandLineFile;

    // ---- First run.
    // Reads the first-run flag of the machine and clears it.
    static bool IsFirstRun();

    // ---- Commands.
    void FormCreate(TObject* Sender);
    void FormResize(TObject* Sender);
    void FormKeyDown(TObject* Sender, Word& Key, TShiftState Shift);
    void FormCloseQuery(TObject* Sender, bool& CanClose);
    void NewCmd(TObject* Sender);
    // Sender == this opens CommandLineFile.
    void OpenCmd(TObject* Sender);
    void OpenRecentCmd(TObject* Sender);
    void SaveCmd(TObject* Sender);
    void SaveAsCmd(TObject* Sender);
    void CloseCmd(TObject* Sender);
    void ExportCmd(TObject* Sender);
    void PreviewCmd(TObject* Sender);
    void CloseprvbtnClick(TObject* Sender);
    void HelpCmd(TObject* Sender);
    void WebCmd(TObject* Sender);
    void ContactCmd(TObject* Sender);
    void MailCmd(TObject* Sender);
    void QuitCmd(TObject* Sender);
    void PcChange(TObject* Sender);
    // Builds the document's animation in the preview window (and optimises
    // it when asked) with the preview's progress bar `prog` advancing in
    // the status bar; the bar is hidden again also when the build fails.
    void BuildAnimation(bool Optimize);

    // Menu refresh before a menu opens.
    void FileMenuPopup();
    void ViewMenuPopup();
    void ToolsMenuPopup();

    // Side panels and the items panel.
    bool PanelExpanded(TPanel* Panel) const;
    void SetPanelExpanded(TPanel* Panel, bool Expanded);
    void TogglePanel(TObject* Sender);
    void ItemsPanelArrowClick(TObject* Sender);
    // Shows or hides the items panel, with the arrow that does the other.
    void ShowItemsPanel(bool Shown);

    // ---- Views of the document.
    // An edit: redraws the canvas and marks the banner modified unless
    // KeepSaveDisabled.
    void RedrawBanner(bool KeepSaveDisabled = false);
    // The document's change event: views updated, modified flag untouched.
    void DocumentChanged();
    void UpdateStatusBar();
    void FillRecentFiles();
    void ShowStartPage();
    void ShowDesignPage();
    bool StartPageVisible() const;
    bool PreviewPageVisible() const;
    bool DesignPageVisible() const;
    // The document's status in the window: caption, save and the commands
    // that need an open banner.
    void UpdateCommands();
    void PaintPanelHeaders();
    // The gradient of the headings: row D of H rows from the light colour
    // towards Target.
    static TColor32 HeaderGradientRow(int D, int H, TColor Target);
    // Before a file dialog: the checked background radio button takes the
    // focus on the design page.
    void FocusBackgroundKind();

    // ---- Editors. Each group has one Load... that shows the document in
    // its controls (run after every document change) and handlers that
    // write the document and redraw. Nothing is written while loading.
    void LoadEditors();
    void LoadTextEditors();
    void LoadImageEditors();
    void LoadBackgroundEditors();
    void LoadAnimationEditors();

    // Texts.
    void TextsClick(TObject* Sender);
    void ValuesChange(TObject* Sender, TTreeNode* Node);
    void FillValuesTree(const std::string& Caption);
    void LoadElementEditors();
    void ShowElementPosition();
    void UpdateThreeValuesOption();
    void AddThirdValue();
    void autoClick(TObject* Sender);
    void EnableTextEffectCombo();
    // Writes line SelectedValue of field Field (-1 caption, 0..4 the
    // sub-items) of the selected element, then redraws.
    void WriteValueLine(int Field, const std::string& Line);
    // The position the editors show: x, y and the automatic flag.
    int SelectedPositionIndex() const;

    // Images.
    void ImagesClick(TObject* Sender);
    // Makes image N the selected one and shows it in the editors; the
    // image already selected keeps its editors (and its scale's source).
    void SelectImage(int N);
    void StoreImageProperties();
    void AddImage();
    void RemoveImage();
    void LoadImageFromFile();
    void LoadClipArt();

    // Background and border.
    void ApplyBackgroundKind();
    void BackgroundKindClick(TObject* Sender);
    void LoadBgBtnClick(TObject* Sender);
    void EditTemplateClick(TObject* Sender);
    // ---- Canvas mouse work (MainCanvas.cpp).
    // Keeps the canvas centred in box (0 where it does not fit).
    void CenterCanvas();
    // Centres the preview page's picture in its frame, which fills the page.
    void CenterPreview();
    // Leaves the preview page, stopping its player.
    void HidePreviewPage();
    void img32MouseMove(TObject* Sender, TShiftState Shift, int X, int Y);
    void RefreshElementFrames();
    void HideElementFrames();
    void img32MouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
    void boxMouseMove(TObject* Sender, TShiftState Shift, int X, int Y);
    void TextFrameMouseUp(TShape* Frame);
    void ImageFrameMouseDown(int N, int X, int Y);
    void ImageFrameMouseMove(int N, int X, int Y);
    void ImageFrameMouseUp(int N);
    void HandleMouseDown(TShape* Handle, int X, int Y);
    void HandleMouseMove(TShape* Handle, int X, int Y);
    void HandleMouseUp();
    // The colour picks of the four "x" buttons; PickNone when none is armed.
    enum TPickMode { PickNone, PickBackground, PickTransparent, PickText, PickBorder };
    void ArmColorPick(TPickMode Mode);
    TPickMode PickMode() const { return FPickMode; }
    // ---- Guidance balloons (MainBalloons.cpp).
    TUiBalloonHint* bh = nullptr;
    // The new-banner dialog's format box, where the format hint points.
    TControl* FormatHintAnchor = nullptr;
    void SampleTimerTimer(TObject* Sender);
    // Adds one to Counter's Tag; true while it is within Limit.
    static bool CountOccasion(TComponent* Counter, int Limit);
    void Guide(TControl* Anchor, const std::string& Text, int VisibleTime);
    void HideBalloon();
    // A banner was made, opened or the preview closed: hide any balloon and
    // start the text and export hint timers.
    void StartEditingHints();
    // The new-banner dialog is about to show.
    void ArmFormatHint();
    void ClosePreviewHint();
    void ItemsPanelHint();

private:
    void BuildControls();
    void BuildCanvas();
    void BuildBalloons();
    // Each editor group builds its own controls (MainTexts.cpp,
    // MainImages.cpp, MainAnimation.cpp, MainBackground.cpp).
    void BuildTextsPage();
    void BuildImagesPage();
    void BuildAnimationPage();
    void BuildBackgroundPanel();
    void BuildBorderPanel();
    void BuildMenus();
    // The pictures of the window: image lists of the tool bar and the menu,
    // the heading arrows, the items panel's arrows, the start page's icons.
    void LoadPictures();
    // Hints reach the quick-help label as the pointer enters a control.
    void FeedQuickHelp();
    // CoolBar as high as its visible tool bars.
    void FitCoolBar();
    // The start page's block in the middle of the page, its frame one
    // pixel outside it.
    void CenterHeadPanel();
    TMenuItem* AddItem(TMenuItem* Parent, const std::string& Caption, TNotifyEvent OnClick,
                       TShortCut Short = scNone);
    TLabel* AddLink(const std::string& Caption, int Top, TNotifyEvent OnClick);
    void CenterInner(TControl* Outer, TControl* Inner);
    TColorPickerButton* MakeColorButton(TWinControl* Parent, const std::string& Name, int Left,
                                        int Top, TColor Color, TNotifyEvent OnChange);
    // Whether the controls are being loaded from the document.
    bool Loading() const { return FLoading > 0; }
    bool FInChange = false;
    int FLoading = 0;
    // The picture of the selected image slot as it was chosen: what `scal`
    // scales.
    TBitmap32 FScaleSource;
    // The scale the selected picture shows, in percent of FScaleSource.
    int FScalePercent = 100;
    // The preview page's and the preview tab's players.
    TGIFPlayer FPrvPlayer, FAnimPlayer;
    // Canvas drags: the image frame being dragged (-1 none) or the handle.
    TPickMode FPickMode = PickNone;
    int FDragImage = -1;
    TPoint FDragStart, FDragImageStart;
    bool FSizing = false;
    TPoint FSizeStart;
    int FSizeW0 = 0, FSizeH0 = 0;
    int FItemsHeight = 0;
};

extern TMainform* Mainform;
