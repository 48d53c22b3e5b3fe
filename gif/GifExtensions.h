#pragma once
// Extension blocks of a frame. Each writes "!" (0x21), its label and its
// body; each checks both bytes when it reads itself. An extension belongs to
// one frame's extension list and takes itself out of it when destroyed.
// The reader finds the class of a block through two registries: by label,
// and for application extensions by their 11-byte identifier.
#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "gif/GifItems.h"

class TGIFExtension;
using TGIFExtensionFactory = std::function<std::unique_ptr<TGIFExtension>(TGIFSubImage*)>;

class TGIFExtension : public TGIFItem {
public:
    QM_CLASSNAME(TGIFExtension)
    explicit TGIFExtension(TGIFSubImage* SubImage);
    // Takes itself out of its frame's list.
    ~TGIFExtension() override;

    // Every extension needs "89a".
    TGIFVersion Version() const override { return gv89a; }
    virtual Byte ExtensionType() const = 0;
    // The class that should read the block at the stream's position (which
    // is just after the label); the stream is left where it was. The
    // application extension looks at its identifier; others answer their own
    // class.
    virtual TGIFExtensionFactory FindSubExtension(TStream& Stream) const;

    // "!" and the label.
    void SaveToStream(TStream& Stream) override;
    // Reads and checks "!" and the label: "Invalid extension introducer",
    // "Internal error: Extension Instance does not match Extension Label".
    void LoadFromStream(TStream& Stream) override;

    TGIFSubImage* SubImage() const { return FSubImage; }
    // Used by the list when a frame is copied.
    void SetSubImage(TGIFSubImage* Value) { FSubImage = Value; }

protected:
    TGIFSubImage* FSubImage;
};

// Graphic Control Extension.
class TGIFGraphicControlExtension : public TGIFExtension {
public:
    QM_CLASSNAME(TGIFGraphicControlExtension)
    // Block size 4, all else 0. Becomes the frame's control extension when it
    // has none yet. The caller appends it to the frame's extension list.
    explicit TGIFGraphicControlExtension(TGIFSubImage* SubImage);
    // Clears the frame's transparent flag when its bit is set; unlinks itself
    // when it is the frame's control extension.
    ~TGIFGraphicControlExtension() override;
    static std::unique_ptr<TGIFGraphicControlExtension> CreateForFrame(TGIFSubImage* SubImage);

    Byte ExtensionType() const override { return bsGraphicControlExtension; }
    void SaveToStream(TStream& Stream) override;
    void LoadFromStream(TStream& Stream) override;

    Byte BlockSize() const { return FBlockSize; }
    Byte PackedFields() const { return FPackedFields; }
    void SetPackedFields(Byte Value) { FPackedFields = Value; }

    bool Transparent() const { return (FPackedFields & gcTransparent) != 0; }
    // Also sets the frame's transparent flag.
    void SetTransparent(bool Value);
    Byte TransparentColorIndex() const { return FTransparentColorIndex; }
    // An index not below the active map's count (when that count is above
    // 0) warns "Invalid color index" and stores 0.
    void SetTransparentColorIndex(int Value);
    // The colour at the transparent index in the frame's active map.
    TColor TransparentColor() const;
    // Index := add unique of the colour in the frame's active colour map; the
    // transparency bit is not changed.
    void SetTransparentByColor(TColor Color);
    void SetTransparentColor(TColor Color) { SetTransparentByColor(Color); }

    Word Delay() const { return FDelay; }
    void SetDelayTicks(Word Value) { FDelay = Value; }
    void SetDelay(Word Value) { FDelay = Value; }
    TGIFDisposal Disposal() const { return TGIFDisposal((FPackedFields & gcDisposalMask) >> 2); }
    // 0..7 into bits 2-4, other bits kept.
    void SetDisposalMethod(int Value);
    void SetDisposal(TGIFDisposal Value) { SetDisposalMethod(int(Value)); }
    bool UserInput() const { return (FPackedFields & gcUserInput) != 0; }
    void SetUserInput(bool Value);

private:
    Byte FBlockSize = 4;
    Byte FPackedFields = 0;
    Word FDelay = 0;
    Byte FTransparentColorIndex = 0;
    Byte FTerminator = 0;
};

// Plain Text Extension.
class TGIFTextExtension : public TGIFExtension {
public:
    QM_CLASSNAME(TGIFTextExtension)
    using TGIFExtension::TGIFExtension;
    Byte ExtensionType() const override { return bsPlainTextExtension; }
    void SaveToStream(TStream& Stream) override;
    void LoadFromStream(TStream& Stream) override;

