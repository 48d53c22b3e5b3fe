#include "syscomp/StartButton.h"
#include "syscomp/WavePlayer.h"

#include "VisTestSupport.h"
#include "platform/classes/Filer.h"
#include "platform/classes/Stream.h"
#include "syscomp/SysRegistration.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

class SysWavTest : public ::testing::Test {
protected:
    SysWavTest() : Scope(&Fake) {}
    TDesktopFake Fake;
    TSysBackendScope Scope;
};

TEST_F(SysWavTest, PreparedRequestFollowsPlayFromAndFlags) {
    TSysWav wav(nullptr);
    std::vector<std::string> order;
    wav.OnPlayBefore = [&](TObject*) { order.push_back(wav.Playing() ? "before+" : "before"); };
    wav.OnPlayAfter = [&](TObject*) { order.push_back("after"); };
    wav.SetFileName("/snd/a.wav");
    EXPECT_TRUE(wav.Play());
    ASSERT_EQ(Fake.Played.size(), 1u);
    EXPECT_EQ(Fake.Played[0].Name, "/snd/a.wav");
    EXPECT_EQ(Fake.Played[0].Flags, SND_ASYNC | SND_NODEFAULT | SND_NOWAIT | SND_FILENAME);
    EXPECT_EQ(order, (std::vector<std::string>{"before+", "after"}));
    EXPECT_TRUE(wav.Playing());

    // Looping a playing sound restarts it looped.
    const int stops = Fake.Stops;
    wav.SetLooped(true);
    EXPECT_EQ(Fake.Stops, stops + 1);
    ASSERT_EQ(Fake.Played.size(), 2u);
    EXPECT_TRUE(Fake.Played[1].Flags & SND_LOOP);

    wav.SetPlayFrom(pfSystemEvent);
    wav.SetEventAlias("MailBeep"); // playing: plays the new alias
    EXPECT_EQ(Fake.Played.back().Name, "MailBeep");
    EXPECT_TRUE(Fake.Played.back().Flags & SND_ALIAS);
    wav.SetPlayFrom(pfResource);
    wav.SetResourceName("DING");
    EXPECT_EQ(Fake.Played.back().Name, "DING");
    EXPECT_EQ(Fake.Played.back().Flags & SND_RESOURCE, SND_RESOURCE);
    wav.Stop();
    EXPECT_FALSE(wav.Playing());
    wav.SetResourceName("OTHER"); // not playing: nothing starts
    EXPECT_EQ(Fake.Played.back().Name, "DING");

    wav.SetAsyncPlay(false);
    wav.Play();
    EXPECT_FALSE(wav.Playing()); // a synchronous sound has ended
}

TEST_F(SysWavTest, StoredWaveComesFromTheFileAndTravelsInTheStream) {
    const auto dir = std::filesystem::temp_directory_path() / "qm-syscompvis-wav";
    std::filesystem::create_directories(dir);
    const std::string file = (dir / "w.wav").string();
    std::ofstream(file, std::ios::binary) << "RIFF1234WAVE";

    TSysWav wav(nullptr);
    wav.SetName("Wav");
    wav.SetPlayFrom(pfDFM); // no file name: nothing stored
    EXPECT_EQ(wav.DataSize(), 0u);
    wav.SetFileName(file);
    EXPECT_EQ(wav.DataSize(), 12u);
    wav.Play();
    EXPECT_TRUE(Fake.Played.back().Flags & SND_MEMORY);
    EXPECT_EQ(Fake.Played.back().DataSize, 12u);
    EXPECT_EQ(std::string(static_cast<const char*>(Fake.Played.back().Data), 12), "RIFF1234WAVE");

    InitSysComponents();
    TMemoryStream m;
    TWriter(m).WriteRootComponent(&wav);
    m.SetPosition(0);
    TSysWav copy(nullptr);
    TReader(m).ReadRootComponent(&copy);
    EXPECT_EQ(copy.PlayFrom(), pfDFM);
    EXPECT_EQ(copy.DataSize(), 12u);

    wav.SetPlayFrom(pfFile); // the bytes belong to pfDFM alone
    EXPECT_EQ(wav.DataSize(), 0u);
    std::filesystem::remove_all(dir);
}

// The real player: a short wave held in the form, played to its end. A
// machine without audio output must refuse it quietly.
TEST(SysWavDesktop, PlaysStoredWaveOrFailsQuietlyWithoutAudio) {
    // 100 ms of 16-bit mono silence at 22050 Hz.
    std::vector<unsigned char> w;
    auto put = [&](std::uint32_t v, int n) {
        for (int i = 0; i < n; ++i)
            w.push_back(std::uint8_t(v >> (8 * i)));
    };
    const std::uint32_t bytes = 2205 * 2;
    w = {'R', 'I', 'F', 'F'};
    put(36 + bytes, 4);
    for (char c : std::string("WAVEfmt "))
        w.push_back(std::uint8_t(c));
    put(16, 4), put(1, 2), put(1, 2), put(22050, 4), put(44100, 4), put(2, 2), put(16, 2);
    for (char c : std::string("data"))
        w.push_back(std::uint8_t(c));
    put(bytes, 4);
    w.resize(w.size() + bytes);

    const auto dir = std::filesystem::temp_directory_path() / "qm-syscompvis-realwav";
    std::filesystem::create_directories(dir);
    const std::string file = (dir / "s.wav").string();
    std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(w.data()), w.size());

    TSysWav wav(nullptr);
    wav.SetPlayFrom(pfDFM);
    wav.SetFileName(file);
    wav.SetAsyncPlay(false);
    std::filesystem::remove_all(dir);
    ASSERT_EQ(wav.DataSize(), w.size());
    if (!SysAudioOutputPresent()) {
        EXPECT_FALSE(wav.Play());
        wav.SetPlayFrom(pfSystemEvent);
        EXPECT_FALSE(wav.Play());
        GTEST_SKIP() << "no sound card or sound server on this machine";
    }
    EXPECT_TRUE(wav.Play());
    EXPECT_FALSE(SysSoundPlaying()); // a synchronous sound has ended
    wav.SetPlayFrom(pfSystemEvent);
    wav.SetEventAlias("SystemAsterisk");
    wav.SetAsyncPlay(true);
    wav.SetLooped(true);
    EXPECT_TRUE(wav.Play());
    EXPECT_TRUE(SysSoundPlaying());
    wav.Stop();
    EXPECT_FALSE(SysSoundPlaying());
}

TEST(SysStartButton, PlacementThroughTheBackend) {
    TDesktopFake fake;
    TSysBackendScope scope(&fake);
    {
        TSysStartButtonProperties none(nullptr);
        EXPECT_FALSE(none.Found());
        none.SetButtonLeft(5);
        EXPECT_EQ(none.ButtonLeft(), 0);
    }
    fake.HasButton = true;
    TSysStartButtonProperties b(nullptr);
    EXPECT_TRUE(b.Found());
    EXPECT_EQ(b.ButtonWidth(), 50);
    EXPECT_EQ(b.ButtonHeight(), 30);
    b.SetButtonLeft(10); // unchanged: not moved
    EXPECT_TRUE(fake.Moves.empty());
    b.SetButtonWidth(80);
    ASSERT_EQ(fake.Moves.size(), 1u);
    EXPECT_EQ(fake.Moves[0].Left, 10);
    EXPECT_EQ(fake.Moves[0].Top, 20);
    EXPECT_EQ(fake.Moves[0].Right, 90);
    EXPECT_EQ(fake.Moves[0].Bottom, 50);
    EXPECT_EQ(b.ButtonWidth(), 80);
}

} // namespace
