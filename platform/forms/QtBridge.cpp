#include "platform/forms/QtBridge.h"

#include "platform/forms/Application.h"
#include "platform/forms/Forms.h"
#include "platform/forms/Screen.h"
#include "platform/graphics/QtSupport.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QFontDatabase>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QRegion>
#include <QScreen>
#include <QSessionManager>
#include <QTimer>
#include <QWheelEvent>
#include <QWidget>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <QWindow>
#include <QElapsedTimer>
#include <QFocusEvent>

#include <algorithm>
#include <unordered_map>

namespace {

// The translation being run: DefaultHandler marks it to be passed on.
struct TTranslation {
    TWinControl* Control;
    UINT Msg;
    bool PassOn;
    TTranslation* Outer;
};
TTranslation* GTranslation = nullptr;
int GEventDepth = 0;
bool GOverrideCursor = false;

class TQtWindow : public QWidget {
public:
    TQtWindow(TWinControl* Control, QWidget* Parent) : QWidget(Parent), FControl(Control) {
        setAttribute(Qt::WA_OpaquePaintEvent);
        setAttribute(Qt::WA_NoSystemBackground);
    }
    void Detach() { FControl = nullptr; }

protected:
    void paintEvent(QPaintEvent*) override {
        if (FControl == nullptr) return;
        const TPixelSurface& S = FControl->BufferSurface();
        if (!S.Valid()) return;
        QPainter P(this);
        P.drawImage(0, 0, QImage(S.Bits, S.Width, S.Height, S.Stride, QImage::Format_RGB32));
    }
    bool focusNextPrevChild(bool) override { return false; } // Tab is the forms' business

private:
    TWinControl* FControl;
};

class TEventFilter : public QObject {
public:
    TEventFilter(QWidget* Widget, TWinControl* Control) : QObject(Widget), FControl(Control) {}
    void Detach() { FControl = nullptr; }
    TWinControl* Control() const { return FControl; }

    bool eventFilter(QObject* Watched, QEvent* E) override;

private:
    // Sends one message; true when the control let it reach DefaultHandler.
    bool Send(UINT Msg, WPARAM W, LPARAM L) {
        TTranslation T{FControl, Msg, false, GTranslation};
        GTranslation = &T;
        try {
            FControl->Perform(Msg, W, L);
        } catch (...) {
            GTranslation = T.Outer;
            if (Application != nullptr) Application->HandleException(FControl);
            return false;
        }
        GTranslation = T.Outer;
        return T.PassOn;
    }
    bool Mouse(QMouseEvent* M, QEvent::Type Type);

