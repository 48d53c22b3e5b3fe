#include "platform/classes/Stream.h"

#include "platform/base/FileNames.h"
#include "platform/base/Exception.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::int64_t MaxInt64 = std::numeric_limits<std::int64_t>::max();

[[noreturn]] void InvalidPosition() {
    throw EStreamError("Invalid stream position");
}

// Base + Offset, refusing a result before the start or beyond 64 bits.
std::int64_t OffsetPosition(std::int64_t Base, std::int64_t Offset) {
    if (Offset > 0 && Base > MaxInt64 - Offset) InvalidPosition();
    std::int64_t Result = Base + Offset;
    if (Result < 0) InvalidPosition();
    return Result;
}

template <class T> T ReadLE(TStream& S) {
    unsigned char B[sizeof(T)];
    S.ReadBuffer(B, sizeof B);
    std::uint64_t V = 0;
    for (std::size_t I = sizeof(T); I-- > 0;)
        V = (V << 8) | B[I];
    return static_cast<T>(V);
}

template <class T> void WriteLE(TStream& S, T Value) {
    unsigned char B[sizeof(T)];
    auto V = static_cast<std::uint64_t>(Value);
    for (std::size_t I = 0; I < sizeof(T); ++I) {
        B[I] = static_cast<unsigned char>(V & 0xFF);
        V >>= 8;
    }
    S.WriteBuffer(B, sizeof B);
}

} // namespace

// --- TStream -----------------------------------------------------------------

std::int64_t TStream::Size() {
    std::int64_t Pos = Seek(0, soCurrent);
    std::int64_t Result = Seek(0, soEnd);
    Seek(Pos, soBeginning);
    return Result;
}

void TStream::SetSize(std::int64_t NewSize) {
    throw EStreamError("Stream size error");
}

void TStream::ReadBuffer(void* Buffer, std::int64_t Count) {
    if (Count < 0 || (Count != 0 && Read(Buffer, Count) != Count))
        throw EReadError("Stream read error");
}

void TStream::WriteBuffer(const void* Buffer, std::int64_t Count) {
    if (Count < 0 || (Count != 0 && Write(Buffer, Count) != Count))
        throw EWriteError("Stream write error");
}

std::int64_t TStream::CopyFrom(TStream* Source, std::int64_t Count) {
    if (Count < 0) throw EReadError("Stream read error");
    if (Count == 0) {
        Source->SetPosition(0);
        Count = Source->Size();
    }
    constexpr std::int64_t ChunkSize = 64 * 1024;
    const std::int64_t BufferSize = std::min(Count, ChunkSize);
    std::unique_ptr<char[]> Buffer(new char[std::size_t(std::max<std::int64_t>(BufferSize, 1))]);
    std::int64_t Left = Count;
    while (Left > 0) {
        std::int64_t N = std::min(Left, BufferSize);
        Source->ReadBuffer(Buffer.get(), N);
        WriteBuffer(Buffer.get(), N);
        Left -= N;
    }
    return Count;
}

std::uint8_t TStream::ReadByte() {
    return ReadLE<std::uint8_t>(*this);
}
std::uint16_t TStream::ReadWord() {
    return ReadLE<std::uint16_t>(*this);
}
std::int16_t TStream::ReadInt16() {
    return ReadLE<std::int16_t>(*this);
}
std::int32_t TStream::ReadInt32() {
    return ReadLE<std::int32_t>(*this);
}
std::uint32_t TStream::ReadUInt32() {
    return ReadLE<std::uint32_t>(*this);
}
std::int64_t TStream::ReadInt64() {
    return ReadLE<std::int64_t>(*this);
}
float TStream::ReadSingle() {
    return std::bit_cast<float>(ReadLE<std::uint32_t>(*this));
}
double TStream::ReadDouble() {
    return std::bit_cast<double>(ReadLE<std::uint64_t>(*this));
}
void TStream::WriteByte(std::uint8_t Value) {
    WriteLE(*this, Value);
}
void TStream::WriteWord(std::uint16_t Value) {
    WriteLE(*this, Value);
}
void TStream::WriteInt16(std::int16_t Value) {
    WriteLE(*this, Value);
}
void TStream::WriteInt32(std::int32_t Value) {
    WriteLE(*this, Value);
}
void TStream::WriteUInt32(std::uint32_t Value) {
    WriteLE(*this, Value);
}
void TStream::WriteInt64(std::int64_t Value) {
    WriteLE(*this, Value);
}
void TStream::WriteSingle(float Value) {
    WriteLE(*this, std::bit_cast<std::uint32_t>(Value));
}
void TStream::WriteDouble(double Value) {
    WriteLE(*this, std::bit_cast<std::uint64_t>(Value));
}

// --- TMemoryStream -----------------------------------------------------------

TMemoryStream::~TMemoryStream() {
    std::free(FMemory);
}

