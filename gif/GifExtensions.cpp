#include "gif/GifExtensions.h"

#include <algorithm>
#include <cstring>
#include <mutex>

#include "gif/GifImage.h"
#include "gif/GifReader.h"
#include "platform/classes/Stream.h"

namespace {

// Reads one byte; -1 at the end of the stream.
int PeekReadByte(TStream& Stream) {
    Byte b;
    return Stream.Read(&b, 1) == 1 ? b : -1;
}

void ReadExact(TStream& Stream, void* Buffer, std::int64_t Count) {
    if (Stream.Read(Buffer, Count) != Count) RaiseGIFError(sGIFPrematureEOF);
}

} // namespace

void SkipSubBlocks(TStream& Stream) {
    const std::int64_t End = Stream.Size();
    for (;;) {
        const int Size = PeekReadByte(Stream);
        if (Size <= 0) return;
        if (Size > End - Stream.Position()) {
            Stream.Seek(0, soEnd);
            return;
        }
        Stream.Seek(Size, soCurrent);
    }
}

// ------------------------------------------------------------ text strings

void WriteGIFStrings(TStream& Stream, const std::vector<std::string>& Lines) {
    for (const std::string& Line : Lines) {
        std::size_t Pos = 0;
        while (Pos < Line.size()) {
            const std::size_t n = std::min<std::size_t>(255, Line.size() - Pos);
            Stream.WriteByte(Byte(n));
            Stream.WriteBuffer(Line.data() + Pos, std::int64_t(n));
            Pos += n;
        }
    }
    Stream.WriteByte(0);
}

std::vector<std::string> ReadGIFStrings(TStream& Stream) {
    std::vector<std::string> Lines;
    for (;;) {
        const int Size = PeekReadByte(Stream);
        if (Size < 0) RaiseGIFError(sGIFPrematureEOF);
        if (Size == 0) break;
        std::string Line(std::size_t(Size), '\0');
        ReadExact(Stream, Line.data(), Size);
        Lines.push_back(std::move(Line));
    }
    return Lines;
}

// ---------------------------------------------------------------- extension

TGIFExtension::TGIFExtension(TGIFSubImage* SubImage)
    : TGIFItem(SubImage ? SubImage->Image() : nullptr), FSubImage(SubImage) {}

TGIFExtension::~TGIFExtension() {
    if (FSubImage) FSubImage->Extensions().Unlink(this);
}

TGIFExtensionFactory TGIFExtension::FindSubExtension(TStream& Stream) const {
    return FindExtension(ExtensionType());
}

void TGIFExtension::SaveToStream(TStream& Stream) {
    Stream.WriteByte(bsExtensionIntroducer);
    Stream.WriteByte(ExtensionType());
}

void TGIFExtension::LoadFromStream(TStream& Stream) {
    Byte Head[2];
    ReadExact(Stream, Head, 2);
    if (Head[0] != bsExtensionIntroducer) RaiseGIFError(sGIFBadExtensionLabel);
    if (Head[1] != ExtensionType()) RaiseGIFError(sGIFBadExtensionInstance);
}

// ------------------------------------------------- Graphic Control Extension

TGIFGraphicControlExtension::TGIFGraphicControlExtension(TGIFSubImage* SubImage)
    : TGIFExtension(SubImage) {
    if (FSubImage && !FSubImage->GraphicControlExtension())
        FSubImage->SetGraphicControlExtension(this);
}

TGIFGraphicControlExtension::~TGIFGraphicControlExtension() {
    if (FSubImage) {
        if (Transparent()) FSubImage->SetTransparentFlag(false);
        if (FSubImage->GraphicControlExtension() == this)
            FSubImage->SetGraphicControlExtension(nullptr);
    }
}

std::unique_ptr<TGIFGraphicControlExtension>
TGIFGraphicControlExtension::CreateForFrame(TGIFSubImage* SubImage) {
    return std::make_unique<TGIFGraphicControlExtension>(SubImage);
}

void TGIFGraphicControlExtension::SaveToStream(TStream& Stream) {
    TGIFExtension::SaveToStream(Stream);
    // The block size is always written as 4: only those four bytes are kept.
    const Byte Body[6] = {
        4, FPackedFields, Byte(FDelay & 0xFF), Byte(FDelay >> 8), FTransparentColorIndex, 0};
    Stream.WriteBuffer(Body, 6);
}

