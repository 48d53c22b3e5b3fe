#pragma once
// Shared pieces of the visual system-component tests: a backend that
// records the desktop calls, and a message pump on a clock the test moves.
#include "platform/forms/Messages.h"
#include "platform/system/Clock.h"
#include "syscomp/SystemBackend.h"

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

class TDesktopFake : public TSysBackend {
public:
    struct TCall {
        TSysTrayCommand Command;
        TSysNotifyIconData Data;
    };
    std::vector<TCall> Tray;
    std::vector<TSysSound> Played;
    int Stops = 0;
    bool ThrowOnTray = false;
    bool HasButton = false;
    TRect Button{10, 20, 60, 50};
    std::vector<TRect> Moves;

    bool ShellNotifyIcon(TSysTrayCommand Command, const TSysNotifyIconData& Data) override {
        if (ThrowOnTray) throw std::runtime_error("shell gone");
        Tray.push_back({Command, Data});
        return true;
    }
    bool PlaySound(const TSysSound& Sound) override {
        Played.push_back(Sound);
        return true;
    }
    void StopSound() override { ++Stops; }
    bool StartButtonRect(TRect& R) override {
        if (HasButton) R = Button;
        return HasButton;
    }
    bool SetStartButtonRect(const TRect& R) override {
        if (!HasButton) return false;
        Moves.push_back(R);
        Button = R;
        return true;
    }
    // "add 3", "delete 3", "modify 3" for icon 3.
    std::vector<std::string> TrayLog() const {
        static const char* Names[] = {"add", "modify", "delete"};
        std::vector<std::string> r;
        for (const TCall& c : Tray)
            r.push_back(std::string(Names[c.Command]) + " " + std::to_string(c.Data.ID));
        return r;
    }
};

// A clock that moves only when told, and a pump that delivers what is due.
class TManualClock {
public:
    TManualClock() {
        SetClockSourceForTesting([this] { return Now; });
    }
    ~TManualClock() { SetClockSourceForTesting(nullptr); }
    void Advance(std::uint64_t Ms) {
        Now += Ms;
        Pump();
    }
    static void Pump() {
        TMsg m;
        for (int i = 0; i < 1000 && PeekMessage(m, nullptr, 0, 0, PM_REMOVE); ++i)
            DispatchMessage(m);
    }
    std::uint64_t Now = 1000000;
};