    TWinControl* FControl;
};

WPARAM KeyFlags(Qt::MouseButtons Buttons, Qt::KeyboardModifiers Mods) {
    WPARAM W = 0;
    if (Buttons & Qt::LeftButton) W |= MK_LBUTTON;
    if (Buttons & Qt::RightButton) W |= MK_RBUTTON;
    if (Buttons & Qt::MiddleButton) W |= MK_MBUTTON;
    if (Mods & Qt::ShiftModifier) W |= MK_SHIFT;
    if (Mods & Qt::ControlModifier) W |= MK_CONTROL;
    return W;
}

void NoteModifiers(Qt::KeyboardModifiers Mods) {
    TShiftState S;
    if (Mods & Qt::ShiftModifier) S.Include(ssShift);
    if (Mods & Qt::ControlModifier) S.Include(ssCtrl);
    if (Mods & Qt::AltModifier) S.Include(ssAlt);
    SetKeyboardShiftState(S);
}

// Qt hands a key that the focused widget ignored on to each parent widget
// in turn, but a key message reaches only the window that has the focus:
// a key climbing from a child window that already had its message is not
// sent again (a form previewing keys would see it once per parent). The
// climb can outlast other keys (a key that opens a modal window), so the
// last few keys are remembered, each by its event and where it started.
bool KeyClimbsFromChild(QWidget* Widget, QKeyEvent* K) {
    struct TKeySeen {
        const QEvent* Event = nullptr;
        QPointer<QWidget> Origin;
        QEvent::Type Type = QEvent::None;
        int Key = 0;
        quint64 Time = 0;
    };
    static TKeySeen Seen[8];
    static int Next = 0;
    for (const TKeySeen& S : Seen)
        if (S.Event == K && S.Type == K->type() && S.Key == K->key() && S.Time == K->timestamp() &&
            S.Origin != nullptr && S.Origin != Widget && Widget->isAncestorOf(S.Origin))
            return true;
    Seen[Next] = TKeySeen{K, Widget, K->type(), K->key(), K->timestamp()};
    Next = (Next + 1) % 8;
    return false;
}

bool TEventFilter::Mouse(QMouseEvent* M, QEvent::Type Type) {
    NoteModifiers(M->modifiers());
    const QPoint P = M->position().toPoint();
    const LPARAM L = MakeLParam(P.x(), P.y());
    const WPARAM W = KeyFlags(M->buttons(), M->modifiers());
    UINT Msg = WM_MOUSEMOVE;
    const Qt::MouseButton B = M->button();
    if (Type == QEvent::MouseButtonPress)
        Msg = B == Qt::RightButton    ? WM_RBUTTONDOWN
              : B == Qt::MiddleButton ? WM_MBUTTONDOWN
                                      : WM_LBUTTONDOWN;
    else if (Type == QEvent::MouseButtonRelease)
        Msg = B == Qt::RightButton    ? WM_RBUTTONUP
              : B == Qt::MiddleButton ? WM_MBUTTONUP
                                      : WM_LBUTTONUP;
    else if (Type == QEvent::MouseButtonDblClick)
        Msg = B == Qt::RightButton    ? WM_RBUTTONDBLCLK
              : B == Qt::MiddleButton ? WM_MBUTTONDBLCLK
                                      : WM_LBUTTONDBLCLK;
    const bool Pass = Send(Msg, W, L);
    // A plain window has no handling of its own: an event it ignored would
    // climb to its parent window and reach the program twice.
    return !Pass || dynamic_cast<TQtWindow*>(parent()) != nullptr;
}

bool TEventFilter::eventFilter(QObject* Watched, QEvent* E) {
    if (FControl == nullptr || Watched != parent()) return false;
    auto* Widget = static_cast<QWidget*>(Watched);
    struct TDepth {
        TDepth() { ++GEventDepth; }
        ~TDepth() { --GEventDepth; }
    } Depth;
    switch (E->type()) {
    case QEvent::Paint:
        // A wrapped native widget paints itself; only plain windows show
        // the control's buffer.
        if (dynamic_cast<TQtWindow*>(Widget) == nullptr) return false;
        try {
            FControl->PaintPending();
        } catch (...) {
            if (Application != nullptr) Application->HandleException(FControl);
        }
        return false;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
        return Mouse(static_cast<QMouseEvent*>(E), E->type());
    case QEvent::Wheel: {
        auto* Wh = static_cast<QWheelEvent*>(E);
        const QPoint G = Wh->globalPosition().toPoint();
        const WPARAM W = (WPARAM(Word(std::int16_t(Wh->angleDelta().y()))) << 16) |
                         KeyFlags(Wh->buttons(), Wh->modifiers());
        return !Send(WM_MOUSEWHEEL, W, MakeLParam(G.x(), G.y()));
    }
    case QEvent::Enter:
        Send(CM_MOUSEENTER, 0, 0);
        return false;
    case QEvent::Leave:
        Send(CM_MOUSELEAVE, 0, 0);
        return false;
    case QEvent::KeyPress:
    case QEvent::KeyRelease: {
        auto* K = static_cast<QKeyEvent*>(E);
        if (KeyClimbsFromChild(Widget, K)) return false;
        NoteModifiers(K->modifiers());
        const Word VK = BridgeVirtualKey(K->key());
        const bool Alt = (K->modifiers() & Qt::AltModifier) != 0;
        const bool Down = E->type() == QEvent::KeyPress;
        bool Pass = true;
        if (VK != 0)
            Pass = Send(Down ? (Alt ? WM_SYSKEYDOWN : WM_KEYDOWN) : (Alt ? WM_SYSKEYUP : WM_KEYUP),
                        VK, 0);
        if (Pass && Down && FControl != nullptr) {
            for (char32_t Ch : K->text().toUcs4())
                if (Ch >= 0x20 || Ch == 8 || Ch == 9 || Ch == 13 || Ch == 27)
                    if (!Send(WM_CHAR, WPARAM(Ch), 0)) Pass = false;
        }
        return !Pass;
    }
    case QEvent::FocusIn:
    case QEvent::FocusOut:
        // A drop-down or menu that opens and closes takes the keys for a
        // while but leaves the focused control as it was.
        if (static_cast<QFocusEvent*>(E)->reason() != Qt::PopupFocusReason)
            NotifyNativeFocus(FControl, E->type() == QEvent::FocusIn);
        return false;
    case QEvent::Resize:
    case QEvent::Move: {
        const QRect G = Widget->geometry();
        int L = FControl->Left(), T = FControl->Top();
        if (Widget->isWindow()) {
            L = G.x();
            T = G.y();
        }
        try {
            FControl->NativeBoundsChanged(L, T, G.width(), G.height());
        } catch (...) {
            if (Application != nullptr) Application->HandleException(FControl);
        }
        return false;
    }
    case QEvent::Close:
        E->ignore();
        Send(WM_CLOSE, 0, 0);
        return true;
    case QEvent::WindowStateChange: {
        // The window manager minimises, maximises and restores windows; the
        // program learns of it as the size message of the new state.
        if (!Widget->isWindow() || FControl == nullptr) return false;
        const Qt::WindowStates S = Widget->windowState();
        const WPARAM Kind = (S & Qt::WindowMinimized)   ? SIZE_MINIMIZED
                            : (S & Qt::WindowMaximized) ? SIZE_MAXIMIZED
                                                        : SIZE_RESTORED;
        if (auto* Form = dynamic_cast<TCustomForm*>(FControl))
            Form->SetWindowState(TWindowState(Kind)); // the two orders agree
        Send(WM_SIZE, Kind, MakeLParam(Widget->width(), Widget->height()));
        return false;
    }
    case QEvent::WindowActivate:
        Send(WM_NCACTIVATE, 1, 0);
        if (FControl != nullptr) Send(WM_ACTIVATE, WA_ACTIVE, 0);
        return false;
    case QEvent::WindowDeactivate:
        Send(WM_NCACTIVATE, 0, 0);
        if (FControl != nullptr) Send(WM_ACTIVATE, WA_INACTIVE, 0);
        return false;
    default:
        return false;
    }
}

// The shadow of a window whose class casts one: a window of the same shape
// below it, moved down and right, half transparent where the desktop
// blends windows and plain grey where it does not.
class TDropShadow : public QObject {
public:
    static constexpr int Offset = 3;
    explicit TDropShadow(QWidget* Owner) : QObject(Owner), FOwner(Owner) {
        FShadow =
            new QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                                     Qt::WindowTransparentForInput | Qt::WindowDoesNotAcceptFocus);
        FShadow->setAttribute(Qt::WA_ShowWithoutActivating);
        FShadow->setAutoFillBackground(true);
        QPalette P = FShadow->palette();
        P.setColor(QPalette::Window, QColor(96, 96, 96));
        FShadow->setPalette(P);
        FShadow->setWindowOpacity(0.45);
        Owner->installEventFilter(this);
    }
    ~TDropShadow() override { delete FShadow; }
    void SetMask(const QRegion& Region) {
        if (Region.isEmpty())
            FShadow->clearMask();
        else
            FShadow->setMask(Region);
    }
    bool eventFilter(QObject*, QEvent* E) override {
        switch (E->type()) {
        case QEvent::Move:
        case QEvent::Resize:
            FShadow->setGeometry(FOwner->geometry().translated(Offset, Offset));
            break;
        case QEvent::Show:
            FShadow->setGeometry(FOwner->geometry().translated(Offset, Offset));
            FShadow->show();
            FOwner->raise();
            break;
        case QEvent::Hide:
            FShadow->hide();
            break;
        default:
            break;
        }
        return false;
    }

private:
    QWidget* FOwner;
    QWidget* FShadow;
};