void TGIFGraphicControlExtension::LoadFromStream(TStream& Stream) {
    TGIFExtension::LoadFromStream(Stream);
    const int Size = PeekReadByte(Stream);
    if (Size < 0) {
        Warning(gsWarning, sGIFPrematureEOF);
        return;
    }
    FBlockSize = Byte(Size);
    Byte Body[255] = {};
    if (Stream.Read(Body, Size) != Size) {
        Warning(gsWarning, sGIFPrematureEOF);
        return;
    }
    FPackedFields = Body[0];
    FDelay = Word(Body[1] | (Body[2] << 8));
    FTransparentColorIndex = Body[3];
    FTerminator = 0;
    // Normally the Block Terminator follows; anything else is more data
    // sub-blocks, skipped so that the stream stays in step.
    const int Next = PeekReadByte(Stream);
    if (Next < 0)
        Warning(gsWarning, sGIFPrematureEOF);
    else if (Next > 0) {
        Stream.Seek(-1, soCurrent);
        SkipSubBlocks(Stream);
    }
    if (FSubImage && Transparent()) FSubImage->SetTransparentFlag(true);
}

void TGIFGraphicControlExtension::SetTransparent(bool Value) {
    if (Value)
        FPackedFields |= gcTransparent;
    else
        FPackedFields &= Byte(~gcTransparent);
    if (FSubImage) FSubImage->SetTransparentFlag(Value);
}

void TGIFGraphicControlExtension::SetTransparentColorIndex(int Value) {
    const int Count = FSubImage ? FSubImage->ActiveColorMap().Count() : 0;
    if ((Count > 0 && Value >= Count) || Value < 0 || Value > 255) {
        Warning(gsWarning, sGIFInvalidColor);
        Value = 0;
    }
    FTransparentColorIndex = Byte(Value);
}

TColor TGIFGraphicControlExtension::TransparentColor() const {
    if (!FSubImage) RaiseGIFError(sGIFEmptyColorMap);
    return FSubImage->ActiveColorMap().Colors(FTransparentColorIndex);
}

void TGIFGraphicControlExtension::SetTransparentByColor(TColor Color) {
    if (!FSubImage) RaiseGIFError(sGIFNoColorTable);
    FTransparentColorIndex = Byte(FSubImage->ActiveColorMap().AddUnique(Color));
}

void TGIFGraphicControlExtension::SetDisposalMethod(int Value) {
    FPackedFields = Byte((FPackedFields & ~gcDisposalMask) | ((Value & 7) << gcDisposalShift));
}

void TGIFGraphicControlExtension::SetUserInput(bool Value) {
    if (Value)
        FPackedFields |= gcUserInput;
    else
        FPackedFields &= Byte(~gcUserInput);
}

// ------------------------------------------------------ Plain Text Extension

void TGIFTextExtension::SaveToStream(TStream& Stream) {
    TGIFExtension::SaveToStream(Stream);
    const Byte Body[13] = {12,
                           Byte(GridLeft & 0xFF),
                           Byte(GridLeft >> 8),
                           Byte(GridTop & 0xFF),
                           Byte(GridTop >> 8),
                           Byte(GridWidth & 0xFF),
                           Byte(GridWidth >> 8),
                           Byte(GridHeight & 0xFF),
                           Byte(GridHeight >> 8),
                           CellWidth,
                           CellHeight,
                           TextForegroundColorIndex,
                           TextBackgroundColorIndex};
    Stream.WriteBuffer(Body, 13);
    WriteGIFStrings(Stream, Text);
}

void TGIFTextExtension::LoadFromStream(TStream& Stream) {
    TGIFExtension::LoadFromStream(Stream);
    Byte Body[13];
    ReadExact(Stream, Body, 13);
    GridLeft = Word(Body[1] | (Body[2] << 8));
    GridTop = Word(Body[3] | (Body[4] << 8));
    GridWidth = Word(Body[5] | (Body[6] << 8));
    GridHeight = Word(Body[7] | (Body[8] << 8));
    CellWidth = Body[9];
    CellHeight = Body[10];
    TextForegroundColorIndex = Body[11];
    TextBackgroundColorIndex = Body[12];
    // A longer header block than the standard 12 bytes: skip its surplus.
    if (Body[0] > 12) {
        const std::int64_t Extra = Body[0] - 12;
        if (Stream.Size() - Stream.Position() < Extra) RaiseGIFError(sGIFPrematureEOF);
        Stream.Seek(Extra, soCurrent);
    }
    Text = ReadGIFStrings(Stream);
}

// --------------------------------------------------------- Comment Extension

void TGIFCommentExtension::SaveToStream(TStream& Stream) {
    TGIFExtension::SaveToStream(Stream);
    WriteGIFStrings(Stream, Comment);
}

void TGIFCommentExtension::LoadFromStream(TStream& Stream) {
    TGIFExtension::LoadFromStream(Stream);
    Comment = ReadGIFStrings(Stream);
}

// ----------------------------------------------------- Application Extension

