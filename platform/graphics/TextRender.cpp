#include "platform/graphics/TextRender.h"

#include <QFont>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QString>
#include <algorithm>
#include <list>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "platform/base/Rounding.h"
#include "platform/graphics/QtSupport.h"

namespace {

// Pixel sizes beyond this are clamped: nothing the program draws comes
// close, and it keeps a hostile document from asking for giant glyphs.
constexpr int MaxPixelSize = 4096;
// A description with no height asks for the system's default cell.
constexpr int DefaultCellHeight = 16;
constexpr std::size_t CacheCapacity = 64;

struct TSubstitution {
    const char* Name;
    const char* First;
    const char* Second;
};

constexpr TSubstitution Substitutions[] = {
    {"MS Sans Serif", "Liberation Sans", "DejaVu Sans"},
    {"Arial", "Liberation Sans", "DejaVu Sans"},
    {"Times New Roman", "Liberation Serif", "DejaVu Serif"},
    {"Courier New", "Liberation Mono", "DejaVu Sans Mono"},
    {"Segoe UI", "DejaVu Sans", "Liberation Sans"},
    {"Tahoma", "DejaVu Sans", "Liberation Sans"},
    {"Verdana", "DejaVu Sans", "Liberation Sans"},
};

constexpr char FallbackFamily[] = "DejaVu Sans";

bool SameTextAscii(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x + 32);
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y + 32);
        if (x != y) return false;
    }
    return true;
}

struct TFontEntry {
    QFont Font;
    TTextMetric Metric;
    bool Antialiased = false;
};

// All text work is serialised: the font engines of the toolkit are shared
// and the entries of the cache are not meant for concurrent use.
struct TTextState {
    std::mutex Mutex;
    std::list<std::pair<TLogFont, std::shared_ptr<TFontEntry>>> Lru;
    std::unordered_map<TLogFont, decltype(Lru)::iterator, TLogFontHash> Index;
    std::unordered_map<std::string, std::string> Resolved;
    QStringList Families;
    bool FamiliesLoaded = false;
    int Builds = 0;
};

TTextState& State() {
    // Never destroyed: it holds toolkit fonts, which must not outlive the
    // (never destroyed) application object's font database.
    static TTextState* S = new TTextState;
    return *S;
}

std::string InstalledFamily(TTextState& S, std::string_view Name) {
    if (!S.FamiliesLoaded) {
        S.Families = QFontDatabase::families();
        S.FamiliesLoaded = true;
    }
    for (const QString& f : S.Families) {
        QByteArray u = f.toUtf8();
        if (SameTextAscii(std::string_view(u.constData(), std::size_t(u.size())), Name))
            return std::string(u.constData(), std::size_t(u.size()));
    }
    return {};
}

std::string ResolveLocked(TTextState& S, std::string_view FaceName) {
    std::string Name(FaceName);
    if (SameTextAscii(Name, "default")) Name = "MS Sans Serif";
    auto Cached = S.Resolved.find(Name);
    if (Cached != S.Resolved.end()) return Cached->second;

    std::string Result;
    if (!Name.empty()) Result = InstalledFamily(S, Name);
    if (Result.empty()) {
        for (const TSubstitution& t : Substitutions) {
            if (!SameTextAscii(Name, t.Name)) continue;
            Result = InstalledFamily(S, t.First);
            if (Result.empty()) Result = InstalledFamily(S, t.Second);
            break;
        }
    }
    if (Result.empty()) Result = InstalledFamily(S, FallbackFamily);
    if (Result.empty()) Result = Name.empty() ? std::string(FallbackFamily) : Name;
    S.Resolved.emplace(Name, Result);
    return Result;
}

bool IsAntialiasedQuality(std::uint8_t Quality) {
    return Quality >= fqAntialiased;
}

