#include "platform/classes/Component.h"

#include "platform/base/Exception.h"
#include "platform/base/Text.h"

#include <algorithm>

namespace {

// A component going away is announced to its free-notification listeners
// first and then, through its owner, to the owner's whole tree. A listener
// that sits in that tree must hear it only once, so the listeners already
// told are recorded here for the time of the announcement.
struct TRemovalScope {
    TComponent* Removed;
    std::vector<TComponent*> Notified;
    TRemovalScope* Prev;
};
thread_local TRemovalScope* CurrentRemoval = nullptr;

bool AlreadyNotified(TComponent* Listener, TComponent* Removed) {
    for (TRemovalScope* S = CurrentRemoval; S != nullptr; S = S->Prev)
        if (S->Removed == Removed &&
            std::find(S->Notified.begin(), S->Notified.end(), Listener) != S->Notified.end())
            return true;
    return false;
}

void ForgetListener(TComponent* Listener) {
    for (TRemovalScope* S = CurrentRemoval; S != nullptr; S = S->Prev)
        std::erase(S->Notified, Listener);
}

} // namespace

TComponent::TComponent(TComponent* AOwner) {
    if (AOwner != nullptr) AOwner->InsertComponent(this);
}

TComponent::~TComponent() {
    Destroying();
    ForgetListener(this);
    TRemovalScope Scope{this, {}, CurrentRemoval};
    CurrentRemoval = &Scope;
    // Each link is undone before the listener hears, so whatever the listener
    // does in its Notification cannot reach this half-destroyed object.
    while (!FFreeNotifies.empty()) {
        TComponent* Listener = FFreeNotifies.back();
        FFreeNotifies.pop_back();
        Listener->RemoveNotification(this);
        Scope.Notified.push_back(Listener);
        Listener->Notification(this, opRemove);
    }
    DestroyComponents();
    if (FOwner != nullptr) FOwner->RemoveComponent(this);
    CurrentRemoval = Scope.Prev;
}

bool TComponent::IsValidIdent(std::string_view Ident) {
    if (Ident.empty()) return false;
    auto IsAlpha = [](char C) {
        return (C >= 'A' && C <= 'Z') || (C >= 'a' && C <= 'z') || C == '_';
    };
    if (!IsAlpha(Ident[0])) return false;
    for (char C : Ident.substr(1))
        if (!IsAlpha(C) && !(C >= '0' && C <= '9')) return false;
    return true;
}

void TComponent::SetName(const std::string& NewName) {
    if (FName == NewName) return;
    if (!NewName.empty() && !IsValidIdent(NewName))
        throw EComponentError("Component name \"" + NewName + "\" is not a valid identifier");
    if (FOwner != nullptr)
        FOwner->ValidateRename(this, FName, NewName);
    else
        ValidateRename(nullptr, FName, NewName);
    ChangeName(NewName);
}

void TComponent::ValidateRename(TComponent* AComponent, const std::string& CurName,
                                const std::string& NewName) {
    if (AComponent == nullptr || NewName.empty() || SameText(CurName, NewName)) return;
    TComponent* Existing = FindComponent(NewName);
    if (Existing != nullptr && Existing != AComponent)
        throw EComponentError("A component named " + NewName + " already exists");
}

void TComponent::ValidateContainer(TComponent* AComponent) {
    AComponent->ValidateInsert(this);
}

TComponent* TComponent::Components(int Index) const {
    if (Index < 0 || Index >= ComponentCount())
        throw EListError("List index out of bounds (" + std::to_string(Index) + ")");
    return FComponents[std::size_t(Index)];
}

int TComponent::ComponentIndex() const {
    if (FOwner == nullptr) return -1;
    const auto& L = FOwner->FComponents;
    auto It = std::find(L.begin(), L.end(), this);
    return It == L.end() ? -1 : int(It - L.begin());
}

void TComponent::SetComponentIndex(int Value) {
    if (FOwner == nullptr) return;
    auto& L = FOwner->FComponents;
    int Cur = ComponentIndex();
    if (Cur < 0) return;
    Value = std::clamp(Value, 0, int(L.size()) - 1);
    if (Value == Cur) return;
    L.erase(L.begin() + Cur);
    L.insert(L.begin() + Value, this);
}