void TGIFApplicationExtension::SetIdentifier(const std::string& Ident, const std::string& Auth) {
    Identifier.fill(' ');
    Authentication.fill(' ');
    std::memcpy(Identifier.data(), Ident.data(), std::min<std::size_t>(8, Ident.size()));
    std::memcpy(Authentication.data(), Auth.data(), std::min<std::size_t>(3, Auth.size()));
}

std::string TGIFApplicationExtension::IdentifierText() const {
    return std::string(Identifier.data(), 8) + std::string(Authentication.data(), 3);
}

TGIFExtensionFactory TGIFApplicationExtension::FindSubExtension(TStream& Stream) const {
    const std::int64_t Start = Stream.Position();
    Byte Buffer[12];
    const std::int64_t Got = Stream.Read(Buffer, 12);
    Stream.SetPosition(Start);
    auto Base = [](TGIFSubImage* Frame) -> std::unique_ptr<TGIFExtension> {
        return std::make_unique<TGIFApplicationExtension>(Frame);
    };
    auto Unknown = [](TGIFSubImage* Frame) -> std::unique_ptr<TGIFExtension> {
        return std::make_unique<TGIFUnknownAppExtension>(Frame);
    };
    if (Got >= 1 && Buffer[0] == 10) return Unknown;
    if (Got < 12 || Buffer[0] != 11) return Base;
    TGIFExtensionFactory Found =
        FindAppExtension(std::string(reinterpret_cast<const char*>(Buffer + 1), 11));
    return Found ? Found : TGIFExtensionFactory(Unknown);
}

void TGIFApplicationExtension::SaveToStream(TStream& Stream) {
    TGIFExtension::SaveToStream(Stream);
    Stream.WriteByte(11);
    Stream.WriteBuffer(Identifier.data(), 8);
    Stream.WriteBuffer(Authentication.data(), 3);
    SaveData(Stream);
}

void TGIFApplicationExtension::LoadFromStream(TStream& Stream) {
    TGIFExtension::LoadFromStream(Stream);
    const int Size = PeekReadByte(Stream);
    if (Size < 0) RaiseGIFError(sGIFPrematureEOF);
    // Some old writers used a 10-byte identifier block (8 + 2).
    if (Size < 11 && Size != 10) RaiseGIFError(sGIFUnsupportedAppBlockSize);
    Identifier.fill(0);
    Authentication.fill(0);
    Byte Block[255];
    ReadExact(Stream, Block, Size);
    std::memcpy(Identifier.data(), Block, 8);
    std::memcpy(Authentication.data(), Block + 8, std::size_t(std::min(Size, 11) - 8));
    LoadData(Stream);
}

void TGIFApplicationExtension::SaveData(TStream& Stream) {
    Stream.WriteByte(0);
}

void TGIFApplicationExtension::LoadData(TStream& Stream) {
    SkipSubBlocks(Stream);
}

// ------------------------------------------------------------ looping block

TGIFAppExtNSLoop::TGIFAppExtNSLoop(TGIFSubImage* SubImage) : TGIFApplicationExtension(SubImage) {
    SetIdentifier("NETSCAPE", "2.0");
}

std::unique_ptr<TGIFAppExtNSLoop> TGIFAppExtNSLoop::CreateForFrame(TGIFSubImage* SubImage) {
    return std::make_unique<TGIFAppExtNSLoop>(SubImage);
}

void TGIFAppExtNSLoop::SaveData(TStream& Stream) {
    const Byte Loop[4] = {3, 1, Byte(RepeatCount & 0xFF), Byte(RepeatCount >> 8)};
    Stream.WriteBuffer(Loop, 4);
    if (BufferSize != 0) {
        const Byte Buffer[6] = {5,
                                2,
                                Byte(BufferSize & 0xFF),
                                Byte((BufferSize >> 8) & 0xFF),
                                Byte((BufferSize >> 16) & 0xFF),
                                Byte(BufferSize >> 24)};
        Stream.WriteBuffer(Buffer, 6);
    }
    Stream.WriteByte(0);
}

void TGIFAppExtNSLoop::LoadData(TStream& Stream) {
    for (;;) {
        const int Size = PeekReadByte(Stream);
        if (Size < 0) RaiseGIFError(sGIFPrematureEOF);
        if (Size == 0) break;
        Byte Block[255];
        ReadExact(Stream, Block, Size);
        switch (Block[0]) {
        case 1:
            if (Size < 3) RaiseGIFError(sGIFInvalidData);
            RepeatCount = Word(Block[1] | (Block[2] << 8));
            break;
        case 2:
            if (Size < 5) RaiseGIFError(sGIFInvalidData);
            BufferSize = std::uint32_t(Block[1]) | (std::uint32_t(Block[2]) << 8) |
                         (std::uint32_t(Block[3]) << 16) | (std::uint32_t(Block[4]) << 24);
            break;
        default:
            break;
        }
    }
}

// ---------------------------------------------------------------- raw blocks

