#include "platform/system/Sound.h"

#include <canberra.h>

#include <atomic>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <fstream>
#include <mutex>
#include <thread>
#include <utility>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

struct TAliasName {
    const char* Alias;
    const char* Theme;
};

// The event aliases a program may name, and the theme sound the desktop
// plays for the same occasion.
constexpr TAliasName AliasNames[] = {
    {".Default", "bell"},
    {"SystemDefault", "bell"},
    {"SystemAsterisk", "dialog-information"},
    {"SystemExclamation", "dialog-warning"},
    {"SystemHand", "dialog-error"},
    {"SystemQuestion", "dialog-question"},
    {"SystemNotification", "message"},
    {"SystemStart", "service-login"},
    {"SystemExit", "service-logout"},
    {"MailBeep", "message-new-email"},
    {"EmptyRecycleBin", "trash-empty"},
    {"DeviceConnect", "device-added"},
    {"DeviceDisconnect", "device-removed"},
};

bool SameText(const std::string& a, const char* b) {
    std::size_t i = 0;
    for (; i < a.size() && b[i]; ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return i == a.size() && b[i] == 0;
}

bool KnownAlias(const std::string& Name) {
    for (const TAliasName& a : AliasNames)
        if (SameText(Name, a.Alias)) return true;
    return false;
}

bool FileExists(const std::string& Path) {
    struct stat st {};
    return !Path.empty() && stat(Path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string TempFolder() {
    const char* t = std::getenv("TMPDIR");
    return t && *t ? t : "/tmp";
}

bool WriteFile(const std::string& Path, const void* Data, std::size_t Size) {
    std::ofstream f(Path, std::ios::binary | std::ios::trunc);
    if (!f) return false;
    f.write(static_cast<const char*>(Data), std::streamsize(Size));
    return bool(f);
}

void PutLE(std::vector<unsigned char>& b, std::uint32_t v, int n) {
    for (int i = 0; i < n; ++i)
        b.push_back(static_cast<unsigned char>(v >> (8 * i)));
}

// The short notification sound the program carries for events the
// installed sound theme lacks: 150 ms of a softened 880 Hz tone.
std::vector<unsigned char> ShippedWave() {
    constexpr int Rate = 22050;
    constexpr int Count = Rate * 150 / 1000;
    std::vector<unsigned char> w;
    w.insert(w.end(), {'R', 'I', 'F', 'F'});
    PutLE(w, 36 + Count * 2, 4);
    w.insert(w.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    PutLE(w, 16, 4);
    PutLE(w, 1, 2); // PCM
    PutLE(w, 1, 2); // mono
    PutLE(w, Rate, 4);
    PutLE(w, Rate * 2, 4);
    PutLE(w, 2, 2);
    PutLE(w, 16, 2);
    w.insert(w.end(), {'d', 'a', 't', 'a'});
    PutLE(w, Count * 2, 4);
    for (int i = 0; i < Count; ++i) {
        const double t = double(i) / Rate;
        const double envelope = std::sin(M_PI * i / Count);
        const auto s = static_cast<std::int16_t>(9000 * envelope * std::sin(2 * M_PI * 880 * t));
        PutLE(w, static_cast<std::uint16_t>(s), 2);
    }
    return w;
}

// One sound at a time, as the callers expect: a new one replaces the last.
class TPlayer {
public:
    bool Play(const TSysSound& Sound);
    void Stop();
    bool Playing() {
        std::lock_guard lock(FLock);
        return FCurrent != 0;
    }

private:
    struct TSource {
        bool Event = false;
        std::string Name; // theme name or file path
    };
    // The library calls back on its own threads, sometimes from inside
    // its cancel call: the news is queued for our worker, which alone
    // takes the player's lock for it.
    static void Finished(ca_context*, std::uint32_t Id, int Error, void* Self) {
        static_cast<TPlayer*>(Self)->Queue(Id, Error);
    }
    void Queue(std::uint32_t Id, int Error);
    void Work();
    void OnFinished(std::uint32_t Id, int Error);
    int Start(std::uint32_t Id, const TSource& Source);
    bool Context();
    std::string ShippedFile();
    std::string MemoryFile(const TSysSound& Sound);
    void CancelLocked();

    std::mutex FLock;
    std::condition_variable FDone;
    ca_context* FContext = nullptr; // kept to the end: the library's threads use it
    std::uint32_t FNextId = 1;
    std::uint32_t FCurrent = 0;
    bool FLooping = false;
    TSource FSource;
    std::string FTempFile; // a memory sound's copy, removed when it ends
    std::string FShipped;
    std::mutex FEventLock;
    std::condition_variable FEvent;
    std::deque<std::pair<std::uint32_t, int>> FEvents;
    bool FWorker = false;
};

void TPlayer::Queue(std::uint32_t Id, int Error) {
    std::lock_guard lock(FEventLock);
    FEvents.emplace_back(Id, Error);
    FEvent.notify_one();
}

void TPlayer::Work() {
    for (;;) {
        std::pair<std::uint32_t, int> e;
        {
            std::unique_lock lock(FEventLock);
            FEvent.wait(lock, [&] { return !FEvents.empty(); });
            e = FEvents.front();
            FEvents.pop_front();
        }
        OnFinished(e.first, e.second);
    }
}

bool TPlayer::Context() {
    if (FContext) return true;
    if (ca_context_create(&FContext) != CA_SUCCESS) {
        FContext = nullptr;
        return false;
    }
    if (!FWorker) {
        std::thread([this] { Work(); }).detach();
        FWorker = true;
    }
    ca_context_change_props(FContext, CA_PROP_APPLICATION_NAME, "Quillomark",
                            CA_PROP_APPLICATION_ID, "quillomark", nullptr);
    return true;
}

std::string TPlayer::ShippedFile() {
    if (!FShipped.empty() && FileExists(FShipped)) return FShipped;
    const std::vector<unsigned char> w = ShippedWave();
    const std::string path =
        TempFolder() + "/quillomark-" + std::to_string(getuid()) + "-notify.wav";
    if (!WriteFile(path, w.data(), w.size())) return {};
    FShipped = path;
    return path;
}

std::string TPlayer::MemoryFile(const TSysSound& Sound) {
    static std::atomic<unsigned> Counter{0};
    const std::string path = TempFolder() + "/quillomark-" + std::to_string(getpid()) + "-" +
                             std::to_string(Counter++) + ".wav";
    if (!WriteFile(path, Sound.Data, Sound.DataSize)) return {};
    return path;
}

int TPlayer::Start(std::uint32_t Id, const TSource& Source) {
    ca_proplist* p = nullptr;
    if (ca_proplist_create(&p) != CA_SUCCESS) return CA_ERROR_OOM;
    ca_proplist_sets(p, Source.Event ? CA_PROP_EVENT_ID : CA_PROP_MEDIA_FILENAME,
                     Source.Name.c_str());
    ca_proplist_sets(p, CA_PROP_CANBERRA_CACHE_CONTROL, "volatile");
    const int r = ca_context_play_full(FContext, Id, p, &TPlayer::Finished, this);
    ca_proplist_destroy(p);
    return r;
}

void TPlayer::OnFinished(std::uint32_t Id, int Error) {
    std::unique_lock lock(FLock);
    if (Id != FCurrent) return;
    if (Error == CA_SUCCESS && FLooping && Start(Id, FSource) == CA_SUCCESS) return;
    FCurrent = 0;
    FLooping = false;
    if (!FTempFile.empty()) {
        std::remove(FTempFile.c_str());
        FTempFile.clear();
    }
    FDone.notify_all();
}

void TPlayer::CancelLocked() {
    if (FCurrent == 0) return;
    const std::uint32_t id = FCurrent;
    // Forgotten first, so that the cancelled sound's callback finds it gone.
    FCurrent = 0;
    FLooping = false;
    ca_context_cancel(FContext, id);
    if (!FTempFile.empty()) {
        std::remove(FTempFile.c_str());
        FTempFile.clear();
    }
    FDone.notify_all();
}

void TPlayer::Stop() {
    std::lock_guard lock(FLock);
    CancelLocked();
}

bool TPlayer::Play(const TSysSound& Sound) {
    const TSoundFlags f = Sound.Flags;
    const bool memory = (f & SND_RESOURCE) != SND_RESOURCE && (f & SND_MEMORY) != 0;
    if (!memory && Sound.Name.empty()) {
        Stop();
        return true;
    }
    if (memory && (Sound.Data == nullptr || Sound.DataSize == 0)) return false;
    if (!SysAudioOutputPresent()) return false;

    std::unique_lock lock(FLock);
    if (!Context()) return false;
    if ((f & SND_NOSTOP) && FCurrent != 0) return false;
    CancelLocked();

    // The candidates in the order they are tried: what was asked for, then
    // the program's own sound for a known alias, then the default sound.
    std::vector<TSource> tries;
    std::string temp;
    if ((f & SND_RESOURCE) == SND_RESOURCE) {
        // The program carries no wave resources: the sound is not found.
    } else if (memory) {
        temp = MemoryFile(Sound);
        if (!temp.empty()) tries.push_back({false, temp});
    } else if ((f & SND_FILENAME) || (!(f & SND_ALIAS) && FileExists(Sound.Name))) {
        tries.push_back({false, Sound.Name});
    } else {
        tries.push_back({true, SysSoundThemeName(Sound.Name)});
        if (KnownAlias(Sound.Name)) tries.push_back({false, ShippedFile()});
    }
    if (!(f & SND_NODEFAULT)) {
        tries.push_back({true, "bell"});
        tries.push_back({false, ShippedFile()});
    }

    const std::uint32_t id = FNextId++;
    for (const TSource& s : tries) {
        if (s.Name.empty()) continue;
        FCurrent = id;
        FLooping = (f & SND_LOOP) != 0;
        FSource = s;
        FTempFile = s.Name == temp ? temp : std::string();
        if (Start(id, s) == CA_SUCCESS) {
            // A looped sound never blocks: it ends only when stopped.
            if (!(f & SND_ASYNC) && !FLooping) FDone.wait(lock, [&] { return FCurrent != id; });
            return true;
        }
        FCurrent = 0;
        FLooping = false;
        FTempFile.clear();
    }
    if (!temp.empty()) std::remove(temp.c_str());
    return false;
}

TPlayer& Player() {
    static TPlayer* p = new TPlayer; // never freed: the library's threads call back into it
    return *p;
}

} // namespace

std::string SysSoundThemeName(const std::string& Alias) {
    for (const TAliasName& a : AliasNames)
        if (SameText(Alias, a.Alias)) return a.Theme;
    return Alias;
}

bool SysAudioOutputPresent() {
    static const bool Present = [] {
        if (const char* s = std::getenv("PULSE_SERVER"); s && *s) return true;
        if (const char* r = std::getenv("XDG_RUNTIME_DIR"); r && *r) {
            struct stat st {};
            const std::string dir = r;
            if (stat((dir + "/pulse/native").c_str(), &st) == 0) return true;
            if (stat((dir + "/pipewire-0").c_str(), &st) == 0) return true;
        }
        // A sound card the kernel knows of.
        std::ifstream cards("/proc/asound/cards");
        std::string line;
        while (std::getline(cards, line)) {
            std::size_t i = line.find_first_not_of(' ');
            if (i != std::string::npos && std::isdigit(static_cast<unsigned char>(line[i])))
                return true;
        }
        return false;
    }();
    return Present;
}

bool SysPlaySound(const TSysSound& Sound) {
    return Player().Play(Sound);
}

void SysStopSound() {
    Player().Stop();
}

bool SysSoundPlaying() {
    return Player().Playing();
}