TComponent* TComponent::FindComponent(std::string_view AName) const {
    if (AName.empty()) return nullptr;
    for (TComponent* C : FComponents)
        if (SameText(C->FName, AName)) return C;
    return nullptr;
}

void TComponent::InsertComponent(TComponent* AComponent) {
    if (AComponent == nullptr || AComponent->FOwner == this) return;
    // An owner cycle would make the owners free each other.
    for (const TComponent* O = this; O != nullptr; O = O->FOwner)
        if (O == AComponent)
            throw EComponentError("A component cannot own itself or one of its owners");
    AComponent->ValidateContainer(this);
    ValidateRename(AComponent, "", AComponent->FName);
    if (AComponent->FOwner != nullptr) AComponent->FOwner->RemoveComponent(AComponent);
    Insert(AComponent);
    if (FComponentState.Contains(csDesigning)) AComponent->SetDesigning(true);
    Notification(AComponent, opInsert);
}

void TComponent::RemoveComponent(TComponent* AComponent) {
    if (AComponent == nullptr || AComponent->FOwner != this) return;
    Notification(AComponent, opRemove);
    Remove(AComponent);
}

void TComponent::Insert(TComponent* AComponent) {
    FComponents.push_back(AComponent);
    AComponent->FOwner = this;
}

void TComponent::Remove(TComponent* AComponent) {
    std::erase(FComponents, AComponent);
    AComponent->FOwner = nullptr;
}

void TComponent::DestroyComponents() {
    // Each destructor takes its component out of this list (telling the
    // siblings), so the list shrinks by one on every turn.
    while (!FComponents.empty()) {
        TComponent* Instance = FComponents.back();
        Instance->BeforeDestruction();
        delete Instance;
    }
}

void TComponent::FreeNotification(TComponent* AComponent) {
    if (AComponent == nullptr || AComponent == this) return;
    // The link is kept between siblings too: one of them may later move to
    // another owner, and it must still hear of the other's end.
    if (std::find(FFreeNotifies.begin(), FFreeNotifies.end(), AComponent) == FFreeNotifies.end())
        FFreeNotifies.push_back(AComponent);
    if (std::find(AComponent->FFreeNotifies.begin(), AComponent->FFreeNotifies.end(), this) ==
        AComponent->FFreeNotifies.end())
        AComponent->FFreeNotifies.push_back(this);
}

void TComponent::RemoveFreeNotification(TComponent* AComponent) {
    if (AComponent == nullptr) return;
    RemoveNotification(AComponent);
    AComponent->RemoveNotification(this);
}

void TComponent::RemoveNotification(TComponent* AComponent) {
    std::erase(FFreeNotifies, AComponent);
}

void TComponent::Notification(TComponent* AComponent, TOperation Operation) {
    // Only a component that is going away loses its links: one that merely
    // leaves its owner must still tell its listeners when it is freed later.
    if (Operation == opRemove && AComponent != nullptr &&
        AComponent->FComponentState.Contains(csDestroying))
        RemoveFreeNotification(AComponent);
    ForwardNotification(AComponent, Operation);
}

void TComponent::ForwardNotification(TComponent* AComponent, TOperation Operation) {
    // A listener may free components of this list while it is told; walk
    // from the end and keep the index inside the shrinking list.
    int I = int(FComponents.size()) - 1;
    while (I >= 0) {
        TComponent* Child = FComponents[std::size_t(I)];
        if (Operation != opRemove || !AlreadyNotified(Child, AComponent))
            Child->Notification(AComponent, Operation);
        --I;
        if (I >= int(FComponents.size())) I = int(FComponents.size()) - 1;
    }
}

void TComponent::SetDesigning(bool Value, bool SetChildren) {
    if (Value)
        FComponentState.Include(csDesigning);
    else
        FComponentState.Exclude(csDesigning);
    if (SetChildren)
        for (TComponent* C : FComponents)
            C->SetDesigning(Value, true);
}

void TComponent::Loaded() {
    FComponentState.Exclude(csLoading);
}

void TComponent::BeforeDestruction() {
    if (!FComponentState.Contains(csDestroying)) Destroying();
}

void TComponent::Destroying() {
    if (FComponentState.Contains(csDestroying)) return;
    FComponentState.Include(csDestroying);
    for (TComponent* C : FComponents)
        C->Destroying();
}