TDropShadow* ShadowOf(QWidget* W) {
    for (QObject* O : W->children())
        if (auto* S = dynamic_cast<TDropShadow*>(O)) return S;
    return nullptr;
}

TEventFilter* FilterOf(QWidget* W) {
    for (QObject* O : W->children())
        if (auto* F = dynamic_cast<TEventFilter*>(O)) return F;
    return nullptr;
}

Qt::CursorShape ShapeOf(TCursor C) {
    switch (C) {
    case crNone:
        return Qt::BlankCursor;
    case crCross:
        return Qt::CrossCursor;
    case crIBeam:
        return Qt::IBeamCursor;
    case crSizeNESW:
        return Qt::SizeBDiagCursor;
    case crSizeNS:
        return Qt::SizeVerCursor;
    case crSizeNWSE:
        return Qt::SizeFDiagCursor;
    case crSizeWE:
        return Qt::SizeHorCursor;
    case crUpArrow:
        return Qt::UpArrowCursor;
    case crHourGlass:
    case crSQLWait:
        return Qt::WaitCursor;
    case crDrag:
    case crMultiDrag:
        return Qt::DragCopyCursor;
    case crNoDrop:
    case crNo:
        return Qt::ForbiddenCursor;
    case crHSplit:
        return Qt::SplitHCursor;
    case crVSplit:
        return Qt::SplitVCursor;
    case crAppStart:
        return Qt::BusyCursor;
    case crHelp:
        return Qt::WhatsThisCursor;
    case crHandPoint:
        return Qt::PointingHandCursor;
    case crSizeAll:
        return Qt::SizeAllCursor;
    default:
        return Qt::ArrowCursor;
    }
}

