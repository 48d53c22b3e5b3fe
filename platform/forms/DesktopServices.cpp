#include "platform/forms/DesktopServices.h"

#include "platform/classes/Stream.h"
#include "platform/graphics/Icon.h"
#include "platform/graphics/QtSupport.h"

#include <QCursor>
#include <QGuiApplication>
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QSystemTrayIcon>

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

} // namespace

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

struct TNativeTrayIcon::TImpl {
    std::unique_ptr<QSystemTrayIcon> Tray;
};

TNativeTrayIcon::TNativeTrayIcon() : FImpl(std::make_unique<TImpl>()) {}

TNativeTrayIcon::~TNativeTrayIcon() = default;

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
            if (OnEvent) OnEvent(nteBalloonClick);
        });
    }
    FImpl->Tray->setIcon(ToQIcon(Icon));
    FImpl->Tray->setToolTip(QString::fromStdString(Tip));
    FImpl->Tray->show();
    return true;
}

void TNativeTrayIcon::Hide() {
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
    return true;
}
