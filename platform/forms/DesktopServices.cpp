#include "platform/forms/DesktopServices.h"

#include "platform/classes/Stream.h"
#include "platform/forms/Controls.h"
#include "platform/graphics/Icon.h"
#include "platform/graphics/QtSupport.h"
#include "platform/system/PeResources.h"

#include <algorithm>
#include <map>

#include <QApplication>
#include <QCursor>
#include <QFileIconProvider>
#include <QMimeDatabase>
#include <QStyle>
#include <QEvent>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QVariantAnimation>
#include <QWidget>
#include <QUrl>

namespace {

bool Offscreen() {
    return QGuiApplication::platformName() == QLatin1String("offscreen");
}

QIcon ToQIcon(const TIcon* Icon) {
    if (Icon == nullptr || Icon->Empty()) return {};
    TMemoryStream m;
    Icon->SaveToStream(m);
    QPixmap p;
    if (!p.loadFromData(static_cast<const uchar*>(m.Memory()), uint(m.Size()), "ICO")) return {};
    return QIcon(p);
}

bool IconBytes(const QIcon& Icon, int Size, std::vector<std::uint8_t>& Out) {
    if (Icon.isNull()) return false;
    QImage image = Icon.pixmap(Size, Size).toImage();
    if (image.isNull()) return false;
    if (image.width() != Size || image.height() != Size)
        image = image.scaled(Size, Size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    // Centred on a transparent square when the picture is not square.
    QImage square(Size, Size, QImage::Format_ARGB32);
    square.fill(Qt::transparent);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            square.setPixel(x + (Size - image.width()) / 2, y + (Size - image.height()) / 2,
                            image.pixel(x, y));
    std::vector<std::uint8_t> bgra(std::size_t(Size) * Size * 4);
    for (int y = 0; y < Size; ++y)
        for (int x = 0; x < Size; ++x) {
            const QRgb c = square.pixel(x, y);
            std::uint8_t* p = &bgra[(std::size_t(y) * Size + x) * 4];
            p[0] = std::uint8_t(qBlue(c));
            p[1] = std::uint8_t(qGreen(c));
            p[2] = std::uint8_t(qRed(c));
            p[3] = std::uint8_t(qAlpha(c));
        }
    Out = MakeIconFile(Size, Size, bgra.data());
    return !Out.empty();
}

QStyle* DesktopStyle() {
    EnsureGuiApplication();
    return qobject_cast<QApplication*>(QCoreApplication::instance()) ? QApplication::style()
                                                                     : nullptr;
}

// Tells the listeners of theme changes; installed with the first one.
class TThemeWatch : public QObject {
public:
    std::map<int, std::function<void()>> Listeners;
    int Next = 1;
    bool Pending = false;
    // The change reaches every window: the listeners hear of it once.
    bool eventFilter(QObject*, QEvent* Event) override {
        const QEvent::Type t = Event->type();
        if ((t == QEvent::ThemeChange || t == QEvent::StyleChange ||
             t == QEvent::ApplicationPaletteChange) &&
            !Pending) {
            Pending = true;
            QTimer::singleShot(0, this, [this] {
                Pending = false;
                const auto copy = Listeners;
                for (const auto& [id, l] : copy)
                    l();
            });
        }
        return false;
    }
};

TThemeWatch& ThemeWatch() {
    static TThemeWatch* w = new TThemeWatch; // lives as long as the application object
    return *w;
}

} // namespace

void FadeInWindow(TWinControl* Window, int Milliseconds) {
    QWidget* w = Window != nullptr ? Window->NativeWidget() : nullptr;
    if (w == nullptr || !w->isWindow()) return;
    auto* fade = w->findChild<QVariantAnimation*>("qm-fade", Qt::FindDirectChildrenOnly);
    if (fade == nullptr) {
        fade = new QVariantAnimation(w);
        fade->setObjectName("qm-fade");
        QObject::connect(fade, &QVariantAnimation::valueChanged,
                         [w](const QVariant& v) { w->setWindowOpacity(v.toDouble()); });
    }
    fade->stop();
    if (Milliseconds <= 0) {
        w->setWindowOpacity(1.0);
        return;
    }
    fade->setDuration(Milliseconds);
    fade->setStartValue(0.0);
    fade->setEndValue(1.0);
    w->setWindowOpacity(0.0);
    fade->start();
}

void SetWindowTopmost(TWinControl* Window, bool Topmost) {
    QWidget* w = Window != nullptr ? Window->NativeWidget() : nullptr;
    if (w == nullptr || !w->isWindow()) return;
    if (bool(w->windowFlags() & Qt::WindowStaysOnTopHint) == Topmost) return;
    // A changed flag hides the window: it comes back without activation.
    const bool visible = w->isVisible();
    w->setAttribute(Qt::WA_ShowWithoutActivating);
    w->setWindowFlag(Qt::WindowStaysOnTopHint, Topmost);
    if (visible) w->show();
}

bool PlaceBelowActiveWindow(TWinControl* Window) {
    QWidget* w = Window != nullptr ? Window->NativeWidget() : nullptr;
    QWidget* active = QApplication::activeWindow();
    if (w == nullptr || active == nullptr || active == w ||
        (active->windowFlags() & Qt::WindowStaysOnTopHint))
        return false;
    SetWindowTopmost(Window, false);
    w->raise();
    active->raise();
    return true;
}

bool DesktopStyleThemed() {
    QStyle* style = DesktopStyle();
    if (style == nullptr) return false;
    // The toolkit's own looks; every other style comes from the desktop.
    const QString name = style->name().toLower();
    return name != "fusion" && name != "windows";
}

int AddDesktopThemeListener(std::function<void()> Listener) {
    EnsureGuiApplication();
    TThemeWatch& w = ThemeWatch();
    if (w.Listeners.empty()) qApp->installEventFilter(&w);
    const int id = w.Next++;
    w.Listeners[id] = std::move(Listener);
    return id;
}

void RemoveDesktopThemeListener(int Id) {
    TThemeWatch& w = ThemeWatch();
    w.Listeners.erase(Id);
    if (w.Listeners.empty() && qApp) qApp->removeEventFilter(&w);
}

bool DesktopIcon(TDesktopIcon Kind, int Size, std::vector<std::uint8_t>& Icon) {
    QStyle* style = DesktopStyle();
    if (style == nullptr) return false;
    QIcon icon;
    switch (Kind) {
    case diDocument:
        icon = QIcon::fromTheme("text-x-generic", style->standardIcon(QStyle::SP_FileIcon));
        break;
    case diProgram:
        icon = QIcon::fromTheme("application-x-executable",
                                style->standardIcon(QStyle::SP_ComputerIcon));
        break;
    case diFolder:
        icon = QIcon::fromTheme("folder", style->standardIcon(QStyle::SP_DirIcon));
        break;
    case diApplication:
        icon = QApplication::windowIcon().isNull()
                   ? style->standardIcon(QStyle::SP_TitleBarMenuButton)
                   : QApplication::windowIcon();
        break;
    case diInformation:
        icon = style->standardIcon(QStyle::SP_MessageBoxInformation);
        break;
    case diWarning:
        icon = style->standardIcon(QStyle::SP_MessageBoxWarning);
        break;
    case diError:
        icon = style->standardIcon(QStyle::SP_MessageBoxCritical);
        break;
    case diQuestion:
        icon = style->standardIcon(QStyle::SP_MessageBoxQuestion);
        break;
    }
    return IconBytes(icon, Size, Icon);
}

bool DesktopFileTypeIcon(const std::string& Extension, int Size, std::vector<std::uint8_t>& Icon) {
    if (DesktopStyle() == nullptr) return false;
    const QMimeType type = QMimeDatabase().mimeTypeForFile(
        "file" + QString::fromStdString(Extension), QMimeDatabase::MatchExtension);
    // Files the desktop knows nothing of get no icon of their own here.
    if (!type.isValid() || type.isDefault()) return false;
    QIcon icon = QIcon::fromTheme(type.iconName(), QIcon::fromTheme(type.genericIconName()));
    if (icon.isNull())
        icon = QFileIconProvider().icon(QFileInfo("file" + QString::fromStdString(Extension)));
    return IconBytes(icon, Size, Icon);
}

TPoint GetCursorPos() {
    EnsureGuiApplication();
    const QPoint p = QCursor::pos();
    return {p.x(), p.y()};
}

bool GrabScreenPixel(int X, int Y, TColor& Color) {
    EnsureGuiApplication();
    // The offscreen platform has no desktop to read: its grabs are blank.
    if (Offscreen()) return false;
    QScreen* s = QGuiApplication::screenAt(QPoint(X, Y));
    if (s == nullptr) return false;
    const QRect g = s->geometry();
    const QPixmap pix = s->grabWindow(0, X - g.left(), Y - g.top(), 1, 1);
    if (pix.isNull() || pix.width() < 1 || pix.height() < 1) return false;
    const QRgb c = pix.toImage().pixel(0, 0);
    Color = TColor(qRed(c) | (qGreen(c) << 8) | (qBlue(c) << 16));
    return true;
}

namespace {

// Where the desktop embeds the icon as a window of this program, the
// toolkit draws it in a widget of its own; the pointer's moves over that
// widget are the icon's mouse moves. Desktops that draw the icon
// themselves report no moves.
class TTrayMoveFilter : public QObject {
public:
    TTrayMoveFilter(QSystemTrayIcon* Tray, std::function<void()> Moved)
        : FTray(Tray), FMoved(std::move(Moved)) {}