QCursor CursorOf(TCursor C) {
    TCursorImage Image;
    HCURSOR H = Screen != nullptr ? Screen->Cursors(C) : SystemCursor(C);
    if (!GetCursorImage(H, Image)) return QCursor(Qt::ArrowCursor);
    if (Image.Pixels.empty()) return QCursor(ShapeOf(Image.Shape));
    QImage Img(reinterpret_cast<const uchar*>(Image.Pixels.data()), Image.Width, Image.Height,
               Image.Width * 4, QImage::Format_ARGB32);
    return QCursor(QPixmap::fromImage(Img.copy()), Image.HotX, Image.HotY);
}

} // namespace

QWidget* BridgeCreatePlainWindow(TWinControl* Control, const TCreateParams&, QWidget* Parent) {
    return new TQtWindow(Control, Parent);
}

void BridgeAttach(QWidget* W, TWinControl* Control, const TCreateParams& P) {
    if (W->parentWidget() == nullptr) {
        Qt::WindowFlags Flags = Qt::Window;
        if (P.ClassStyle & CS_DROPDOWN) {
            // The toolkit's pop-up takes the keyboard and the mouse while it
            // shows; the press that closes it is its own, not replayed to
            // the window below.
            Flags = Qt::Popup;
            W->setAttribute(Qt::WA_NoMouseReplay);
        } else if (P.ExStyle & WS_EX_TOOLWINDOW)
            Flags = Qt::Tool;
        else if (P.ExStyle & WS_EX_DLGMODALFRAME)
            Flags = Qt::Dialog;
        if (((P.Style & WS_POPUP) && !(P.Style & WS_CAPTION)) || (P.ClassStyle & CS_DROPDOWN)) {
            Flags |= Qt::FramelessWindowHint;
        } else {
            // The title bar carries exactly the buttons the border style
            // allows: a dialog has no minimise or maximise button.
            Flags |= Qt::CustomizeWindowHint | Qt::WindowTitleHint;
            if (P.Style & WS_SYSMENU) Flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
            if (P.Style & WS_MINIMIZEBOX) Flags |= Qt::WindowMinimizeButtonHint;
            if (P.Style & WS_MAXIMIZEBOX) Flags |= Qt::WindowMaximizeButtonHint;
        }
        if (P.ExStyle & WS_EX_TOPMOST) Flags |= Qt::WindowStaysOnTopHint;
        if (P.ExStyle & WS_EX_NOACTIVATE) {
            Flags |= Qt::WindowDoesNotAcceptFocus;
            W->setAttribute(Qt::WA_ShowWithoutActivating);
        }
        W->setWindowFlags(Flags);
        W->setWindowTitle(QString::fromStdString(P.Caption));
        if ((P.ClassStyle & CS_DROPSHADOW) && ShadowOf(W) == nullptr) new TDropShadow(W);
    }
    W->setMouseTracking(true);
    // A click gives the focus to a native control, as the system's own
    // controls take it, never to a plain window (one takes it in its own
    // mouse handling where it wants it): a click on a panel, on a page or on
    // a button drawn on them leaves the focus where it was.
    if (dynamic_cast<TQtWindow*>(W) != nullptr)
        W->setFocusPolicy((P.Style & WS_TABSTOP) ? Qt::TabFocus : Qt::NoFocus);
    else
        W->setFocusPolicy((P.Style & WS_TABSTOP) ? Qt::StrongFocus : Qt::ClickFocus);
    W->setEnabled((P.Style & WS_DISABLED) == 0);
    W->setGeometry(P.X, P.Y, P.Width, P.Height);
    if (Control->Cursor() != crDefault) W->setCursor(CursorOf(Control->Cursor()));
    W->installEventFilter(new TEventFilter(W, Control));
}

void BridgeDeleteWidget(QWidget* W) {
    if (W == nullptr) return;
    if (TEventFilter* F = FilterOf(W)) F->Detach();
    if (auto* Plain = dynamic_cast<TQtWindow*>(W)) Plain->Detach();
    W->hide();
    if (GEventDepth > 0) {
        W->setParent(nullptr);
        W->deleteLater();
    } else {
        delete W;
    }
}

