#include "platform/base/Exception.h"
#include "platform/classes/Stream.h"

#include <gtest/gtest.h>

#include "support/TestSupport.h"

#include <algorithm>
#include <filesystem>
#include <random>
#include <vector>
#include <sys/stat.h>

namespace {

// A stream that hands out at most a few bytes per call and refuses writes
// beyond a limit, to drive the short-transfer paths.
class TStingyStream : public TMemoryStream {
public:
    std::int64_t WriteLimit = 1 << 30;
    std::int64_t Read(void* Buffer, std::int64_t Count) override {
        return TMemoryStream::Read(Buffer, std::min<std::int64_t>(Count, 3));
    }
    std::int64_t Write(const void* Buffer, std::int64_t Count) override {
        std::int64_t N = std::min(Count, WriteLimit - Size());
        return N <= 0 ? 0 : TMemoryStream::Write(Buffer, N);
    }
};

TEST(StreamBuffers, ShortTransfersRaise) {
    TStringStream S("abcd");
    char Buf[8] = {};
    S.ReadBuffer(Buf, 4);
    EXPECT_EQ(std::string(Buf, 4), "abcd");
    S.SetPosition(2);
    EXPECT_EQ(MessageOf<EReadError>([&] { S.ReadBuffer(Buf, 3); }), "Stream read error");
    S.ReadBuffer(Buf, 0);
    EXPECT_THROW(S.ReadBuffer(Buf, -1), EReadError);

    TStingyStream Out;
    Out.WriteLimit = 5;
    Out.WriteBuffer("12345", 5);
    EXPECT_EQ(MessageOf<EWriteError>([&] { Out.WriteBuffer("6", 1); }), "Stream write error");
    // ReadBuffer reads exactly what Read returns: a stream that gives fewer
    // bytes per call fails rather than handing back a half-filled buffer.
    Out.SetPosition(0);
    EXPECT_THROW(Out.ReadBuffer(Buf, 5), EReadError);
}

TEST(StreamHelpers, LittleEndianValues) {
    TMemoryStream S;
    S.WriteInt32(-2);
    S.WriteWord(0x1234);
    S.WriteByte(0xAB);
    S.WriteInt64(0x0102030405060708);
    S.WriteSingle(1.5f);
    S.WriteDouble(-0.25);
    const auto* B = static_cast<const unsigned char*>(S.Memory());
    EXPECT_EQ(std::vector<unsigned char>(B, B + 7),
              (std::vector<unsigned char>{0xFE, 0xFF, 0xFF, 0xFF, 0x34, 0x12, 0xAB}));
    EXPECT_EQ(B[7], 0x08);
    EXPECT_EQ(B[14], 0x01);
    EXPECT_EQ(S.Size(), 4 + 2 + 1 + 8 + 4 + 8);
    S.SetPosition(0);
    EXPECT_EQ(S.ReadInt32(), -2);
    EXPECT_EQ(S.ReadWord(), 0x1234);
    EXPECT_EQ(S.ReadByte(), 0xAB);
    EXPECT_EQ(S.ReadInt64(), 0x0102030405060708);
    EXPECT_EQ(S.ReadSingle(), 1.5f);
    EXPECT_EQ(S.ReadDouble(), -0.25);
    EXPECT_THROW(S.ReadByte(), EReadError);
}

TEST(MemoryStream, SeekSizeAndGaps) {
    TMemoryStream S;
    EXPECT_EQ(S.Size(), 0);
    EXPECT_EQ(S.Seek(10, soBeginning), 10);
    char Buf[4];
    EXPECT_EQ(S.Read(Buf, 4), 0);
    S.WriteBuffer("xy", 2);
    EXPECT_EQ(S.Size(), 12);
    const char* M = static_cast<const char*>(S.Memory());
    EXPECT_EQ(std::string(M, 12), std::string(10, '\0') + "xy");
    EXPECT_EQ(S.Seek(-2, soEnd), 10);
    EXPECT_EQ(S.Seek(1, soCurrent), 11);
    EXPECT_EQ(MessageOf<EStreamError>([&] { S.Seek(-1, soBeginning); }), "Invalid stream position");
    EXPECT_THROW(S.Seek(-13, soEnd), EStreamError);
    EXPECT_THROW(S.Seek(std::numeric_limits<std::int64_t>::max(), soCurrent), EStreamError);
    EXPECT_EQ(S.Position(), 11);

    S.SetSize(4);
    EXPECT_EQ(S.Position(), 4);
    S.SetSize(6);
    EXPECT_EQ(std::string(static_cast<const char*>(S.Memory()), 6), std::string(6, '\0'));
    EXPECT_THROW(S.SetSize(-1), EStreamError);
    S.Clear();
    EXPECT_EQ(S.Size(), 0);
    EXPECT_EQ(S.Position(), 0);
    EXPECT_EQ(S.Memory(), nullptr);
}

TEST(MemoryStream, GrowthDoesNotReallocateOnEveryWrite) {
    TMemoryStream S;
    int Reallocations = 0;
    std::int64_t LastCapacity = 0;
    for (int I = 0; I < 100000; ++I) {
        S.WriteByte(std::uint8_t(I));
        if (S.Capacity() != LastCapacity) {
            ++Reallocations;
            LastCapacity = S.Capacity();
        }
    }
    EXPECT_EQ(S.Size(), 100000);
    EXPECT_LT(Reallocations, 12);
    EXPECT_GE(S.Capacity(), S.Size());
    const auto* B = static_cast<const std::uint8_t*>(S.Memory());
    EXPECT_EQ(B[99999], std::uint8_t(99999));
}

TEST(MemoryStream, CopyFromWholeAndPart) {
    std::string Data(200000, '\0');
    for (std::size_t I = 0; I < Data.size(); ++I)
        Data[I] = char(I * 7 + 3);
    TStingyStream Source;
    Source.WriteString(Data);
    Source.SetPosition(123);
    TMemoryStream Dest;
    // Count 0: the whole source from its start, whatever its position.
    EXPECT_THROW(Dest.CopyFrom(&Source, 0), EReadError) << "the stingy source reads 3 at a time";

    TStringStream Plain(Data);
    Plain.SetPosition(500);
    TMemoryStream Whole;
    EXPECT_EQ(Whole.CopyFrom(&Plain, 0), std::int64_t(Data.size()));
    EXPECT_EQ(Whole.View(), Data);
    Plain.SetPosition(100);
    TMemoryStream Part;
    Part.WriteString("<");
    EXPECT_EQ(Part.CopyFrom(&Plain, 70000), 70000);
    EXPECT_EQ(Part.View(), "<" + Data.substr(100, 70000));
    EXPECT_EQ(Plain.Position(), 70100);
    Plain.SetPosition(Plain.Size() - 5);
    EXPECT_THROW(Part.CopyFrom(&Plain, 6), EReadError);
    EXPECT_THROW(Part.CopyFrom(&Plain, -1), EReadError);
}

TEST(MemoryStream, LoadFromStreamTakesTheWholeSource) {
    TStringStream Source("contenu");
    Source.SetPosition(3);
    TMemoryStream M;
    M.WriteString("old data that is longer");
    M.LoadFromStream(&Source);
    EXPECT_EQ(M.View(), "contenu");
    EXPECT_EQ(M.Position(), 0);
}

class FileStreamTest : public ::testing::Test {
protected:
    void SetUp() override {
        Dir = std::filesystem::temp_directory_path() /
              ("qm_stream_test_" + std::to_string(::getpid()));
        std::filesystem::create_directories(Dir);
    }
    void TearDown() override { std::filesystem::remove_all(Dir); }
    std::string PathOf(const char* Name) { return (Dir / Name).string(); }
    std::filesystem::path Dir;
};

TEST_F(FileStreamTest, CreateWriteReopenAndResize) {
    std::string Name = PathOf("data.bin");
    {
        TFileStream F(Name, fmCreate);
        F.WriteInt32(0x11223344);
        F.WriteString("tail");
        EXPECT_EQ(F.Size(), 8);
        EXPECT_EQ(F.FileName(), Name);
    }
    {
        TFileStream F(Name, fmOpenRead | fmShareDenyNone);
        EXPECT_EQ(F.ReadInt32(), 0x11223344);
        EXPECT_EQ(F.Seek(-1, soEnd), 7);
        EXPECT_EQ(F.ReadByte(), 'l');
        EXPECT_THROW(F.ReadByte(), EReadError);
        EXPECT_THROW(F.Seek(-1, soBeginning), EStreamError);
        EXPECT_THROW(F.Seek(-9, soEnd), EStreamError);
        EXPECT_EQ(F.Position(), 8);
        EXPECT_THROW(F.WriteByte(1), EWriteError) << "opened for reading only";
    }
    {
        TFileStream F(Name, fmOpenReadWrite | fmShareExclusive);
        F.SetSize(2);
        EXPECT_EQ(F.Position(), 0);
        F.Seek(0, soEnd);
        F.WriteString("!");
        EXPECT_EQ(F.Size(), 3);
    }
    TMemoryStream M;
    M.LoadFromFile(Name);
    EXPECT_EQ(M.View(), std::string("\x44\x33!", 3));
    // fmCreate truncates an existing file.
    TFileStream(Name, fmCreate);
    EXPECT_EQ(std::filesystem::file_size(Name), 0u);
}

TEST_F(FileStreamTest, SaveToFileReplacesTheFileWhole) {
    std::string Name = PathOf("keep.txt");
    TStringStream("old").SaveToFile(Name);
    std::filesystem::permissions(Name, std::filesystem::perms::owner_read |
                                           std::filesystem::perms::owner_write);
    TStringStream("new").SaveToFile(Name);
    TMemoryStream M;
    M.LoadFromFile(Name);
    EXPECT_EQ(M.View(), "new");
    EXPECT_EQ(std::filesystem::status(Name).permissions(),
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    std::filesystem::create_directory(PathOf("sub"));
    EXPECT_THROW(M.SaveToFile(PathOf("sub")), EFCreateError);
    // The failed save left no temporary file behind.
    int Entries = 0;
    for ([[maybe_unused]] auto& E : std::filesystem::directory_iterator(Dir))
        ++Entries;
    EXPECT_EQ(Entries, 2);
}

TEST_F(FileStreamTest, OpenAndCreateErrorsNameTheFile) {
    std::string Missing = PathOf("missing.txt");
    EXPECT_EQ(MessageOf<EFOpenError>([&] { TFileStream F(Missing, fmOpenRead); }),
              "Cannot open file \"" + Missing + "\". No such file or directory");
    std::string InMissingDir = PathOf("nodir/new.txt");
    EXPECT_EQ(MessageOf<EFCreateError>([&] { TFileStream F(InMissingDir, fmCreate); }),
              "Cannot create file \"" + InMissingDir + "\". No such file or directory");
    EXPECT_THROW(TFileStream(Dir.string(), fmOpenRead), EFOpenError);
    EXPECT_THROW(TFileStream(Dir.string(), fmCreate), EFCreateError);
    // Both derive from EStreamError, which callers catch as one.
    EXPECT_THROW(TFileStream(Missing, fmOpenReadWrite), EStreamError);
}

} // namespace

// The file stream reads ahead and keeps its own position: any mix of reads,
// writes and seeks must give what the same calls give on a memory stream.
TEST_F(FileStreamTest, ReadAheadMatchesAMemoryStream) {
    std::mt19937 Rng(3);
    std::vector<char> Start(200000);
    for (char& C : Start)
        C = char(Rng());
    const std::string Name = PathOf("mixed.bin");
    {
        TFileStream F(Name, fmCreate);
        F.WriteBuffer(Start.data(), std::int64_t(Start.size()));
    }
    TFileStream F(Name, fmOpenReadWrite);
    TMemoryStream M;
    M.WriteBuffer(Start.data(), std::int64_t(Start.size()));
    M.SetPosition(0);
    std::vector<char> A(150000), B(150000);
    for (int Op = 0; Op < 3000; ++Op) {
        const int Kind = int(Rng() % 10);
        const std::int64_t N = Rng() % 4 == 0 ? std::int64_t(Rng() % 140000) : Rng() % 300;
        if (Kind < 5) {
            const std::int64_t Got = F.Read(A.data(), N);
            ASSERT_EQ(Got, M.Read(B.data(), N)) << Op;
            ASSERT_TRUE(std::equal(A.begin(), A.begin() + Got, B.begin())) << Op;
        } else if (Kind < 7) {
            for (std::int64_t i = 0; i < N; ++i)
                A[std::size_t(i)] = char(Rng());
            ASSERT_EQ(F.Write(A.data(), N), M.Write(A.data(), N)) << Op;
        } else {
            const TSeekOrigin Origin = TSeekOrigin(Kind - 7);
            const std::int64_t Base = Origin == soBeginning ? 0
                                      : Origin == soEnd     ? M.Size()
                                                            : M.Position();
            const std::int64_t Offset = std::int64_t(Rng() % (M.Size() + 1)) - Base;
            ASSERT_EQ(F.Seek(Offset, Origin), M.Seek(Offset, Origin)) << Op;
        }
        ASSERT_EQ(F.Position(), M.Position()) << Op;
        ASSERT_EQ(F.Size(), M.Size()) << Op;
    }
    TMemoryStream Back;
    Back.LoadFromFile(Name);
    EXPECT_EQ(Back.View(), M.View());
}