    bool eventFilter(QObject* Object, QEvent* Event) override {
        const QEvent::Type t = Event->type();
        if (t != QEvent::MouseMove && t != QEvent::Enter && t != QEvent::HoverMove) return false;
        auto* w = qobject_cast<QWidget*>(Object);
        if (w == nullptr || !w->isWindow() ||
            qstrcmp(w->metaObject()->className(), "QSystemTrayIconSys") != 0)
            return false;
        if (QRect(w->mapToGlobal(QPoint(0, 0)), w->size()) != FTray->geometry()) return false;
        w->setMouseTracking(true);
        FMoved();
        return false;
    }

private:
    QSystemTrayIcon* FTray;
    std::function<void()> FMoved;
};

} // namespace

struct TNativeTrayIcon::TImpl {
    std::unique_ptr<QSystemTrayIcon> Tray;
    std::unique_ptr<TTrayMoveFilter> Filter;
    QTimer BalloonTimer;
};

TNativeTrayIcon::TNativeTrayIcon() : FImpl(std::make_unique<TImpl>()) {}

TNativeTrayIcon::~TNativeTrayIcon() {
    if (FImpl->Filter && qApp) qApp->removeEventFilter(FImpl->Filter.get());
}

bool TNativeTrayIcon::Available() {
    EnsureGuiApplication();
    return !Offscreen() && QSystemTrayIcon::isSystemTrayAvailable();
}

bool TNativeTrayIcon::Show(const TIcon* Icon, const std::string& Tip) {
    if (!Available()) return false;
    if (!FImpl->Tray) {
        FImpl->Tray = std::make_unique<QSystemTrayIcon>();
        QObject::connect(FImpl->Tray.get(), &QSystemTrayIcon::activated,
                         [this](QSystemTrayIcon::ActivationReason r) {
                             if (!OnEvent) return;
                             switch (r) {
                             case QSystemTrayIcon::Trigger:
                                 OnEvent(nteClick);
                                 break;
                             case QSystemTrayIcon::DoubleClick:
                                 OnEvent(nteDoubleClick);
                                 break;
                             case QSystemTrayIcon::Context:
                                 OnEvent(nteContext);
                                 break;
                             case QSystemTrayIcon::MiddleClick:
                                 OnEvent(nteMiddleClick);
                                 break;
                             default:
                                 break;
                             }
                         });
        QObject::connect(FImpl->Tray.get(), &QSystemTrayIcon::messageClicked, [this] {
            FImpl->BalloonTimer.stop();
            if (OnEvent) OnEvent(nteBalloonClick);
        });
        FImpl->BalloonTimer.setSingleShot(true);
        QObject::connect(&FImpl->BalloonTimer, &QTimer::timeout, [this] {
            if (OnEvent) OnEvent(nteBalloonTimeout);
        });
        FImpl->Filter = std::make_unique<TTrayMoveFilter>(FImpl->Tray.get(), [this] {
            if (OnEvent) OnEvent(nteMouseMove);
        });
        qApp->installEventFilter(FImpl->Filter.get());
    }
    FImpl->Tray->setIcon(ToQIcon(Icon));
    FImpl->Tray->setToolTip(QString::fromStdString(Tip));
    FImpl->Tray->show();
    return true;
}

void TNativeTrayIcon::Hide() {
    FImpl->BalloonTimer.stop();
    if (FImpl->Tray) FImpl->Tray->hide();
}

bool TNativeTrayIcon::ShowBalloon(const std::string& Title, const std::string& Text, int Kind,
                                  int TimeoutMs) {
    if (!FImpl->Tray || !FImpl->Tray->isVisible()) return false;
    static const QSystemTrayIcon::MessageIcon Icons[] = {
        QSystemTrayIcon::NoIcon, QSystemTrayIcon::Information, QSystemTrayIcon::Warning,
        QSystemTrayIcon::Critical};
    const auto icon = Kind >= 0 && Kind <= 3 ? Icons[Kind] : QSystemTrayIcon::NoIcon;
    FImpl->Tray->showMessage(QString::fromStdString(Title), QString::fromStdString(Text), icon,
                             TimeoutMs);
    // The toolkit tells of clicks only: shown is now, timed out is when
    // the time passes unclicked.
    if (OnEvent) OnEvent(nteBalloonShown);
    FImpl->BalloonTimer.start(std::max(TimeoutMs, 0));
    return true;
}

namespace {

class TDesktopShellService : public TShellService {
public:
    bool Open(const std::string& Target) override {
        EnsureGuiApplication();
        if (Offscreen() || Target.empty()) return false;
        const QString T = QString::fromStdString(Target);
        // A path is a local file; anything with a scheme is an address.
        const QUrl Url = T.startsWith('/') ? QUrl::fromLocalFile(T) : QUrl(T);
        return Url.isValid() && QDesktopServices::openUrl(Url);
    }
};

TShellService* GShellService = nullptr;

} // namespace

TShellService* ShellService() {
    static TDesktopShellService Desktop;
    return GShellService != nullptr ? GShellService : &Desktop;
}

void SetShellService(TShellService* Service) {
    GShellService = Service;
}

bool ShellOpen(const std::string& Target) {
    return ShellService()->Open(Target);
}