void BridgeSetGeometry(QWidget* W, const TWinControl* C) {
    W->setGeometry(C->Left(), C->Top(), C->Width(), C->Height());
}

namespace {

// Only a window manager keeps a window marked to stay above the others
// there; without one, a window shown or raised later covers it (the main
// window the splash). Such windows are raised again over W.
void KeepStayOnTopWindowsAbove(QWidget* W) {
    if (!W->isWindow() || (W->windowFlags() & Qt::WindowStaysOnTopHint)) return;
    for (QWidget* Top : QApplication::topLevelWidgets())
        if (Top != W && Top->isVisible() && (Top->windowFlags() & Qt::WindowStaysOnTopHint))
            Top->raise();
}

} // namespace

void BridgeSetVisible(QWidget* W, bool Visible) {
    if (W->isVisible() == Visible) return;
    // A window of its own opened from a modal dialog (a drop-down, a hint,
    // a nested dialog) belongs to that dialog: without it as transient
    // parent the dialog's modality would block the window's input.
    if (Visible && W->isWindow() && W->parentWidget() == nullptr) {
        QWidget* Modal = QApplication::activeModalWidget();
        if (Modal == W) Modal = nullptr;
        W->winId();
        if (QWindow* Win = W->windowHandle())
            Win->setTransientParent(Modal != nullptr ? Modal->windowHandle() : nullptr);
    }
    W->setVisible(Visible);
    if (Visible) KeepStayOnTopWindowsAbove(W);
}

void BridgeSetEnabled(QWidget* W, bool Enabled) {
    W->setEnabled(Enabled);
}
void BridgeSetTitle(QWidget* W, const std::string& Title) {
    W->setWindowTitle(QString::fromStdString(Title));
}

void BridgeSetCursor(QWidget* W, TCursor Cursor) {
    if (Cursor == crDefault)
        W->unsetCursor();
    else
        W->setCursor(CursorOf(Cursor));
}

void BridgeSetOverrideCursor(TCursor Cursor) {
    if (GOverrideCursor) QApplication::restoreOverrideCursor();
    GOverrideCursor = Cursor != crDefault;
    if (GOverrideCursor) QApplication::setOverrideCursor(CursorOf(Cursor));
}

void BridgeUpdate(QWidget* W) {
    W->update();
}

void BridgeRepaintNow(QWidget* W) {
    if (!W->isVisible()) return;
    // A window shown a moment ago is painted only once the display has
    // mapped it: wait for that (briefly, and without user input) so the
    // picture is on the screen when this returns.
    if (QWindow* Win = W->window()->windowHandle(); Win != nullptr && !Win->isExposed()) {
        QElapsedTimer Waited;
        Waited.start();
        while (!Win->isExposed() && Waited.elapsed() < 500)
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 20);
    }
    W->repaint();
    if (auto* App = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) App->sync();
}
void BridgeSetFocus(QWidget* W) {
    W->setFocus(Qt::OtherFocusReason);
}

void BridgeShowFocusCues(QWidget* W) {
    QWidget* Window = W->window();
    if (Window->testAttribute(Qt::WA_KeyboardFocusChange)) return;
    Window->setAttribute(Qt::WA_KeyboardFocusChange);
    if (QWidget* F = Window->focusWidget()) F->update();
}

void BridgeRaise(QWidget* W, bool Top) {
    // The offscreen platform keeps no stacking order of windows.
    if (W->isWindow() && QGuiApplication::platformName() == QLatin1String("offscreen")) return;
    if (Top) {
        W->raise();
        if (W->isWindow() && W->isVisible()) W->activateWindow();
        KeepStayOnTopWindowsAbove(W);
    } else {
        W->lower();
    }
}

void BridgeSetModal(QWidget* W, bool Modal) {
    const Qt::WindowModality Wanted = Modal ? Qt::ApplicationModal : Qt::NonModal;
    if (W == nullptr || !W->isWindow() || W->windowModality() == Wanted) return;
    const bool WasVisible = W->isVisible();
    if (WasVisible) W->hide();
    W->setWindowModality(Wanted);
    if (WasVisible) W->show();
}

void BridgeSetSizeLimits(QWidget* W, int MinWidth, int MinHeight, int MaxWidth, int MaxHeight) {
    W->setMinimumSize(std::clamp(MinWidth, 0, BridgeMaxWindowSize),
                      std::clamp(MinHeight, 0, BridgeMaxWindowSize));
    W->setMaximumSize(std::clamp(MaxWidth, 0, BridgeMaxWindowSize),
                      std::clamp(MaxHeight, 0, BridgeMaxWindowSize));
}

