#include "platform/graphics/Clipboard.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <QThread>

#include <cstring>
#include <mutex>

#include "platform/graphics/Bitmap.h"
#include "platform/graphics/Graphic.h"
#include "platform/graphics/QtSupport.h"

namespace {

struct TFormatNames {
    std::mutex Lock;
    std::vector<std::string> Names; // index i is format 0xC000 + i
};

TFormatNames& FormatNames() {
    static TFormatNames* names = new TFormatNames();
    return *names;
}

bool SameText(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

constexpr Word FirstRegisteredFormat = 0xC000;

QString MimeOf(Word format) {
    return QStringLiteral("application/x-quillomark-clipboard-%1")
        .arg(format, 4, 16, QLatin1Char('0'));
}

QClipboard* SystemClipboard() {
    try {
        EnsureGuiApplication();
    } catch (...) {
        throw EClipboardException(SCannotOpenClipboard);
    }
    if (QGuiApplication::instance() == nullptr ||
        qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr)
        throw EClipboardException(SCannotOpenClipboard);
    if (QThread::currentThread() != QCoreApplication::instance()->thread())
        throw EClipboardException(SCannotOpenClipboard);
    QClipboard* c = QGuiApplication::clipboard();
    if (c == nullptr) throw EClipboardException(SCannotOpenClipboard);
    return c;
}

QImage ToQImage(const TBitmap& b) {
    std::vector<Byte> bgra = b.ToBGRA();
    QImage img(b.Width(), b.Height(), QImage::Format_RGB32);
    for (int y = 0; y < b.Height(); ++y) {
        auto* row = reinterpret_cast<Byte*>(img.scanLine(y));
        std::memcpy(row, bgra.data() + static_cast<size_t>(y) * b.Width() * 4,
                    static_cast<size_t>(b.Width()) * 4);
        for (int x = 0; x < b.Width(); ++x)
            row[4 * x + 3] = 255;
    }
    return img;
}

void FromQImage(const QImage& source, TBitmap& b) {
    const QImage img = source.convertToFormat(QImage::Format_RGB32);
    if (img.isNull()) throw EInvalidGraphic(SUnknownClipboardFormat);
    TDibImage dib;
    dib.Width = img.width();
    dib.Height = img.height();
    dib.PixelFormat = pfDevice;
    if (dib.Width > MaxBitmapSide || dib.Height > MaxBitmapSide)
        throw EInvalidGraphic(SInvalidBitmap);
    dib.Bits.resize(static_cast<size_t>(dib.Stride()) * dib.Height);
    for (int y = 0; y < dib.Height; ++y) {
        Byte* d = dib.Row(y);
        std::memcpy(d, img.constScanLine(y), static_cast<size_t>(dib.Width) * 4);
        for (int x = 0; x < dib.Width; ++x)
            d[4 * x + 3] = 255;
    }
    b.SetImage(std::move(dib));
}

} // namespace

Word RegisterClipboardFormat(const std::string& Name) {
    if (Name.empty()) return 0;
    TFormatNames& f = FormatNames();
    std::lock_guard<std::mutex> guard(f.Lock);
    for (size_t i = 0; i < f.Names.size(); ++i)
        if (SameText(f.Names[i], Name)) return static_cast<Word>(FirstRegisteredFormat + i);
    if (f.Names.size() >= 0x3FFF) return 0;
    f.Names.push_back(Name);
    return static_cast<Word>(FirstRegisteredFormat + f.Names.size() - 1);
}

std::string GetClipboardFormatName(Word Format) {
    TFormatNames& f = FormatNames();
    std::lock_guard<std::mutex> guard(f.Lock);
    if (Format < FirstRegisteredFormat) return {};
    const size_t i = Format - FirstRegisteredFormat;
    return i < f.Names.size() ? f.Names[i] : std::string();
}

struct TClipboard::TState {
    int OpenCount = 0;
    // The content being built in the open session (nullptr: nothing written yet).
    std::unique_ptr<QMimeData> Pending;
};

TClipboard::TClipboard() : FState(std::make_unique<TState>()) {}
TClipboard::~TClipboard() = default;

void TClipboard::Open() {
    SystemClipboard();
    ++FState->OpenCount;
}

void TClipboard::Close() {
    if (FState->OpenCount == 0) return;
    if (--FState->OpenCount > 0) return;
    if (FState->Pending) SystemClipboard()->setMimeData(FState->Pending.release());
}

void TClipboard::Clear() {
    Open();
    FState->Pending = std::make_unique<QMimeData>();
    Close();
}

bool TClipboard::HasFormat(Word Format) {
    const QMimeData* m = SystemClipboard()->mimeData();
    if (m == nullptr) return false;
    switch (Format) {
    case CF_BITMAP:
    case CF_DIB:
        return m->hasImage();
    case CF_TEXT:
    case CF_UNICODETEXT:
        return m->hasText();
    default:
        return Format >= FirstRegisteredFormat && m->hasFormat(MimeOf(Format));
    }
}

namespace {
QMimeData& Session(std::unique_ptr<QMimeData>& pending) {
    if (!pending) pending = std::make_unique<QMimeData>();
    return *pending;
}
} // namespace

void TClipboard::Assign(const TPersistent* Source) {
    const TGraphic* g = dynamic_cast<const TGraphic*>(Source);
    if (auto* p = dynamic_cast<const TPicture*>(Source)) g = p->Graphic();
    if (g == nullptr) {
        TPersistent::Assign(Source);
        return;
    }
    TBitmap bmp;
    if (auto* b = dynamic_cast<const TBitmap*>(g))
        bmp.Assign(b);
    else
        bmp.Assign(g);
    Open();
    try {
        Session(FState->Pending).setImageData(ToQImage(bmp));
    } catch (...) {
        Close();
        throw;
    }
    Close();
}

void TClipboard::AssignTo(TPersistent* Dest) const {
    TBitmap* b = dynamic_cast<TBitmap*>(Dest);
    if (auto* p = dynamic_cast<TPicture*>(Dest)) b = p->Bitmap();
    if (b == nullptr) {
        TPersistent::AssignTo(Dest);
        return;
    }
    const QMimeData* m = SystemClipboard()->mimeData();
    if (m == nullptr || !m->hasImage()) throw EInvalidGraphic(SUnknownClipboardFormat);
    FromQImage(qvariant_cast<QImage>(m->imageData()), *b);
}

std::string TClipboard::AsText() {
    const QByteArray utf8 = SystemClipboard()->text().toUtf8();
    return std::string(utf8.constData(), static_cast<size_t>(utf8.size()));
}

void TClipboard::SetAsText(const std::string& Value) {
    Open();
    Session(FState->Pending)
        .setText(QString::fromUtf8(Value.data(), static_cast<qsizetype>(Value.size())));
    Close();
}

void TClipboard::SetBuffer(Word Format, const std::vector<Byte>& Data) {
    if (Format < FirstRegisteredFormat || GetClipboardFormatName(Format).empty())
        throw EClipboardException(SUnknownClipboardFormat);
    Open();
    Session(FState->Pending)
        .setData(MimeOf(Format), QByteArray(reinterpret_cast<const char*>(Data.data()),
                                            static_cast<qsizetype>(Data.size())));
    Close();
}

std::vector<Byte> TClipboard::GetBuffer(Word Format) {
    const QMimeData* m = SystemClipboard()->mimeData();
    if (m == nullptr || Format < FirstRegisteredFormat || !m->hasFormat(MimeOf(Format))) return {};
    const QByteArray a = m->data(MimeOf(Format));
    return std::vector<Byte>(a.begin(), a.end());
}

TClipboard* Clipboard() {
    static TClipboard* clipboard = new TClipboard();
    return clipboard;
}
