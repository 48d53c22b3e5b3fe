#include "syscomp/WorkerThread.h"

#include "platform/base/Format.h"
#include "platform/forms/Dialogs.h"

#include <utility>

TSysThread::~TSysThread() {
    TerminateAndWait();
}

void TSysThread::DoTerminate() {
    FSysFinished.store(true);
    if (OnFinish) Synchronize([this] { OnFinish(this); });
    TThread::DoTerminate();
}

TSysEventThread::~TSysEventThread() {
    SetOnExecute(nullptr);
    TerminateAndWait();
}

void TSysEventThread::SetOnExecute(TSysThreadExecuteEvent Value) {
    std::lock_guard<std::mutex> guard(FLock);
    FOnExecute = std::move(Value);
}

void TSysEventThread::RunCallback() {
    if (Terminated()) return;
    TSysThreadExecuteEvent callback;
    {
        std::lock_guard<std::mutex> guard(FLock);
        callback = FOnExecute;
    }
    if (!callback) return;
    if (Synchronized())
        Synchronize([this, &callback] { callback(this); });
    else
        callback(this);
}

TSysTimerThread::~TSysTimerThread() {
    SetOnExecute(nullptr);
    TerminateAndWait();
}

void TSysTimerThread::SetInterval(unsigned Value) {
    if (FInterval.exchange(Value) != Value) FWake.SetEvent();
}

void TSysTimerThread::SetPaused(bool Value) {
    if (FPaused.exchange(Value) != Value) FWake.SetEvent();
}

void TSysTimerThread::Execute() {
    while (!Terminated()) {
        if (FPaused.load()) {
            FWake.WaitFor(INFINITE);
            continue;
        }
        if (FWake.WaitFor(FInterval.load()) == wrTimeout && !Terminated() && !FPaused.load())
            RunCallback();
    }
}

std::string SysThreadExceptionText(const std::string& ComponentName, const std::exception& E) {
    const auto* e = dynamic_cast<const Exception*>(&E);
    const std::string cls = e ? e->ClassName() : "Exception";
    return "Thread " + ComponentName + " raised exception class " + cls + " with message \"" +
           E.what() + "\".";
}

TSysCustomThreadComponent::TSysCustomThreadComponent(TComponent* AOwner) : TSysComponent(AOwner) {
    CreateThread();
}

TSysCustomThreadComponent::~TSysCustomThreadComponent() {
    // Every thread is joined here, while the handlers its forwarders call
    // are still alive.
    if (FThread) {
        FThread->SetOnExecute(nullptr);
        FThread->TerminateAndWait();
    }
    for (auto& t : FRetired)
        t->TerminateAndWait();
    FThread.reset();
    FRetired.clear();
}

std::unique_ptr<TSysEventThread> TSysCustomThreadComponent::NewThread() {
    return std::make_unique<TSysEventThread>(true);
}

void TSysCustomThreadComponent::ConfigureThread(TSysEventThread* Thread) {
    Thread->SetPriority(FPriority);
    Thread->SetSynchronized(FSynchronized);
    Thread->SetOnExecute([this](TSysEventThread* T) { DoExecute(T); });
    Thread->OnTerminate = [this](TObject* Sender) {
        if (OnTerminate) OnTerminate(Sender);
    };
    Thread->OnFinish = [this](TObject* Sender) {
        if (OnFinish) OnFinish(Sender);
    };
}

void TSysCustomThreadComponent::CreateThread() {
    FThread = NewThread();
    ConfigureThread(FThread.get());
}

void TSysCustomThreadComponent::RetireThreads() {
    std::erase_if(FRetired, [](const std::unique_ptr<TSysEventThread>& t) {
        return t->Suspended() || t->Finished();
    });
}

void TSysCustomThreadComponent::Restart() {
    if (IsDesigning()) return;
    std::unique_ptr<TSysEventThread> old = std::move(FThread);
    CreateThread();
    if (old) {
        old->SetOnExecute(nullptr);
        old->Terminate();
        if (!old->Suspended()) FRetired.push_back(std::move(old));
    }
    RetireThreads();
}

void TSysCustomThreadComponent::Start() {
    if (IsDesigning()) return;
    Restart();
    FSuspended = false;
    FThread->Start();
}

void TSysCustomThreadComponent::SetPriority(TThreadPriority Value) {
    FPriority = Value;
    if (FThread && !IsDesigning()) FThread->SetPriority(Value);
}

