#pragma once
// TComponent: a named persistent object that can own other components.
// An owner frees every component it owns when it is destroyed (the last one
// inserted first). Free notification links two components so that each one
// hears (Notification with opRemove) when the other goes away, which is how a
// component clears its pointer to another one; the links are always mutual,
// so no pointer is left dangling in either direction.
//
// C++ destroys a derived class's members before ~TComponent runs. A derived
// class whose owned components use its members calls DestroyComponents() at
// the start of its own destructor.
#include "platform/classes/Persistent.h"

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

enum TComponentStateFlag {
    csLoading,
    csReading,
    csWriting,
    csDestroying,
    csDesigning,
    csAncestor,
    csUpdating,
    csFixups,
    csInline,
    csDesignInstance
};

// A set of TComponentStateFlag values.
class TComponentState {
public:
    constexpr TComponentState() = default;
    constexpr TComponentState(std::initializer_list<TComponentStateFlag> Flags) {
        for (TComponentStateFlag F : Flags)
            FBits |= Bit(F);
    }
    constexpr bool Contains(TComponentStateFlag F) const { return (FBits & Bit(F)) != 0; }
    constexpr void Include(TComponentStateFlag F) { FBits |= Bit(F); }
    constexpr void Exclude(TComponentStateFlag F) { FBits &= ~Bit(F); }
    constexpr bool Empty() const { return FBits == 0; }
    constexpr std::uint32_t Bits() const { return FBits; }
    friend constexpr bool operator==(TComponentState, TComponentState) = default;

private:
    static constexpr std::uint32_t Bit(TComponentStateFlag F) { return 1u << unsigned(F); }
    std::uint32_t FBits = 0;
};

enum TOperation { opInsert, opRemove };

class TComponent;
class TReader;
class TWriter;
class TFiler;

using TGetChildProc = std::function<void(TComponent* Child)>;

class TComponent : public TPersistent {
public:
    QM_CLASSNAME(TComponent)

    // AOwner (may be nullptr) takes ownership: it deletes this component in
    // its destructor.
    explicit TComponent(TComponent* AOwner);
    ~TComponent() override;
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;

    TComponent* Owner() const { return FOwner; }

    const std::string& Name() const { return FName; }
    // An empty name or an identifier (letter or "_", then letters, digits,
    // "_"); raises EComponentError "Component name \"<name>\" is not a valid
    // identifier", or "A component named <name> already exists" when another
    // component of the owner has that name ignoring case.
    virtual void SetName(const std::string& NewName);

    std::intptr_t Tag() const { return FTag; }
    void SetTag(std::intptr_t Value) { FTag = Value; }

    int ComponentCount() const { return int(FComponents.size()); }
    // The owned component at Index; raises EListError out of range.
    TComponent* Components(int Index) const;
    // This component's index among its owner's components (-1 without owner).
    int ComponentIndex() const;
    void SetComponentIndex(int Value);
    // The owned component with that name, ignoring case; nullptr when none
    // (an empty name finds nothing).
    TComponent* FindComponent(std::string_view AName) const;

    // Moves AComponent (taken from its current owner, if any) into this
    // component's list; the name must be unique among them. Raises
    // EComponentError when AComponent is this component or one of its owners.
    void InsertComponent(TComponent* AComponent);
    // Takes AComponent out of the list without deleting it; it has no owner
    // afterwards.
    void RemoveComponent(TComponent* AComponent);
    // Deletes every owned component, the last inserted first.
    void DestroyComponents();

    // Asks to be told (AComponent->Notification(this, opRemove)) when this
    // component is destroyed, and tells this one when AComponent is. Siblings
    // (same owner) already hear of each other through their owner.
    void FreeNotification(TComponent* AComponent);
    void RemoveFreeNotification(TComponent* AComponent);

    TComponentState ComponentState() const { return FComponentState; }
    // Includes or excludes csDesigning here and, with SetChildren, in every
    // owned component.
    void SetDesigning(bool Value, bool SetChildren = true);

    // Called after the component has been read from a stream: clears
    // csLoading.
    virtual void Loaded();
    // Marks this component and its owned components as csDestroying; the
    // destructor calls it too.
    virtual void BeforeDestruction();
    void Destroying();

    // The component's children in a stream (controls of a form, ...); the
    // base component has none.
    virtual void GetChildren(const TGetChildProc& Proc, TComponent* Root) {}
    virtual bool HasParent() const { return false; }
    virtual TComponent* GetParentComponent() const { return nullptr; }
    virtual void SetParentComponent(TComponent* Value) {}

    TPersistent* GetOwner() const override { return FOwner; }
    std::string GetNamePath() const override { return FName; }

    // True for an identifier of the class library: an ASCII letter or "_",
    // then letters, digits and "_".
    static bool IsValidIdent(std::string_view Ident);

protected:
    // Told of every insertion into and removal from this component's owner
    // chain, and of the destruction of components linked by FreeNotification.
    // The base version drops the free notification link of a component that
    // is being destroyed and passes the news on to every owned component.
    virtual void Notification(TComponent* AComponent, TOperation Operation);
    // Raises when NewName would clash with another owned component.
    virtual void ValidateRename(TComponent* AComponent, const std::string& CurName,
                                const std::string& NewName);
    virtual void ValidateInsert(TComponent* AComponent) {}
    virtual void ValidateContainer(TComponent* AComponent);
    virtual void ChangeName(const std::string& NewName) { FName = NewName; }

    void SetComponentState(TComponentState Value) { FComponentState = Value; }
    void IncludeState(TComponentStateFlag Flag) { FComponentState.Include(Flag); }
    void ExcludeState(TComponentStateFlag Flag) { FComponentState.Exclude(Flag); }

    // The component stream sets csLoading/csReading/csWriting while it works.
    friend class TReader;
    friend class TWriter;
    friend class TFiler;

private:
    void Insert(TComponent* AComponent);
    void Remove(TComponent* AComponent);
    void RemoveNotification(TComponent* AComponent);
    void ForwardNotification(TComponent* AComponent, TOperation Operation);

    TComponent* FOwner = nullptr;
    std::string FName;
    std::intptr_t FTag = 0;
    TComponentState FComponentState;
    std::vector<TComponent*> FComponents;
    std::vector<TComponent*> FFreeNotifies;
};