std::shared_ptr<TFontEntry> BuildEntry(TTextState& S, const TLogFont& Log) {
    auto E = std::make_shared<TFontEntry>();
    E->Antialiased = IsAntialiasedQuality(Log.Quality);
    QFont& F = E->Font;
    F.setFamily(QString::fromStdString(ResolveLocked(S, Log.FaceName)));
    int Weight = Log.Weight <= 0 ? FW_NORMAL : std::clamp(Log.Weight, 1, 1000);
    F.setWeight(QFont::Weight(Weight));
    F.setItalic(Log.Italic);
    F.setUnderline(Log.Underline);
    F.setStrikeOut(Log.StrikeOut);
    F.setKerning(false);
    F.setHintingPreference(QFont::PreferFullHinting);
    F.setStyleStrategy(
        E->Antialiased ? QFont::StyleStrategy(QFont::PreferAntialias | QFont::NoSubpixelAntialias)
                       : QFont::NoAntialias);
    if ((Log.PitchAndFamily & 3) == 1) F.setFixedPitch(true);

    int Pixel;
    if (Log.Height < 0) {
        Pixel = Log.Height < -MaxPixelSize ? MaxPixelSize : -Log.Height;
    } else {
        // A positive height is the cell (ascent + descent): scale the em from
        // the family's own proportions, then make sure the cell fits.
        int Cell = Log.Height == 0 ? DefaultCellHeight : std::min(Log.Height, MaxPixelSize);
        QFont Probe = F;
        Probe.setPixelSize(256);
        QFontMetricsF pm(Probe);
        double Ratio = pm.ascent() + pm.descent();
        Pixel = Ratio > 0 ? Round(Cell * 256.0 / Ratio) : Cell;
        Pixel = std::clamp(Pixel, 1, MaxPixelSize);
        F.setPixelSize(Pixel);
        QFontMetrics m(F);
        while (Pixel > 1 && m.ascent() + m.descent() > Cell) {
            F.setPixelSize(--Pixel);
            m = QFontMetrics(F);
        }
    }
    F.setPixelSize(std::max(Pixel, 1));

    if (Log.Width > 0) {
        QFontMetrics m(F);
        int Natural = m.averageCharWidth();
        if (Natural > 0) F.setStretch(std::clamp(Round(Log.Width * 100.0 / Natural), 1, 4000));
    }

    QFontMetrics m(F);
    TTextMetric& t = E->Metric;
    t.Ascent = m.ascent();
    t.Descent = m.descent();
    t.Height = t.Ascent + t.Descent;
    t.InternalLeading = std::max(0, t.Height - F.pixelSize());
    t.ExternalLeading = std::max(0, m.leading());
    t.AveCharWidth = m.averageCharWidth();
    t.MaxCharWidth = m.maxWidth();
    ++S.Builds;
    return E;
}

std::shared_ptr<TFontEntry> EntryLocked(TTextState& S, const TLogFont& Log) {
    auto It = S.Index.find(Log);
    if (It != S.Index.end()) {
        S.Lru.splice(S.Lru.begin(), S.Lru, It->second);
        return It->second->second;
    }
    auto E = BuildEntry(S, Log);
    S.Lru.emplace_front(Log, E);
    S.Index.emplace(Log, S.Lru.begin());
    while (S.Lru.size() > CacheCapacity) {
        S.Index.erase(S.Lru.back().first);
        S.Lru.pop_back();
    }
    return E;
}

QString ToQString(std::string_view Text) {
    return QString::fromUtf8(Text.data(), static_cast<qsizetype>(Text.size()));
}

} // namespace

std::string ResolveFontFamily(std::string_view FaceName) {
    EnsureGuiApplication();
    TTextState& S = State();
    std::lock_guard<std::mutex> Guard(S.Mutex);
    return ResolveLocked(S, FaceName);
}

TTextMetric GetTextMetric(const TLogFont& Font) {
    EnsureGuiApplication();
    TTextState& S = State();
    std::lock_guard<std::mutex> Guard(S.Mutex);
    return EntryLocked(S, Font)->Metric;
}

TSize MeasureText(const TLogFont& Font, std::string_view Text) {
    EnsureGuiApplication();
    TTextState& S = State();
    std::lock_guard<std::mutex> Guard(S.Mutex);
    auto E = EntryLocked(S, Font);
    int Width = 0;
    if (!Text.empty()) Width = QFontMetrics(E->Font).horizontalAdvance(ToQString(Text));
    return {Width, E->Metric.Height};
}

