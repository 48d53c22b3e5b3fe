#include "syscomp/WavePlayer.h"

#include "platform/classes/Stream.h"

TSysWav::TSysWav(TComponent* AOwner) : TSysCustomFileStorage(AOwner) {}

TSysWav::~TSysWav() {
    Stop();
}

void TSysWav::Prepare() {
    FSound = TSysSound();
    UINT f = 0;
    if (FAsyncPlay) f |= SND_ASYNC;
    if (FLooped) f |= SND_LOOP;
    if (FNoDefaultSound) f |= SND_NODEFAULT;
    if (FNoStopSound) f |= SND_NOSTOP;
    if (FNoWaitIfBusy) f |= SND_NOWAIT;
    switch (FPlayFrom) {
    case pfFile:
        f |= SND_FILENAME;
        FSound.Name = FileName();
        break;
    case pfResource:
        f |= SND_RESOURCE;
        FSound.Name = FResourceName;
        break;
    case pfDFM:
        f |= SND_MEMORY;
        FSound.Data = Data()->Memory();
        FSound.DataSize = DataSize();
        break;
    case pfSystemEvent:
        f |= SND_ALIAS;
        FSound.Name = FEventAlias;
        break;
    }
    FSound.Flags = f;
}

bool TSysWav::Play() {
    Prepare();
    FPlaying = true;
    if (OnPlayBefore) OnPlayBefore(this);
    const bool played = SysBackend()->PlaySound(FSound);
    if (OnPlayAfter) OnPlayAfter(this);
    // A synchronous sound has ended when the call returns; an asynchronous
    // one plays on until Stop.
    if (!played || !FAsyncPlay) FPlaying = false;
    return played;
}

void TSysWav::Stop() {
    FPlaying = false;
    SysBackend()->StopSound();
}

void TSysWav::SetAsyncPlay(bool Value) {
    if (Value == FAsyncPlay) return;
    FAsyncPlay = Value;
    if (Value && FPlaying) Stop();
}

void TSysWav::SetEventAlias(const std::string& Value) {
    if (Value == FEventAlias) return;
    FEventAlias = Value;
    if (FPlayFrom == pfSystemEvent && FPlaying)
        Play();
    else
        Stop();
}

void TSysWav::SetFileName(const std::string& Value) {
    if (Value == FileName()) return;
    TSysCustomFileStorage::SetFileName(Value);
    if (FPlayFrom == pfDFM) {
        if (!IsLoading() && !IsDesigning()) LoadFromFile(Value);
        if (FPlaying) {
            Play();
            return;
        }
    }
    Stop();
}

void TSysWav::SetLooped(bool Value) {
    if (Value == FLooped) return;
    FLooped = Value;
    if (FPlaying) {
        Stop();
        if (Value) Play();
    }
}

void TSysWav::SetNoWaitIfBusy(bool Value) {
    if (Value == FNoWaitIfBusy) return;
    FNoWaitIfBusy = Value;
    if (Value && FPlaying) {
        Stop();
        Play();
    }
}

void TSysWav::SetPlayFrom(TSysWavPlayFrom Value) {
    if (Value == FPlayFrom) return;
    FPlayFrom = Value;
    // The stored bytes belong to pfDFM alone; a stream being read brings
    // its own.
    if (IsLoading()) return;
    if (Value == pfDFM) {
        Clear();
        if (!FileName().empty()) LoadFromFile(FileName());
    } else {
        Clear();
    }
}

void TSysWav::SetResourceName(const std::string& Value) {
    if (Value == FResourceName) return;
    FResourceName = Value;
    if (FPlayFrom == pfResource && FPlaying) Play();
}
