#pragma once
// Byte streams. Sizes, positions and counts are 64-bit.
//
// Read and Write transfer what they can and return the count; ReadBuffer and
// WriteBuffer demand the whole count and raise EReadError "Stream read
// error" / EWriteError "Stream write error" otherwise. Seeking to a position
// before the start raises EStreamError "Invalid stream position" and leaves
// the position unchanged; seeking past the end is allowed (a later write
// fills the gap with zeros).
#include "platform/base/Object.h"
#include "platform/base/Types.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

enum TSeekOrigin { soBeginning, soCurrent, soEnd };

class TStream : public TObject {
public:
    QM_CLASSNAME(TStream)

    virtual std::int64_t Read(void* Buffer, std::int64_t Count) = 0;
    virtual std::int64_t Write(const void* Buffer, std::int64_t Count) = 0;
    // Returns the new position.
    virtual std::int64_t Seek(std::int64_t Offset, TSeekOrigin Origin) = 0;

    std::int64_t Position() { return Seek(0, soCurrent); }
    void SetPosition(std::int64_t Value) { Seek(Value, soBeginning); }
    virtual std::int64_t Size();
    // The base stream cannot change its size: EStreamError "Stream size error".
    virtual void SetSize(std::int64_t NewSize);

    void ReadBuffer(void* Buffer, std::int64_t Count);
    void WriteBuffer(const void* Buffer, std::int64_t Count);
    // Copies Count bytes from Source's current position; Count 0 copies the
    // whole of Source from its start. Returns the count copied; raises
    // EReadError/EWriteError on a short transfer.
    std::int64_t CopyFrom(TStream* Source, std::int64_t Count);

    // Little-endian helpers; each reads or writes the whole value or raises.
    std::uint8_t ReadByte();
    std::uint16_t ReadWord();
    std::int16_t ReadInt16();
    std::int32_t ReadInt32();
    std::uint32_t ReadUInt32();
    std::int64_t ReadInt64();
    float ReadSingle();
    double ReadDouble();
    void WriteByte(std::uint8_t Value);
    void WriteWord(std::uint16_t Value);
    void WriteInt16(std::int16_t Value);
    void WriteInt32(std::int32_t Value);
    void WriteUInt32(std::uint32_t Value);
    void WriteInt64(std::int64_t Value);
    void WriteSingle(float Value);
    void WriteDouble(double Value);
    void WriteString(std::string_view Bytes) { WriteBuffer(Bytes.data(), Bytes.size()); }
};

// A stream over a growable block of memory that it owns. Capacity grows in
// steps so that a run of small writes does not reallocate each time.
class TMemoryStream : public TStream {
public:
    QM_CLASSNAME(TMemoryStream)

    TMemoryStream() = default;
    ~TMemoryStream() override;
    TMemoryStream(const TMemoryStream&) = delete;
    TMemoryStream& operator=(const TMemoryStream&) = delete;

    std::int64_t Read(void* Buffer, std::int64_t Count) override;
    std::int64_t Write(const void* Buffer, std::int64_t Count) override;
    std::int64_t Seek(std::int64_t Offset, TSeekOrigin Origin) override;
    std::int64_t Size() override { return FSize; }
    // New bytes are zero; the position is moved back to the new end when it
    // lay beyond it.
    void SetSize(std::int64_t NewSize) override;

    void* Memory() { return FMemory; }
    const void* Memory() const { return FMemory; }
    std::int64_t Capacity() const { return FCapacity; }
    // Never below Size; raises EStreamError "Out of memory while expanding
    // memory stream" when the memory cannot be had.
    void SetCapacity(std::int64_t NewCapacity);
    // Frees the memory; size and position become 0.
    void Clear();

    // Replaces the contents with the whole of Stream (from its start);
    // the position becomes 0.
    void LoadFromStream(TStream* Stream);
    // Writes the whole contents to Stream at its position.
    void SaveToStream(TStream* Stream);
    void LoadFromFile(const std::string& FileName);
    // Replaces the file as SaveFileAtomic (platform/base/FileNames.h) does.
    void SaveToFile(const std::string& FileName);

    std::string_view View() const {
        return {static_cast<const char*>(FMemory), std::size_t(FSize)};
    }

private:
    void Reserve(std::int64_t NewSize);

    char* FMemory = nullptr;
    std::int64_t FSize = 0;
    std::int64_t FCapacity = 0;
    std::int64_t FPosition = 0;
};

// A memory stream built from and read back as bytes.
class TBytesStream : public TMemoryStream {
public:
    QM_CLASSNAME(TBytesStream)
    TBytesStream() = default;
    explicit TBytesStream(const std::vector<std::uint8_t>& Bytes);
    std::vector<std::uint8_t> Bytes() const;
};

// A memory stream built from and read back as a string of bytes.
class TStringStream : public TMemoryStream {
public:
    QM_CLASSNAME(TStringStream)
    TStringStream() = default;
    explicit TStringStream(std::string_view Data);
    std::string DataString() const { return std::string(View()); }
};

constexpr Word fmCreate = 0xFF00;
constexpr Word fmOpenRead = 0x0000;
constexpr Word fmOpenWrite = 0x0001;
constexpr Word fmOpenReadWrite = 0x0002;
// Sharing flags are accepted and ignored.
constexpr Word fmShareCompat = 0x0000;
constexpr Word fmShareExclusive = 0x0010;
constexpr Word fmShareDenyWrite = 0x0020;
constexpr Word fmShareDenyRead = 0x0030;
constexpr Word fmShareDenyNone = 0x0040;

// A stream over a file. fmCreate creates or truncates the file for reading
// and writing; otherwise the low bits choose read, write or read-write on an
// existing file. Failures raise EFCreateError "Cannot create file \"<name>\".
// <system message>" or EFOpenError "Cannot open file \"<name>\". <system
// message>".
class TFileStream : public TStream {
public:
    QM_CLASSNAME(TFileStream)

    TFileStream(const std::string& FileName, Word Mode);
    ~TFileStream() override;
    TFileStream(const TFileStream&) = delete;
    TFileStream& operator=(const TFileStream&) = delete;

    std::int64_t Read(void* Buffer, std::int64_t Count) override;
    std::int64_t Write(const void* Buffer, std::int64_t Count) override;
    std::int64_t Seek(std::int64_t Offset, TSeekOrigin Origin) override;
    std::int64_t Size() override;
    // Raises EStreamError "Stream size error" when the file cannot be resized.
    void SetSize(std::int64_t NewSize) override;

    const std::string& FileName() const { return FFileName; }
    int Handle() const { return FHandle; }

private:
    // Reads go through a buffer: readers that peek a byte at a time cost a
    // memory access instead of a system call. Writes go straight to the
    // file (after dropping what was read ahead), so nothing waits unwritten
    // in a destructor that cannot report a failure.
    static constexpr std::int64_t BufferSize = 64 * 1024;
    // Forgets what was read ahead and puts the file offset back at the
    // stream's position.
    void DropReadAhead();
    std::string FFileName;
    int FHandle = -1;
    std::vector<char> FBuffer;
    std::int64_t FBufferStart = 0;  // file offset of FBuffer[0]
    std::int64_t FBufferLength = 0; // bytes read ahead; 0 when none
    std::int64_t FBufferIndex = 0;  // the stream's position is FBufferStart + this
};