TSize DrawText(const TPixelSurface& Surface, int X, int Y, std::string_view Text,
               const TLogFont& Font, TColor Color, const TRect* Clip) {
    EnsureGuiApplication();
    TTextState& S = State();
    std::lock_guard<std::mutex> Guard(S.Mutex);
    auto E = EntryLocked(S, Font);
    if (Text.empty()) return {0, E->Metric.Height};
    QString Str = ToQString(Text);
    QFontMetrics M(E->Font);
    const int Advance = M.horizontalAdvance(Str);
    const TSize Extent{Advance, E->Metric.Height};
    if (!Surface.Valid()) return Extent;

    // Glyphs may overhang their cell (italics, accents, negative bearings):
    // rasterise what the ink box and the cell cover together, with a margin.
    const QRect Ink = M.boundingRect(Str);
    const int Ascent = E->Metric.Ascent;
    const std::int64_t Margin = 2 + E->Font.pixelSize() / 4;
    std::int64_t L = std::int64_t(X) + std::min(0, Ink.left()) - Margin;
    std::int64_t R = std::int64_t(X) + std::max(Advance, Ink.right() + 1) + Margin;
    std::int64_t T = std::int64_t(Y) + std::min(0, Ascent + Ink.top()) - Margin;
    std::int64_t B =
        std::int64_t(Y) + std::max(E->Metric.Height, Ascent + Ink.bottom() + 1) + Margin;
    std::int64_t ClipL = 0, ClipT = 0, ClipR = Surface.Width, ClipB = Surface.Height;
    if (Clip != nullptr) {
        ClipL = std::max<std::int64_t>(ClipL, Clip->Left);
        ClipT = std::max<std::int64_t>(ClipT, Clip->Top);
        ClipR = std::min<std::int64_t>(ClipR, Clip->Right);
        ClipB = std::min<std::int64_t>(ClipB, Clip->Bottom);
    }
    L = std::max(L, ClipL);
    T = std::max(T, ClipT);
    R = std::min(R, ClipR);
    B = std::min(B, ClipB);
    if (L >= R || T >= B) return Extent;

    const int W = int(R - L), H = int(B - T);
    QImage Mask(W, H, QImage::Format_ARGB32_Premultiplied);
    if (Mask.isNull()) return Extent;
    Mask.fill(Qt::transparent);
    {
        QPainter P(&Mask);
        P.setRenderHint(QPainter::Antialiasing, E->Antialiased);
        P.setRenderHint(QPainter::TextAntialiasing, E->Antialiased);
        P.setFont(E->Font);
        P.setPen(QColor(255, 255, 255));
        P.drawText(QPoint(int(X - L), int(Y - T) + Ascent), Str);
    }

    const std::int32_t Rgb = ColorToRGB(Color);
    const unsigned CR = GetRValue(Rgb), CG = GetGValue(Rgb), CB = GetBValue(Rgb);
    for (int y = 0; y < H; ++y) {
        const QRgb* Src = reinterpret_cast<const QRgb*>(Mask.constScanLine(y));
        Byte* Dst = Surface.Bits + (T + y) * std::int64_t(Surface.Stride) + L * 4;
        for (int x = 0; x < W; ++x, Dst += 4) {
            unsigned c = unsigned(qAlpha(Src[x]));
            if (!E->Antialiased) c = c >= 128 ? 255 : 0;
            if (c == 0) continue;
            if (c == 255) {
                Dst[0] = Byte(CB);
                Dst[1] = Byte(CG);
                Dst[2] = Byte(CR);
            } else {
                const unsigned k = 255 - c;
                Dst[0] = Byte((CB * c + Dst[0] * k + 127) / 255);
                Dst[1] = Byte((CG * c + Dst[1] * k + 127) / 255);
                Dst[2] = Byte((CR * c + Dst[2] * k + 127) / 255);
            }
            Dst[3] = 0;
        }
    }
    return Extent;
}

int FontCacheBuildCount() {
    TTextState& S = State();
    std::lock_guard<std::mutex> Guard(S.Mutex);
    return S.Builds;
}