    Word GridLeft = 0;
    Word GridTop = 0;
    Word GridWidth = 0;
    Word GridHeight = 0;
    Byte CellWidth = 0;
    Byte CellHeight = 0;
    Byte TextForegroundColorIndex = 0;
    Byte TextBackgroundColorIndex = 0;
    // One line per data sub-block.
    std::vector<std::string> Text;
};

// Comment Extension.
class TGIFCommentExtension : public TGIFExtension {
public:
    QM_CLASSNAME(TGIFCommentExtension)
    using TGIFExtension::TGIFExtension;
    Byte ExtensionType() const override { return bsCommentExtension; }
    void SaveToStream(TStream& Stream) override;
    void LoadFromStream(TStream& Stream) override;

    std::vector<std::string> Comment;
};

// Application Extension: an 8-byte identifier and a 3-byte authentication
// code, then data sub-blocks that subclasses interpret.
class TGIFApplicationExtension : public TGIFExtension {
public:
    QM_CLASSNAME(TGIFApplicationExtension)
    using TGIFExtension::TGIFExtension;
    Byte ExtensionType() const override { return bsApplicationExtension; }
    // Reads the block size and identifier ahead to find the registered class.
    TGIFExtensionFactory FindSubExtension(TStream& Stream) const override;
    void SaveToStream(TStream& Stream) override;
    void LoadFromStream(TStream& Stream) override;

    // Padded with spaces / zeros as given.
    std::array<char, 8> Identifier{};
    std::array<char, 3> Authentication{};
    void SetIdentifier(const std::string& Ident, const std::string& Auth);
    std::string IdentifierText() const; // the 11 bytes

protected:
    // The data sub-blocks and their 0 terminator. The base class skips them.
    virtual void SaveData(TStream& Stream);
    virtual void LoadData(TStream& Stream);
};

// Looping extension ("NETSCAPE2.0", also read for "ANIMEXTS1.0").
class TGIFAppExtNSLoop : public TGIFApplicationExtension {
public:
    QM_CLASSNAME(TGIFAppExtNSLoop)
    explicit TGIFAppExtNSLoop(TGIFSubImage* SubImage);
    static std::unique_ptr<TGIFAppExtNSLoop> CreateForFrame(TGIFSubImage* SubImage);

    // 0 = forever.
    Word RepeatCount = 0;
    std::uint32_t BufferSize = 0;

protected:
    void SaveData(TStream& Stream) override;
    void LoadData(TStream& Stream) override;
};

// One data sub-block: a size byte and that many bytes.
class TGIFBlock : public TObject {
public:
    QM_CLASSNAME(TGIFBlock)
    TGIFBlock() = default;
    explicit TGIFBlock(std::vector<Byte> Data) : FData(std::move(Data)) {}
    int Size() const { return int(FData.size()); }
    const std::vector<Byte>& Data() const { return FData; }
    // Size byte then the bytes; a block holds at most 255.
    void SaveToStream(TStream& Stream) const;
    // Reads Size bytes ("Premature end of data" when the stream ends first).
    void LoadFromStream(TStream& Stream, int Size);

private:
    std::vector<Byte> FData;
};

// An application extension nobody knows: its data sub-blocks are kept as
// they are and written back unchanged.
class TGIFUnknownAppExtension : public TGIFApplicationExtension {
public:
    QM_CLASSNAME(TGIFUnknownAppExtension)
    using TGIFApplicationExtension::TGIFApplicationExtension;
    std::vector<std::unique_ptr<TGIFBlock>> Blocks;

protected:
    void SaveData(TStream& Stream) override;
    void LoadData(TStream& Stream) override;
};

// ---------------------------------------------------------------- registries
// Made on first use; searched from the last entry to the first, so a later
// registration overrides an earlier one.
void RegisterExtension(Byte Label, TGIFExtensionFactory Factory);
// Ident is the 8-byte identifier followed by the 3-byte code.
void RegisterAppExtension(const std::string& Ident, TGIFExtensionFactory Factory);
// nullptr-like (empty) factory when none.
TGIFExtensionFactory FindExtension(Byte Label);

// Skips data sub-blocks up to and including the 0 block; the end of the
// stream ends them too.
void SkipSubBlocks(TStream& Stream);
TGIFExtensionFactory FindAppExtension(const std::string& Ident);
// Frees both registries (module shutdown); the next use makes them again.
void FreeExtensionRegistries();

// Text and comment lines as data sub-blocks of at most 255 bytes, a line of
// length 0 writing nothing, then one 0 byte; reading makes one line per
// sub-block.
void WriteGIFStrings(TStream& Stream, const std::vector<std::string>& Lines);
std::vector<std::string> ReadGIFStrings(TStream& Stream);
