#pragma once
// TSysWav: plays a wave from a file, a program resource, the bytes stored
// in the form (the storage's "FileData"), or a system sound alias, through
// the system backend (which reports whether anything was played).
#include "syscomp/FileStorage.h"
#include "syscomp/SystemBackend.h"

enum TSysWavPlayFrom { pfFile, pfResource, pfDFM, pfSystemEvent };

class TSysWav : public TSysCustomFileStorage {
public:
    QM_CLASSNAME(TSysWav)
    explicit TSysWav(TComponent* AOwner);
    ~TSysWav() override;

    // Returns whether the backend played the sound.
    virtual bool Play();
    virtual void Stop();
    // True from a play until Stop, or until a synchronous play returns.
    bool Playing() const { return FPlaying; }
    // The request the next play sends (filled by Play).
    const TSysSound& Prepared() const { return FSound; }
    void Prepare();

    bool AsyncPlay() const { return FAsyncPlay; }
    void SetAsyncPlay(bool Value);
    const std::string& EventAlias() const { return FEventAlias; }
    void SetEventAlias(const std::string& Value);
    void SetFileName(const std::string& Value) override;
    bool Looped() const { return FLooped; }
    void SetLooped(bool Value);
    bool NoDefaultSound() const { return FNoDefaultSound; }
    void SetNoDefaultSound(bool Value) { FNoDefaultSound = Value; }
    bool NoStopSound() const { return FNoStopSound; }
    void SetNoStopSound(bool Value) { FNoStopSound = Value; }
    bool NoWaitIfBusy() const { return FNoWaitIfBusy; }
    void SetNoWaitIfBusy(bool Value);
    TSysWavPlayFrom PlayFrom() const { return FPlayFrom; }
    void SetPlayFrom(TSysWavPlayFrom Value);
    const std::string& ResourceName() const { return FResourceName; }
    void SetResourceName(const std::string& Value);

    TNotifyEvent OnPlayBefore;
    TNotifyEvent OnPlayAfter;

private:
    bool FAsyncPlay = true;
    std::string FEventAlias = ".Default";
    bool FLooped = false;
    bool FNoDefaultSound = true;
    bool FNoStopSound = false;
    bool FNoWaitIfBusy = true;
    TSysWavPlayFrom FPlayFrom = pfFile;
    std::string FResourceName = "WAVE1";
    bool FPlaying = false;
    TSysSound FSound;
};
