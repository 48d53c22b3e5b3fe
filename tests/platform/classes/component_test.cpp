#include "platform/base/Exception.h"
#include "platform/classes/ClassRegistry.h"
#include "platform/classes/Component.h"

#include <gtest/gtest.h>

#include "support/TestSupport.h"

namespace {

// Records what it hears and drops its reference when the other goes away.
class TWatcher : public TComponent {
public:
    QM_CLASSNAME(TWatcher)
    explicit TWatcher(TComponent* AOwner, std::vector<std::string>* Log = nullptr)
        : TComponent(AOwner), FLog(Log) {}

    void Watch(TComponent* C) {
        Target = C;
        if (C != nullptr) C->FreeNotification(this);
    }
    TComponent* Target = nullptr;
    int Removals = 0;

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override {
        TComponent::Notification(AComponent, Operation);
        if (Operation == opRemove && AComponent == Target) {
            Target = nullptr;
            ++Removals;
        }
        if (FLog != nullptr)
            FLog->push_back(Name() + (Operation == opInsert ? "+" : "-") + AComponent->Name());
    }

private:
    std::vector<std::string>* FLog;
};

class TTracked : public TComponent {
public:
    TTracked(TComponent* AOwner, std::vector<std::string>& Order, std::string Id)
        : TComponent(AOwner), FOrder(Order), FId(std::move(Id)) {}
    ~TTracked() override { FOrder.push_back(FId); }

private:
    std::vector<std::string>& FOrder;
    std::string FId;
};

TEST(ComponentOwnership, OwnerFreesItsComponentsLastInsertedFirst) {
    std::vector<std::string> Order;
    auto* Root = new TTracked(nullptr, Order, "root");
    auto* A = new TTracked(Root, Order, "a");
    new TTracked(A, Order, "a1");
    new TTracked(Root, Order, "b");
    new TTracked(Root, Order, "c");
    EXPECT_EQ(Root->ComponentCount(), 3);
    EXPECT_EQ(A->Owner(), Root);
    EXPECT_EQ(Root->Components(0), A);
    EXPECT_EQ(A->ComponentIndex(), 0);
    EXPECT_THROW(Root->Components(3), EListError);
    delete Root;
    // A derived destructor body runs before the base frees the owned ones.
    EXPECT_EQ(Order, (std::vector<std::string>{"root", "c", "b", "a", "a1"}));
}

TEST(ComponentOwnership, DeletingAnOwnedComponentLeavesItsOwnersList) {
    TComponent Root(nullptr);
    auto* A = new TComponent(&Root);
    auto* B = new TComponent(&Root);
    delete A;
    EXPECT_EQ(Root.ComponentCount(), 1);
    EXPECT_EQ(B->ComponentIndex(), 0);
}

TEST(ComponentOwnership, MovingToAnotherOwnerAndRefusingCycles) {
    TComponent First(nullptr), Second(nullptr);
    auto* C = new TComponent(&First);
    auto* Child = new TComponent(C);
    Second.InsertComponent(C);
    EXPECT_EQ(First.ComponentCount(), 0);
    EXPECT_EQ(Second.ComponentCount(), 1);
    EXPECT_EQ(C->Owner(), &Second);
    EXPECT_THROW(Child->InsertComponent(&Second), EComponentError);
    EXPECT_THROW(C->InsertComponent(C), EComponentError);
    First.InsertComponent(Child);
    EXPECT_EQ(C->ComponentCount(), 0);
    Second.RemoveComponent(C);
    EXPECT_EQ(C->Owner(), nullptr);
    delete C;
}

TEST(ComponentNames, ValidationAndCaseInsensitiveLookup) {
    TComponent Root(nullptr);
    auto* A = new TComponent(&Root);
    A->SetName("Image1");
    EXPECT_EQ(Root.FindComponent("IMAGE1"), A);
    EXPECT_EQ(Root.FindComponent("Image2"), nullptr);
    EXPECT_EQ(Root.FindComponent(""), nullptr);
    EXPECT_EQ(A->GetNamePath(), "Image1");

    for (const char* Bad : {"1abc", "a b", "é", "a-b", " "}) {
        EXPECT_EQ(MessageOf<EComponentError>([&] { A->SetName(Bad); }),
                  std::string("Component name \"") + Bad + "\" is not a valid identifier");
    }
    EXPECT_EQ(A->Name(), "Image1");
    auto* B = new TComponent(&Root);
    B->SetName("_x9");
    EXPECT_EQ(MessageOf<EComponentError>([&] { B->SetName("image1"); }),
              "A component named image1 already exists");
    A->SetName("IMAGE1"); // a change of case only is no clash with itself
    B->SetName("");
    EXPECT_EQ(B->Name(), "");
    auto* C = new TComponent(&Root);
    C->SetName(""); // several unnamed components may share an owner

    TComponent Other(nullptr);
    auto* D = new TComponent(&Other);
    D->SetName("Image1");
    EXPECT_THROW(Root.InsertComponent(D), EComponentError);
    EXPECT_EQ(D->Owner(), &Other) << "a refused insertion must leave the component where it was";
}

TEST(ComponentNotification, OwnerTreeHearsInsertionsAndRemovals) {
    std::vector<std::string> Log;
    TWatcher Root(nullptr, &Log);
    Root.SetName("Root");
    auto* W = new TWatcher(&Root, &Log);
    W->SetName("W");
    Log.clear();
    auto* X = new TComponent(nullptr);
    X->SetName("X");
    Root.InsertComponent(X);
    EXPECT_EQ(Log, (std::vector<std::string>{"W+X", "Root+X"}));
    Log.clear();
    delete X;
    EXPECT_EQ(Log, (std::vector<std::string>{"W-X", "Root-X"}));
}

TEST(ComponentNotification, FreeNotificationTellsEachListenerOnce) {
    TComponent FormA(nullptr), FormB(nullptr);
    auto* Target = new TComponent(&FormA);
    auto* Sibling = new TWatcher(&FormA);
    auto* Stranger = new TWatcher(&FormB);
    auto* Nested = new TWatcher(new TComponent(&FormA));
    Sibling->Watch(Target);
    Stranger->Watch(Target);
    Nested->Watch(Target);
    delete Target;
    for (TWatcher* W : {Sibling, Stranger, Nested}) {
        EXPECT_EQ(W->Target, nullptr);
        EXPECT_EQ(W->Removals, 1);
    }
}

TEST(ComponentNotification, NoDanglingLinksWhicheverSideGoesFirst) {
    // Run under the address sanitizer: a stale link would be a use after free.
    auto* Target = new TComponent(nullptr);
    auto* Listener = new TWatcher(nullptr);
    Listener->Watch(Target);
    delete Listener;
    delete Target;

    auto* Listener2 = new TWatcher(nullptr);
    auto* Target2 = new TComponent(nullptr);
    Listener2->Watch(Target2);
    Listener2->Watch(nullptr);
    Target2->RemoveFreeNotification(Listener2);
    delete Target2;
    EXPECT_EQ(Listener2->Removals, 0);
    delete Listener2;

    // Siblings linked, then one moves to another owner: it must still hear.
    TComponent FormA(nullptr), FormB(nullptr);
    auto* T3 = new TComponent(&FormA);
    auto* L3 = new TWatcher(&FormA);
    L3->Watch(T3);
    FormB.InsertComponent(L3);
    delete T3;
    EXPECT_EQ(L3->Target, nullptr);
    EXPECT_EQ(L3->Removals, 1);
}

// A listener that frees another listener of the same component while it is
// being told.
class TCascade : public TComponent {
public:
    using TComponent::TComponent;
    TComponent* Victim = nullptr;

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override {
        TComponent::Notification(AComponent, Operation);
        if (Operation == opRemove && Victim != nullptr && AComponent != Victim) {
            TComponent* V = Victim;
            Victim = nullptr;
            delete V;
        }
    }
};

TEST(ComponentNotification, ListenerFreeingAnotherListenerDuringTheNews) {
    auto* Target = new TComponent(nullptr);
    auto* Other = new TWatcher(nullptr);
    auto* Cascade = new TCascade(nullptr);
    Other->Watch(Target);
    Cascade->Victim = Other;
    Target->FreeNotification(Cascade);
    delete Target;
    EXPECT_EQ(Cascade->Victim, nullptr);
    delete Cascade;
}

TEST(ComponentState, DesigningLoadingDestroying) {
    TComponent Root(nullptr);
    auto* A = new TComponent(&Root);
    Root.SetDesigning(true);
    EXPECT_TRUE(A->ComponentState().Contains(csDesigning));
    auto* B = new TComponent(&Root);
    EXPECT_TRUE(B->ComponentState().Contains(csDesigning));
    Root.SetDesigning(false, false);
    EXPECT_FALSE(Root.ComponentState().Contains(csDesigning));
    EXPECT_TRUE(A->ComponentState().Contains(csDesigning));

    TComponentState S{csLoading, csReading};
    EXPECT_TRUE(S.Contains(csReading));
    S.Exclude(csReading);
    EXPECT_EQ(S, TComponentState{csLoading});

    Root.Destroying();
    EXPECT_TRUE(Root.ComponentState().Contains(csDestroying));
    EXPECT_TRUE(B->ComponentState().Contains(csDestroying));
}

struct TLoadable : TComponent {
    using TComponent::TComponent;
    void StartLoading() { IncludeState(csLoading); }
};

TEST(ComponentState, LoadedClearsLoading) {
    TLoadable C(nullptr);
    C.StartLoading();
    EXPECT_TRUE(C.ComponentState().Contains(csLoading));
    C.Loaded();
    EXPECT_TRUE(C.ComponentState().Empty());
}

class TPoint3 : public TPersistent {
public:
    QM_CLASSNAME(TPoint3)
    int X = 0;
    void Assign(const TPersistent* Source) override {
        if (auto* P = dynamic_cast<const TPoint3*>(Source)) {
            X = P->X;
            return;
        }
        TPersistent::Assign(Source);
    }
};

class TPoint2 : public TPersistent {
public:
    QM_CLASSNAME(TPoint2)
    int X = 0;

protected:
    // Knows how to copy itself into a TPoint3, which does not know it.
    void AssignTo(TPersistent* Dest) const override {
        if (auto* P = dynamic_cast<TPoint3*>(Dest)) {
            P->X = X;
            return;
        }
        TPersistent::AssignTo(Dest);
    }
};

TEST(PersistentAssign, FallsBackToAssignToThenRaisesNamingBothClasses) {
    TPoint3 A, B;
    B.X = 7;
    A.Assign(&B);
    EXPECT_EQ(A.X, 7);
    TPoint2 Two;
    Two.X = 3;
    A.Assign(&Two);
    EXPECT_EQ(A.X, 3);
    EXPECT_EQ(MessageOf<EConvertError>([&] { Two.Assign(&A); }),
              "Cannot assign a TPoint3 to a TPoint2");
    EXPECT_EQ(MessageOf<EConvertError>([&] { A.Assign(nullptr); }),
              "Cannot assign a nil to a TPoint3");
}

TEST(ClassRegistry, RegistersFindsAndIgnoresDuplicates) {
    RegisterClass<TWatcher>("TWatcher");
    RegisterClass("twatcher", [](TComponent*) -> TPersistent* { return new TPoint3; });
    RegisterClass<TPoint3>("TPoint3");

    const TPersistentClass* C = GetClass("TWatcher");
    ASSERT_NE(C, nullptr);
    EXPECT_EQ(C->Name, "TWatcher");
    EXPECT_EQ(GetClass("TWATCHER"), C);
    TComponent Owner(nullptr);
    TPersistent* Made = FindClass("twatcher").Create(&Owner);
    ASSERT_NE(dynamic_cast<TWatcher*>(Made), nullptr) << "the duplicate replaced the first";
    EXPECT_EQ(Owner.ComponentCount(), 1);
    std::unique_ptr<TPersistent> Point(FindClass("TPoint3").Create(nullptr));
    EXPECT_STREQ(Point->ClassName(), "TPoint3");

    EXPECT_EQ(MessageOf<EClassNotFound>([&] { FindClass("TNothing"); }),
              "Class TNothing not found");
    EXPECT_EQ(GetClass("TNothing"), nullptr);

    UnRegisterClass("tpoint3");
    EXPECT_EQ(GetClass("TPoint3"), nullptr);
}

} // namespace