void BridgeSetWindowState(QWidget* W, int State) {
    const Qt::WindowStates S = State == 1   ? Qt::WindowMinimized
                               : State == 2 ? Qt::WindowMaximized
                                            : Qt::WindowNoState;
    if (W->isWindow()) W->setWindowState(S);
}

void BridgeDefaultHandler(TWinControl* Control, TMessage& Message) {
    for (TTranslation* T = GTranslation; T != nullptr; T = T->Outer) {
        if (T->Control == Control && T->Msg == Message.Msg) {
            T->PassOn = true;
            return;
        }
    }
}

void BridgeWake(std::function<void()> Then) {
    if (QCoreApplication* App = QCoreApplication::instance())
        QMetaObject::invokeMethod(
            App,
            [Then = std::move(Then)] {
                if (Then) Then();
            },
            Qt::QueuedConnection);
}

void BridgeWait(int TimeoutMs) {
    EnsureGuiApplication();
    QTimer Timer;
    Timer.setSingleShot(true);
    if (TimeoutMs >= 0) Timer.start(TimeoutMs);
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

void BridgeProcessEvents() {
    EnsureGuiApplication();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    if (GEventDepth == 0) QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

namespace {

// The desktop's session manager ends the program through the toolkit's
// application-termination event (spontaneous, sent to the application
// object). The toolkit would close the windows one by one, and a modal
// dialog refusing its close would keep the main window from ever being
// asked; the forms are asked together instead (or not again, when they
// agreed while the session could still be cancelled).
class TSessionEndFilter : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* Watched, QEvent* E) override {
        if ((E->type() == QEvent::KeyPress || E->type() == QEvent::MouseButtonPress) &&
            E->spontaneous() && Application != nullptr)
            Application->ForgetEndSessionQuery();
        if (E->type() != QEvent::Quit || Watched != QCoreApplication::instance() ||
            !E->spontaneous() || Application == nullptr)
            return false;
        if (!Application->EndSession()) return true;
        // The toolkit's own dialogs (message boxes, file dialogs) run loops
        // of their own, which would hold the end until the user answers:
        // they are cancelled.
        for (QWidget* W : QApplication::topLevelWidgets())
            if (auto* D = qobject_cast<QDialog*>(W); D != nullptr && D->isVisible() && D->isModal())
                D->reject();
        return true;
    }
};

} // namespace