bool TSysCustomThreadComponent::Terminated() const {
    // A handler still running on a thread that Start replaced must see its
    // own thread's flag, not the new thread's.
    if (auto* own = dynamic_cast<TSysThread*>(TThread::CurrentThread())) return own->Terminated();
    return !FThread || FThread->Terminated();
}

int TSysCustomThreadComponent::ReturnValue() const {
    return FThread ? FThread->ReturnValue() : 0;
}

void TSysCustomThreadComponent::SetReturnValue(int Value) {
    if (FThread) FThread->SetReturnValue(Value);
}

bool TSysCustomThreadComponent::Suspended() const {
    if (IsDesigning() || IsLoading() || !FThread) return FSuspended;
    return FThread->Suspended();
}

void TSysCustomThreadComponent::SetSuspended(bool Value) {
    FSuspended = Value;
    if (IsDesigning() || IsLoading() || !FThread) return;
    if (!Value) FThread->Resume();
}

void TSysCustomThreadComponent::SetSynchronized(bool Value) {
    FSynchronized = Value;
    if (IsDesigning() || IsLoading() || !FThread) return;
    FThread->SetSynchronized(Value);
}

void TSysCustomThreadComponent::Loaded() {
    TSysComponent::Loaded();
    if (!FThread || IsDesigning()) return;
    FThread->SetSynchronized(FSynchronized);
    if (!FSuspended) FThread->Resume();
}

void TSysCustomThreadComponent::DoExecute(TSysEventThread* Thread) {
    if (!OnExecute) return;
    try {
        OnExecute(this);
    } catch (const std::exception& E) {
        HandleException(E);
    }
}

void TSysCustomThreadComponent::HandleException(const std::exception& E) {
    if (OnException) {
        OnException(this, E);
        return;
    }
    const std::string text = SysThreadExceptionText(Name(), E);
    TThread::Synchronize(TThread::CurrentThread(), [text] {
        DialogService()->MessageBox(text, SysApplicationTitle(),
                                    MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
    });
}

void TSysCustomThreadComponent::Synchronize(const std::function<void()>& Method) {
    TThread::Synchronize(TThread::CurrentThread(), Method);
}

void TSysCustomThreadComponent::Synchronize(const std::function<void(int)>& Method, int Argument) {
    if (FSyncInFlight.exchange(true)) throw EThread("A synchronised call is already running");
    try {
        TThread::Synchronize(TThread::CurrentThread(), [&] { Method(Argument); });
    } catch (...) {
        FSyncInFlight.store(false);
        throw;
    }
    FSyncInFlight.store(false);
}

TSysThreadComponent::TSysThreadComponent(TComponent* AOwner) : TSysCustomThreadComponent(AOwner) {}

TSysCustomThreadTimer::TSysCustomThreadTimer(TComponent* AOwner)
    : TSysCustomThreadComponent(AOwner) {
    CreateThread(); // the base built an event thread: this one needs a timer
}

TSysCustomThreadTimer::~TSysCustomThreadTimer() {
    if (FThread) {
        FThread->SetOnExecute(nullptr);
        FThread->TerminateAndWait();
    }
}

std::unique_ptr<TSysEventThread> TSysCustomThreadTimer::NewThread() {
    auto t = std::make_unique<TSysTimerThread>(true);
    t->SetInterval(FInterval);
    t->SetPaused(!FEnabled);
    return t;
}

void TSysCustomThreadTimer::SetInterval(unsigned Value) {
    FInterval = Value;
    if (FThread && !IsDesigning()) Timer()->SetInterval(Value);
}

bool TSysCustomThreadTimer::Enabled() const {
    if (IsDesigning() || IsLoading() || !FThread) return FEnabled;
    return !Timer()->Suspended() && !Timer()->Paused() && !Timer()->Finished();
}

void TSysCustomThreadTimer::SetEnabled(bool Value) {
    FEnabled = Value;
    FSuspended = !Value;
    if (IsDesigning() || IsLoading() || !FThread) return;
    Timer()->SetPaused(!Value);
    if (Value) Timer()->Resume();
}

void TSysCustomThreadTimer::Loaded() {
    TSysComponent::Loaded();
    if (IsDesigning() || !FThread) return;
    FThread->SetSynchronized(FSynchronized);
    SetEnabled(FEnabled);
}