std::int64_t TMemoryStream::Read(void* Buffer, std::int64_t Count) {
    if (Count <= 0 || FPosition >= FSize) return 0;
    std::int64_t N = std::min(Count, FSize - FPosition);
    std::memcpy(Buffer, FMemory + FPosition, std::size_t(N));
    FPosition += N;
    return N;
}

std::int64_t TMemoryStream::Write(const void* Buffer, std::int64_t Count) {
    if (Count <= 0) return 0;
    if (FPosition > MaxInt64 - Count) return 0;
    std::int64_t End = FPosition + Count;
    if (End > FSize) {
        Reserve(End);
        // A write after a seek beyond the end leaves zeros in the gap.
        if (FPosition > FSize) std::memset(FMemory + FSize, 0, std::size_t(FPosition - FSize));
        FSize = End;
    }
    std::memcpy(FMemory + FPosition, Buffer, std::size_t(Count));
    FPosition = End;
    return Count;
}

std::int64_t TMemoryStream::Seek(std::int64_t Offset, TSeekOrigin Origin) {
    switch (Origin) {
    case soBeginning:
        FPosition = OffsetPosition(0, Offset);
        break;
    case soCurrent:
        FPosition = OffsetPosition(FPosition, Offset);
        break;
    case soEnd:
        FPosition = OffsetPosition(FSize, Offset);
        break;
    }
    return FPosition;
}

void TMemoryStream::Reserve(std::int64_t NewSize) {
    if (NewSize <= FCapacity) return;
    // Grow by half again, in 8 KiB steps, so that appending stays linear.
    constexpr std::int64_t Step = 8192;
    std::int64_t Wanted = NewSize;
    if (FCapacity <= MaxInt64 / 3 && FCapacity + FCapacity / 2 > Wanted)
        Wanted = FCapacity + FCapacity / 2;
    if (Wanted <= MaxInt64 - Step) Wanted = (Wanted + Step - 1) / Step * Step;
    SetCapacity(Wanted);
}

void TMemoryStream::SetCapacity(std::int64_t NewCapacity) {
    NewCapacity = std::max(NewCapacity, FSize);
    if (NewCapacity == FCapacity) return;
    if (NewCapacity == 0) {
        std::free(FMemory);
        FMemory = nullptr;
        FCapacity = 0;
        return;
    }
    if (std::uint64_t(NewCapacity) > std::numeric_limits<std::size_t>::max())
        throw EStreamError("Out of memory while expanding memory stream");
    void* P = std::realloc(FMemory, std::size_t(NewCapacity));
    if (P == nullptr) throw EStreamError("Out of memory while expanding memory stream");
    FMemory = static_cast<char*>(P);
    FCapacity = NewCapacity;
}

void TMemoryStream::SetSize(std::int64_t NewSize) {
    if (NewSize < 0) throw EStreamError("Stream size error");
    if (NewSize > FSize) {
        Reserve(NewSize);
        std::memset(FMemory + FSize, 0, std::size_t(NewSize - FSize));
    }
    FSize = NewSize;
    if (FPosition > NewSize) FPosition = NewSize;
}

void TMemoryStream::Clear() {
    std::free(FMemory);
    FMemory = nullptr;
    FSize = FCapacity = FPosition = 0;
}

void TMemoryStream::LoadFromStream(TStream* Stream) {
    Stream->SetPosition(0);
    std::int64_t Count = Stream->Size();
    SetSize(Count);
    if (Count != 0) Stream->ReadBuffer(FMemory, Count);
    FPosition = 0;
}

void TMemoryStream::SaveToStream(TStream* Stream) {
    if (FSize != 0) Stream->WriteBuffer(FMemory, FSize);
}

void TMemoryStream::LoadFromFile(const std::string& FileName) {
    TFileStream F(FileName, fmOpenRead | fmShareDenyWrite);
    LoadFromStream(&F);
}

void TMemoryStream::SaveToFile(const std::string& FileName) {
    SaveFileAtomic(FileName, View());
}

TBytesStream::TBytesStream(const std::vector<std::uint8_t>& Bytes) {
    WriteBuffer(Bytes.data(), std::int64_t(Bytes.size()));
    SetPosition(0);
}

std::vector<std::uint8_t> TBytesStream::Bytes() const {
    auto V = View();
    return std::vector<std::uint8_t>(V.begin(), V.end());
}

TStringStream::TStringStream(std::string_view Data) {
    WriteBuffer(Data.data(), std::int64_t(Data.size()));
    SetPosition(0);
}

// --- TFileStream -------------------------------------------------------------