void BridgeInstallApplicationHooks() {
    auto* App = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    if (App == nullptr) return;
    static bool Installed = false;
    if (Installed) return;
    Installed = true;
    // The program speaks French: the toolkit's own windows (file dialogs,
    // standard buttons, edit menus) take its French translations.
    QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
    auto* Translator = new QTranslator(App);
    if (Translator->load(QLocale(QLocale::French, QLocale::France), "qtbase", "_",
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(Translator);
    else
        delete Translator;
    QObject::connect(App, &QGuiApplication::applicationStateChanged, App,
                     [](Qt::ApplicationState State) {
                         if (Application != nullptr)
                             Application->SetApplicationActive(State == Qt::ApplicationActive);
                     });
#ifndef QT_NO_SESSIONMANAGER
    // The session is about to end and can still be cancelled: the windows
    // are asked now (unsaved work first), since once the session ends there
    // is no time left to save.
    QObject::connect(App, &QGuiApplication::commitDataRequest, App, [](QSessionManager& M) {
        if (Application == nullptr || !M.allowsInteraction()) return;
        const bool Agreed = Application->QueryEndSession();
        M.release();
        if (!Agreed) M.cancel();
    });
#endif
    App->installEventFilter(new TSessionEndFilter(App));
}

TRect BridgeScreenRect(bool WorkArea) {
    EnsureGuiApplication();
    QScreen* S = QGuiApplication::primaryScreen();
    if (S == nullptr) return {0, 0, 1024, 768};
    const QRect R = WorkArea ? S->availableGeometry() : S->geometry();
    return {R.left(), R.top(), R.left() + R.width(), R.top() + R.height()};
}

std::vector<std::string> BridgeFontFamilies() {
    EnsureGuiApplication();
    std::vector<std::string> Result;
    for (const QString& F : QFontDatabase::families())
        Result.push_back(F.toStdString());
    return Result;
}

Word BridgeVirtualKey(int K) {
    if ((K >= Qt::Key_A && K <= Qt::Key_Z) || (K >= Qt::Key_0 && K <= Qt::Key_9)) return Word(K);
    if (K >= Qt::Key_F1 && K <= Qt::Key_F24) return Word(VK_F1 + (K - Qt::Key_F1));
    switch (K) {
    case Qt::Key_Backspace:
        return VK_BACK;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return VK_TAB;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return VK_RETURN;
    case Qt::Key_Shift:
        return VK_SHIFT;
    case Qt::Key_Control:
        return VK_CONTROL;
    case Qt::Key_Alt:
        return VK_MENU;
    case Qt::Key_Pause:
        return VK_PAUSE;
    case Qt::Key_Escape:
        return VK_ESCAPE;
    case Qt::Key_Space:
        return VK_SPACE;
    case Qt::Key_PageUp:
        return VK_PRIOR;
    case Qt::Key_PageDown:
        return VK_NEXT;
    case Qt::Key_End:
        return VK_END;
    case Qt::Key_Home:
        return VK_HOME;
    case Qt::Key_Left:
        return VK_LEFT;
    case Qt::Key_Up:
        return VK_UP;
    case Qt::Key_Right:
        return VK_RIGHT;
    case Qt::Key_Down:
        return VK_DOWN;
    case Qt::Key_Insert:
        return VK_INSERT;
    case Qt::Key_Delete:
        return VK_DELETE;
    case Qt::Key_Asterisk:
        return VK_MULTIPLY;
    case Qt::Key_Plus:
        return VK_ADD;
    case Qt::Key_Minus:
        return VK_SUBTRACT;
    case Qt::Key_Slash:
        return VK_DIVIDE;
    default:
        return 0;
    }
}

namespace {

int QtKeyOf(Word VK) {
    if ((VK >= 'A' && VK <= 'Z') || (VK >= '0' && VK <= '9')) return VK;
    static const int Candidates[] = {
        Qt::Key_Backspace, Qt::Key_Tab,   Qt::Key_Return, Qt::Key_Shift,  Qt::Key_Control,
        Qt::Key_Alt,       Qt::Key_Pause, Qt::Key_Escape, Qt::Key_Space,  Qt::Key_PageUp,
        Qt::Key_PageDown,  Qt::Key_End,   Qt::Key_Home,   Qt::Key_Left,   Qt::Key_Up,
        Qt::Key_Right,     Qt::Key_Down,  Qt::Key_Insert, Qt::Key_Delete, Qt::Key_Asterisk,
        Qt::Key_Plus,      Qt::Key_Minus, Qt::Key_Slash};
    for (int K : Candidates)
        if (BridgeVirtualKey(K) == VK) return K;
    if (VK >= VK_F1 && VK <= VK_F1 + 23) return Qt::Key_F1 + (VK - VK_F1);
    return Qt::Key_unknown;
}

} // namespace

bool GrabNativeWindow(TWinControl* Control, std::vector<std::uint32_t>& Pixels, int& Width,
                      int& Height) {
    QWidget* W = Control != nullptr ? Control->NativeWidget() : nullptr;
    if (W == nullptr) return false;
    const QImage Img = W->grab().toImage().convertToFormat(QImage::Format_RGB32);
    Width = Img.width();
    Height = Img.height();
    Pixels.assign(std::size_t(Width) * std::size_t(Height), 0);
    for (int Y = 0; Y < Height; ++Y) {
        const auto* Row = reinterpret_cast<const std::uint32_t*>(Img.constScanLine(Y));
        for (int X = 0; X < Width; ++X)
            Pixels[std::size_t(Y) * std::size_t(Width) + std::size_t(X)] = Row[X] & 0xFFFFFF;
    }
    return true;
}

namespace {

void SendMouseTo(QObject* Target, const QPointF& Local, const QPointF& Global, UINT Msg,
                 WPARAM Keys) {
    QEvent::Type Type = QEvent::MouseMove;
    Qt::MouseButton Button = Qt::NoButton;
    switch (Msg) {
    case WM_LBUTTONDOWN:
        Type = QEvent::MouseButtonPress;
        Button = Qt::LeftButton;
        break;
    case WM_LBUTTONUP:
        Type = QEvent::MouseButtonRelease;
        Button = Qt::LeftButton;
        break;
    case WM_LBUTTONDBLCLK:
        Type = QEvent::MouseButtonDblClick;
        Button = Qt::LeftButton;
        break;
    case WM_RBUTTONDOWN:
        Type = QEvent::MouseButtonPress;
        Button = Qt::RightButton;
        break;
    case WM_RBUTTONUP:
        Type = QEvent::MouseButtonRelease;
        Button = Qt::RightButton;
        break;
    default:
        break;
    }
    Qt::MouseButtons Buttons;
    if (Keys & MK_LBUTTON) Buttons |= Qt::LeftButton;
    if (Keys & MK_RBUTTON) Buttons |= Qt::RightButton;
    Qt::KeyboardModifiers Mods;
    if (Keys & MK_SHIFT) Mods |= Qt::ShiftModifier;
    if (Keys & MK_CONTROL) Mods |= Qt::ControlModifier;
    QMouseEvent E(Type, Local, Global, Button, Buttons, Mods);
    QCoreApplication::sendEvent(Target, &E);
}

void SendKeyTo(QObject* Target, bool Down, Word VK, const std::string& Text, TShiftState Shift) {
    Qt::KeyboardModifiers Mods;
    if (Shift.Contains(ssShift)) Mods |= Qt::ShiftModifier;
    if (Shift.Contains(ssCtrl)) Mods |= Qt::ControlModifier;
    if (Shift.Contains(ssAlt)) Mods |= Qt::AltModifier;
    QKeyEvent E(Down ? QEvent::KeyPress : QEvent::KeyRelease, QtKeyOf(VK), Mods,
                QString::fromStdString(Text));
    QCoreApplication::sendEvent(Target, &E);
}

QWindow* TopWindowOf(TWinControl* Control) {
    QWidget* W = Control->NativeWidget();
    if (W == nullptr) return nullptr;
    W->window()->winId();
    return W->window()->windowHandle();
}

} // namespace

void SendNativeMouse(TWinControl* Control, UINT Msg, const TPoint& P, WPARAM Keys) {
    QWidget* W = Control->NativeWidget();
    if (W == nullptr) return;
    // The window system hands no input to a window that a modal window
    // blocks, that is one outside the modal window and its transients.
    const QWindow* Modal = QGuiApplication::modalWindow();
    const QWindow* Target = W->window()->windowHandle();
    if (Modal != nullptr && Target != nullptr && Target != Modal &&
        !Modal->isAncestorOf(Target, QWindow::IncludeTransients))
        return;
    const QPointF Local(P.X, P.Y);
    SendMouseTo(W, Local, W->mapToGlobal(Local), Msg, Keys);
}

void SendNativeKey(TWinControl* Control, bool Down, Word VK, const std::string& Text) {
    if (QWidget* W = Control->NativeWidget()) SendKeyTo(W, Down, VK, Text, {});
}

void SendWindowMouse(TWinControl* Control, UINT Msg, const TPoint& P, WPARAM Keys) {
    QWindow* Window = TopWindowOf(Control);
    if (Window == nullptr) return;
    const QPointF Local(P.X, P.Y);
    SendMouseTo(Window, Local, Window->mapToGlobal(Local), Msg, Keys);
}

void SendWindowKey(TWinControl* Control, bool Down, Word VK, const std::string& Text,
                   TShiftState Shift) {
    if (QWindow* Window = TopWindowOf(Control)) SendKeyTo(Window, Down, VK, Text, Shift);
}

void SendNativeClose(TWinControl* Control) {
    QWidget* W = Control->NativeWidget();
    if (W == nullptr) return;
    QCloseEvent E;
    QCoreApplication::sendEvent(W, &E);
}

bool SetWindowMask(TWinControl* Control, int Width, int Height,
                   const std::vector<std::uint8_t>& Inside) {
    QWidget* W = Control != nullptr ? Control->NativeWidget() : nullptr;
    if (W == nullptr) return false;
    TDropShadow* Shadow = ShadowOf(W);
    if (Inside.empty()) {
        W->clearMask();
        if (Shadow) Shadow->SetMask({});
        return true;
    }
    if (Width <= 0 || Height <= 0 || std::int64_t(Width) * Height != std::int64_t(Inside.size()))
        return false;
    QRegion Region;
    // One rectangle per run of inside pixels of a row.
    for (int Y = 0; Y < Height; ++Y) {
        const std::uint8_t* Row = Inside.data() + std::size_t(Y) * std::size_t(Width);
        for (int X = 0; X < Width;) {
            if (Row[X] == 0) {
                ++X;
                continue;
            }
            int End = X;
            while (End < Width && Row[End] != 0)
                ++End;
            Region += QRect(X, Y, End - X, 1);
            X = End;
        }
    }
    W->setMask(Region);
    if (Shadow) Shadow->SetMask(Region);
    return true;
}