void TGIFBlock::SaveToStream(TStream& Stream) const {
    Stream.WriteByte(Byte(FData.size()));
    if (!FData.empty()) Stream.WriteBuffer(FData.data(), std::int64_t(FData.size()));
}

void TGIFBlock::LoadFromStream(TStream& Stream, int Size) {
    FData.assign(std::size_t(std::clamp(Size, 0, 255)), 0);
    if (!FData.empty()) ReadExact(Stream, FData.data(), std::int64_t(FData.size()));
}

void TGIFUnknownAppExtension::SaveData(TStream& Stream) {
    for (const auto& Block : Blocks)
        if (Block->Size() > 0) Block->SaveToStream(Stream);
    Stream.WriteByte(0);
}

void TGIFUnknownAppExtension::LoadData(TStream& Stream) {
    Blocks.clear();
    for (;;) {
        const int Size = PeekReadByte(Stream);
        if (Size < 0) RaiseGIFError(sGIFPrematureEOF);
        if (Size == 0) break;
        auto Block = std::make_unique<TGIFBlock>();
        Block->LoadFromStream(Stream, Size);
        Blocks.push_back(std::move(Block));
    }
}

// ---------------------------------------------------------------- registries

namespace {

struct TRegistries {
    std::vector<std::pair<Byte, TGIFExtensionFactory>> ByLabel;
    std::vector<std::pair<std::string, TGIFExtensionFactory>> ByIdent;
    bool Standard = false;
};

std::mutex& RegistryLock() {
    static std::mutex Lock;
    return Lock;
}

// Made on first use, freed explicitly by the module's shutdown.
TRegistries*& RegistryPointer() {
    static TRegistries* Registries = nullptr;
    return Registries;
}

TRegistries& Registries() {
    TRegistries*& R = RegistryPointer();
    if (!R) R = new TRegistries();
    return *R;
}

template <class T> TGIFExtensionFactory FactoryOf() {
    return [](TGIFSubImage* Frame) -> std::unique_ptr<TGIFExtension> {
        return std::make_unique<T>(Frame);
    };
}

// The standard classes go first so that later registrations override them.
void EnsureStandard(TRegistries& R) {
    if (R.Standard) return;
    R.Standard = true;
    const std::pair<Byte, TGIFExtensionFactory> Labels[] = {
        {bsPlainTextExtension, FactoryOf<TGIFTextExtension>()},
        {bsGraphicControlExtension, FactoryOf<TGIFGraphicControlExtension>()},
        {bsCommentExtension, FactoryOf<TGIFCommentExtension>()},
        {bsApplicationExtension, FactoryOf<TGIFApplicationExtension>()}};
    R.ByLabel.insert(R.ByLabel.begin(), std::begin(Labels), std::end(Labels));
    const std::pair<std::string, TGIFExtensionFactory> Idents[] = {
        {"NETSCAPE2.0", FactoryOf<TGIFAppExtNSLoop>()},
        {"ANIMEXTS1.0", FactoryOf<TGIFAppExtNSLoop>()}};
    R.ByIdent.insert(R.ByIdent.begin(), std::begin(Idents), std::end(Idents));
}

// The factory registered last for Key (later registrations override).
template <class TList, class TKey> TGIFExtensionFactory Latest(const TList& List, const TKey& Key) {
    for (auto It = List.rbegin(); It != List.rend(); ++It)
        if (It->first == Key) return It->second;
    return {};
}

} // namespace

void RegisterExtension(Byte Label, TGIFExtensionFactory Factory) {
    std::lock_guard<std::mutex> Guard(RegistryLock());
    EnsureStandard(Registries());
    Registries().ByLabel.emplace_back(Label, std::move(Factory));
}

void RegisterAppExtension(const std::string& Ident, TGIFExtensionFactory Factory) {
    std::lock_guard<std::mutex> Guard(RegistryLock());
    EnsureStandard(Registries());
    Registries().ByIdent.emplace_back(Ident, std::move(Factory));
}

TGIFExtensionFactory FindExtension(Byte Label) {
    std::lock_guard<std::mutex> Guard(RegistryLock());
    EnsureStandard(Registries());
    return Latest(Registries().ByLabel, Label);
}

TGIFExtensionFactory FindAppExtension(const std::string& Ident) {
    std::lock_guard<std::mutex> Guard(RegistryLock());
    EnsureStandard(Registries());
    return Latest(Registries().ByIdent, Ident);
}

void RegisterStandardGIFExtensions() {
    std::lock_guard<std::mutex> Guard(RegistryLock());
    EnsureStandard(Registries());
}

void FreeExtensionRegistries() {
    std::lock_guard<std::mutex> Guard(RegistryLock());
    delete RegistryPointer();
    RegistryPointer() = nullptr;
}