TFileStream::TFileStream(const std::string& FileName, Word Mode) : FFileName(FileName) {
    const bool Create = (Mode & fmCreate) == fmCreate;
    int Flags = O_CLOEXEC;
    if (Create) {
        Flags |= O_RDWR | O_CREAT | O_TRUNC;
    } else {
        switch (Mode & 3) {
        case fmOpenRead:
            Flags |= O_RDONLY;
            break;
        case fmOpenWrite:
            Flags |= O_WRONLY;
            break;
        case fmOpenReadWrite:
            Flags |= O_RDWR;
            break;
        default:
            throw EFOpenError("Cannot open file \"" + FileName + "\". " + std::strerror(EINVAL));
        }
    }
    int Error = 0;
    do {
        FHandle = ::open(FileName.c_str(), Flags, 0666);
    } while (FHandle < 0 && errno == EINTR);
    if (FHandle < 0) {
        Error = errno;
    } else {
        // A folder opens for reading on this system, but it is not a file.
        struct stat St;
        if (::fstat(FHandle, &St) == 0 && S_ISDIR(St.st_mode)) {
            ::close(FHandle);
            FHandle = -1;
            Error = EISDIR;
        }
    }
    if (FHandle < 0) {
        std::string Message = std::strerror(Error);
        if (Create) throw EFCreateError("Cannot create file \"" + FileName + "\". " + Message);
        throw EFOpenError("Cannot open file \"" + FileName + "\". " + Message);
    }
}

TFileStream::~TFileStream() {
    if (FHandle >= 0) ::close(FHandle);
}

void TFileStream::DropReadAhead() {
    if (FBufferLength == 0) return;
    const std::int64_t Position = FBufferStart + FBufferIndex;
    FBufferLength = FBufferIndex = 0;
    FBufferStart = Position;
    if (::lseek(FHandle, off_t(Position), SEEK_SET) < 0) InvalidPosition();
}

namespace {

std::int64_t ReadFully(int Handle, char* P, std::int64_t Count) {
    std::int64_t Done = 0;
    while (Done < Count) {
        std::size_t Chunk = std::size_t(std::min<std::int64_t>(Count - Done, 1 << 30));
        ssize_t N = ::read(Handle, P + Done, Chunk);
        if (N < 0 && errno == EINTR) continue;
        if (N <= 0) break;
        Done += N;
    }
    return Done;
}

} // namespace

std::int64_t TFileStream::Read(void* Buffer, std::int64_t Count) {
    if (Count <= 0) return 0;
    auto* P = static_cast<char*>(Buffer);
    std::int64_t Done = std::min(Count, FBufferLength - FBufferIndex);
    if (Done > 0) {
        std::memcpy(P, FBuffer.data() + FBufferIndex, std::size_t(Done));
        FBufferIndex += Done;
    }
    if (Done == Count) return Done;
    // The buffer is used up: the file offset is at its end.
    FBufferStart += FBufferLength;
    FBufferLength = FBufferIndex = 0;
    if (Count - Done >= BufferSize) {
        const std::int64_t N = ReadFully(FHandle, P + Done, Count - Done);
        FBufferStart += N;
        return Done + N;
    }
    if (FBuffer.empty()) FBuffer.resize(std::size_t(BufferSize));
    FBufferLength = ReadFully(FHandle, FBuffer.data(), BufferSize);
    const std::int64_t More = std::min(Count - Done, FBufferLength);
    std::memcpy(P + Done, FBuffer.data(), std::size_t(More));
    FBufferIndex = More;
    return Done + More;
}

std::int64_t TFileStream::Write(const void* Buffer, std::int64_t Count) {
    DropReadAhead();
    std::int64_t Done = 0;
    auto* P = static_cast<const char*>(Buffer);
    while (Done < Count) {
        std::size_t Chunk = std::size_t(std::min<std::int64_t>(Count - Done, 1 << 30));
        ssize_t N = ::write(FHandle, P + Done, Chunk);
        if (N < 0 && errno == EINTR) continue;
        if (N <= 0) break;
        Done += N;
    }
    FBufferStart += Done;
    return Done;
}

std::int64_t TFileStream::Seek(std::int64_t Offset, TSeekOrigin Origin) {
    if (Origin == soBeginning && Offset < 0) InvalidPosition();
    // The stream keeps its own position (FBufferStart + FBufferIndex), so a
    // position query or a move within what was read ahead needs no system
    // call.
    off_t Result;
    if (Origin == soEnd) {
        Result = ::lseek(FHandle, off_t(Offset), SEEK_END);
    } else {
        const std::int64_t Target =
            Origin == soBeginning ? Offset : OffsetPosition(FBufferStart + FBufferIndex, Offset);
        if (Target >= FBufferStart && Target <= FBufferStart + FBufferLength) {
            FBufferIndex = Target - FBufferStart;
            return Target;
        }
        Result = ::lseek(FHandle, off_t(Target), SEEK_SET);
    }
    if (Result < 0) InvalidPosition();
    FBufferLength = FBufferIndex = 0;
    FBufferStart = std::int64_t(Result);
    return FBufferStart;
}

std::int64_t TFileStream::Size() {
    struct stat St;
    if (::fstat(FHandle, &St) != 0) throw EStreamError("Stream size error");
    return std::int64_t(St.st_size);
}

void TFileStream::SetSize(std::int64_t NewSize) {
    DropReadAhead();
    if (NewSize < 0 || ::ftruncate(FHandle, off_t(NewSize)) != 0)
        throw EStreamError("Stream size error");
    if (Position() > NewSize) SetPosition(NewSize);
}
