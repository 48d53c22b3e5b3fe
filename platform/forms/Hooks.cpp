#include "platform/forms/Hooks.h"

#include "platform/forms/Controls.h"

#include <memory>
#include <unordered_map>
#include <vector>

namespace {

struct THookNode {
    THookId Id = 0;
    TWndProcHookHandler Handler;
    THookNode* Next = nullptr;
};

// The walk state of one dispatch in progress: the next node of each chain.
struct THookLevel {
    THookNode* Cursor[2] = {nullptr, nullptr};
};

struct THookRecord {
    TWndMethod* Slot = nullptr;
    TWndMethod Previous;
    THookNode* First[2] = {nullptr, nullptr};
    std::vector<THookLevel*> Levels;
    // Nodes removed while a dispatch was running: their handler may be the
    // one executing, so they are freed when no dispatch is active.
    std::vector<THookNode*> Retired;
    bool Destroyed = false;

    ~THookRecord() {
        for (int Order = 0; Order < 2; ++Order)
            for (THookNode* N = First[Order]; N != nullptr;) {
                THookNode* Next = N->Next;
                delete N;
                N = Next;
            }
        for (THookNode* N : Retired)
            delete N;
    }

    void FlushRetired() {
        if (!Levels.empty()) return;
        for (THookNode* N : Retired)
            delete N;
        Retired.clear();
    }
};

using TRecordPtr = std::shared_ptr<THookRecord>;

struct THookDispatcher {
    TRecordPtr Record;
    void operator()(TMessage& Message) const;
};

struct THookRegistry {
    std::unordered_map<TWndMethod*, TRecordPtr> Records;
    std::unordered_map<THookId, TWndMethod*> Owners; // node id -> target slot
    THookId NextId = 1;
};

THookRegistry& Registry() {
    static THookRegistry* R = new THookRegistry;
    return *R;
}

// Pops its level on every exit path, exceptions included.
class TLevelGuard {
public:
    TLevelGuard(THookRecord& R, THookLevel& L) : FRecord(R) { R.Levels.push_back(&L); }
    ~TLevelGuard() {
        FRecord.Levels.pop_back();
        FRecord.FlushRetired();
    }

private:
    THookRecord& FRecord;
};

bool RunChain(THookRecord& R, THookLevel& L, int Order, TMessage& Message) {
    L.Cursor[Order] = R.First[Order];
    while (THookNode* N = L.Cursor[Order]) {
        L.Cursor[Order] = N->Next;
        if (N->Handler(Message) || R.Destroyed) return true;
    }
    return false;
}

void THookDispatcher::operator()(TMessage& Message) const {
    // The target (and this dispatcher, which lives in its WindowProc) may be
    // destroyed by any call below: only the local reference is used.
    const TRecordPtr R = Record;
    Message.Result = 0;
    THookLevel Level;
    TLevelGuard Guard(*R, Level);
    if (RunChain(*R, Level, hoBeforeMsg, Message)) return;
    if (R->Previous) R->Previous(Message);
    if (R->Destroyed) return;
    RunChain(*R, Level, hoAfterMsg, Message);
}

bool IsOurs(const TRecordPtr& R) {
    const THookDispatcher* D = R->Slot->target<THookDispatcher>();
    return D != nullptr && D->Record == R;
}

void Unhook(THookRegistry& Reg, const TRecordPtr& R) {
    // Copy, not move: the saved procedure may be running in an outer
    // dispatch of this same target.
    if (IsOurs(R)) *R->Slot = R->Previous;
    Reg.Records.erase(R->Slot);
}

THookId Install(TWndMethod* Slot, THookOrder Order, TWndProcHookHandler Handler) {
    if (Slot == nullptr || !Handler) return 0;
    THookRegistry& Reg = Registry();
    TRecordPtr& R = Reg.Records[Slot];
    if (!R) {
        R = std::make_shared<THookRecord>();
        R->Slot = Slot;
        R->Previous = *Slot;
        *Slot = THookDispatcher{R};
    }
    auto* Node = new THookNode{Reg.NextId++, std::move(Handler), nullptr};
    THookNode** Link = &R->First[Order];
    while (*Link != nullptr)
        Link = &(*Link)->Next;
    *Link = Node;
    for (THookLevel* L : R->Levels)
        if (L->Cursor[Order] == nullptr) L->Cursor[Order] = Node;
    Reg.Owners[Node->Id] = Slot;
    return Node->Id;
}

} // namespace

THookId InstallWindowProcHook(TControl* Control, THookOrder Order, TWndProcHookHandler Handler) {
    if (Control == nullptr || Control->ComponentState().Contains(csDestroying)) return 0;
    return Install(&Control->WindowProc, Order, std::move(Handler));
}

THookId InstallWindowProcHook(HWND Wnd, THookOrder Order, TWndProcHookHandler Handler) {
    if (TWinControl* C = FindControl(Wnd))
        return InstallWindowProcHook(C, Order, std::move(Handler));
    return Install(BareWindowProc(Wnd), Order, std::move(Handler));
}

bool RemoveWindowProcHook(THookId Id) {
    THookRegistry& Reg = Registry();
    auto Owner = Reg.Owners.find(Id);
    if (Owner == Reg.Owners.end()) return false;
    TWndMethod* Slot = Owner->second;
    Reg.Owners.erase(Owner);
    auto It = Reg.Records.find(Slot);
    if (It == Reg.Records.end()) return false;
    TRecordPtr R = It->second;
    for (int Order = 0; Order < 2; ++Order) {
        for (THookNode** Link = &R->First[Order]; *Link != nullptr; Link = &(*Link)->Next) {
            THookNode* N = *Link;
            if (N->Id != Id) continue;
            for (THookLevel* L : R->Levels)
                if (L->Cursor[Order] == N) L->Cursor[Order] = N->Next;
            *Link = N->Next;
            R->Retired.push_back(N);
            R->FlushRetired();
            if (R->First[0] == nullptr && R->First[1] == nullptr) Unhook(Reg, R);
            return true;
        }
    }
    return false;
}

int WindowProcHookCount(TControl* Control, THookOrder Order) {
    if (Control == nullptr) return 0;
    auto It = Registry().Records.find(&Control->WindowProc);
    if (It == Registry().Records.end()) return 0;
    int N = 0;
    for (THookNode* Node = It->second->First[Order]; Node != nullptr; Node = Node->Next)
        ++N;
    return N;
}

void WindowProcTargetDestroyed(TWndMethod* Slot) {
    THookRegistry& Reg = Registry();
    auto It = Reg.Records.find(Slot);
    if (It == Reg.Records.end()) return;
    TRecordPtr R = It->second;
    R->Destroyed = true;
    Reg.Records.erase(It);
    for (int Order = 0; Order < 2; ++Order)
        for (THookNode* N = R->First[Order]; N != nullptr; N = N->Next)
            Reg.Owners.erase(N->Id);
    // The slot (holding the dispatcher and with it a reference to R) dies
    // with its target; a running dispatch keeps R alive until it unwinds.
}
