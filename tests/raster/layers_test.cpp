#include "raster/RasterLayers.h"

#include "platform/base/Exception.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// A layer that covers a box and logs what happens to it.
class TBoxLayer : public TCustomLayer {
public:
    QM_LAYERCLASS(TBoxLayer)
    explicit TBoxLayer(TLayerCollection* C) : TCustomLayer(C) {
        SetLayerOptions(LOB_VISIBLE | LOB_MOUSE_EVENTS);
    }
    TRect Box{0, 0, 10, 10};
    std::vector<std::string> Log;
    std::vector<TCustomLayer*> Freed;

protected:
    bool DoHitTest(int X, int Y) override { return PtInRect(Box, {X, Y}); }
    void MouseDown(TMouseButton B, TShiftState, int, int) override {
        Log.push_back("down" + std::to_string(int(B)));
    }
    void MouseMove(TShiftState S, int X, int Y) override {
        TCustomLayer::MouseMove(S, X, Y);
        Log.push_back("move");
    }
    void MouseUp(TMouseButton B, TShiftState S, int X, int Y) override {
        TCustomLayer::MouseUp(B, S, X, Y);
        Log.push_back("up" + std::to_string(int(B)));
    }
    void Notification(TCustomLayer* L) override { Freed.push_back(L); }
};

struct Events {
    std::vector<std::string> Log;
    void Bind(TLayerCollection& C) {
        C.OnChange = [this](TObject*) { Log.push_back("change"); };
        C.OnRepaintRequest = [this](TObject*) { Log.push_back("repaint"); };
        C.OnChanging = [this](TObject*) { Log.push_back("changing"); };
        C.OnLayerUpdated = [this](TObject*, TCustomLayer*) { Log.push_back("updated"); };
        C.OnListNotify = [this](TLayerCollection*, TLayerListNotification A, TCustomLayer*, int I) {
            Log.push_back("notify" + std::to_string(int(A)) + "@" + std::to_string(I));
        };
    }
};

} // namespace

TEST(LayerCollection, NewCollectionAndOwnerQueries) {
    TLayerCollection c(nullptr);
    EXPECT_TRUE(c.MouseEvents());
    EXPECT_EQ(c.Count(), 0);
    EXPECT_EQ(c.FindLayerAtPos(0, 0, 0xFFFFFFFFu), nullptr);
    EXPECT_EQ(c.MouseDown(mbLeft, {}, 1, 1), nullptr);
    float x = 0, y = 0;
    c.GetViewportScale(x, y); // no owner: identity
    EXPECT_EQ(x + y, 2.0f);
}

TEST(LayerCollection, AddRemoveClearNotify) {
    Events e;
    TLayerCollection c(nullptr);
    e.Bind(c);
    TCustomLayer* a = c.Add<TCustomLayer>();
    EXPECT_EQ(e.Log, (std::vector<std::string>{"changing", "notify1@0", "change", "notify0@0"}));
    TCustomLayer* b = c.Add<TCustomLayer>();
    EXPECT_EQ(b->Index(), 1);
    e.Log.clear();
    a->SetLayerCollection(nullptr); // the caller owns it now
    EXPECT_EQ(e.Log, (std::vector<std::string>{"changing", "notify2@0", "change"}));
    EXPECT_EQ(b->Index(), 0);
    EXPECT_EQ(a->Index(), -1);
    delete a;
    c.Add<TCustomLayer>();
    e.Log.clear();
    c.Clear();
    EXPECT_EQ(e.Log, (std::vector<std::string>{"changing", "notify2@1", "notify2@0", "notify3@0",
                                               "change"}));
    EXPECT_EQ(c.Count(), 0);
}

TEST(LayerCollection, UpdatesPairUp) {
    Events e;
    TLayerCollection c(nullptr);
    e.Bind(c);
    c.BeginUpdate();
    c.BeginUpdate();
    c.EndUpdate();
    EXPECT_EQ(e.Log, (std::vector<std::string>{"changing"}));
    c.EndUpdate();
    EXPECT_EQ(e.Log, (std::vector<std::string>{"changing", "change"}));
    try {
        c.EndUpdate();
        FAIL();
    } catch (const EAssertionFailed& ex) {
        EXPECT_EQ(ex.Message(), "Unpaired EndUpdate");
    }
}

TEST(LayerCollection, IndexChangesAndAssign) {
    TLayerCollection c(nullptr);
    TBoxLayer* a = c.Add<TBoxLayer>();
    TBoxLayer* b = c.Add<TBoxLayer>();
    TBoxLayer* d = c.Add<TBoxLayer>();
    a->SetIndex(99);
    EXPECT_EQ(c.Items(2), a);
    EXPECT_EQ(c.Items(0), b);
    a->SetIndex(-5);
    EXPECT_EQ(c.Items(0), a);
    EXPECT_EQ(c.Items(1), b);
    EXPECT_EQ(c.Items(2), d);
    EXPECT_EQ(c.Items(3), nullptr);

    d->SetLayerOptions(LOB_VISIBLE | LOB_GDI_OVERLAY);
    d->SetCursor(crHandPoint);
    TLayerCollection copy(nullptr);
    copy.Add<TCustomLayer>();
    copy.Assign(&c);
    ASSERT_EQ(copy.Count(), 3);
    EXPECT_NE(dynamic_cast<TBoxLayer*>(copy.Items(2)), nullptr);
    EXPECT_EQ(copy.Items(2)->LayerOptions(), LOB_VISIBLE | LOB_GDI_OVERLAY);
    EXPECT_EQ(copy.Items(2)->Cursor(), crHandPoint);
    EXPECT_EQ(copy.Items(2)->LayerCollection(), &copy);
}

TEST(LayerCollection, HitTestFromTheTop) {
    TLayerCollection c(nullptr);
    TBoxLayer* low = c.Add<TBoxLayer>();
    TBoxLayer* high = c.Add<TBoxLayer>();
    high->Box = {5, 5, 20, 20};
    EXPECT_EQ(c.FindLayerAtPos(6, 6, LOB_MOUSE_EVENTS), high);
    EXPECT_EQ(c.FindLayerAtPos(1, 1, LOB_MOUSE_EVENTS), low);
    EXPECT_EQ(c.FindLayerAtPos(30, 30, LOB_MOUSE_EVENTS), nullptr);
    high->OnHitTest = [](TObject*, int, int, bool& Passed) { Passed = false; };
    EXPECT_EQ(c.FindLayerAtPos(6, 6, LOB_MOUSE_EVENTS), low);
    low->SetLayerOptions(LOB_VISIBLE);
    EXPECT_EQ(c.FindLayerAtPos(6, 6, LOB_MOUSE_EVENTS), nullptr);
    EXPECT_EQ(c.FindLayerAtPos(6, 6, LOB_VISIBLE), low);
}

TEST(LayerCollection, MouseCaptureAndCursors) {
    TLayerCollection c(nullptr);
    std::vector<TCursor> cursors;
    c.OnSetScreenCursor = [&](TCursor v) { cursors.push_back(v); };
    c.OnGetOwnerCursor = [] { return crCross; };
    TBoxLayer* a = c.Add<TBoxLayer>();
    a->SetCursor(crHandPoint);

    EXPECT_EQ(c.MouseMove({}, 50, 50), nullptr);
    EXPECT_EQ(c.MouseDown(mbLeft, {}, 5, 5), a);
    EXPECT_EQ(c.MouseListener(), a);
    EXPECT_EQ(c.MouseDown(mbRight, {}, 50, 50), a); // captured: far away still reaches it
    EXPECT_EQ(c.MouseMove({}, 50, 50), a);
    EXPECT_EQ(c.MouseUp(mbLeft, {}, 50, 50), a);
    EXPECT_EQ(c.MouseListener(), a); // right button still held
    EXPECT_EQ(a->Clicked(), 1u << mbRight);
    c.MouseUp(mbRight, {}, 50, 50);
    EXPECT_EQ(c.MouseListener(), nullptr);
    EXPECT_EQ(a->Log, (std::vector<std::string>{"down0", "down1", "move", "up0", "up1"}));
    EXPECT_EQ(cursors, (std::vector<TCursor>{crCross, crHandPoint, crDefault, crDefault}));

    // A layer that may not capture still hears its click but holds nothing.
    a->Log.clear();
    a->SetLayerOptions(LOB_VISIBLE | LOB_MOUSE_EVENTS | LOB_NO_CAPTURE);
    EXPECT_EQ(c.MouseDown(mbLeft, {}, 5, 5), a);
    EXPECT_EQ(c.MouseListener(), nullptr);
    EXPECT_EQ(c.MouseMove({}, 50, 50), nullptr);
    EXPECT_EQ(a->Log, (std::vector<std::string>{"down0"}));

    // A listener that leaves the collection releases the mouse.
    a->SetLayerOptions(LOB_VISIBLE | LOB_MOUSE_EVENTS);
    c.MouseDown(mbLeft, {}, 5, 5);
    delete a;
    EXPECT_EQ(c.MouseListener(), nullptr);
}

TEST(Layer, ChangesReachTheCollection) {
    Events e;
    TLayerCollection c(nullptr);
    TBoxLayer* a = c.Add<TBoxLayer>();
    e.Bind(c);
    a->Changed();
    EXPECT_EQ(e.Log, (std::vector<std::string>{"updated", "change"}));
    e.Log.clear();
    a->BeginUpdate();
    a->Changed();
    a->EndUpdate();
    EXPECT_TRUE(e.Log.empty());
    // Hiding repaints once so that the layer disappears.
    a->SetVisible(false);
    EXPECT_EQ(e.Log, (std::vector<std::string>{"updated", "updated", "change"}));
    e.Log.clear();
    a->Changed();
    EXPECT_EQ(e.Log, (std::vector<std::string>{"updated"}));
    e.Log.clear();
    a->SetLayerOptions(LOB_FORCE_UPDATE);
    a->Changed();
    EXPECT_EQ(e.Log,
              (std::vector<std::string>{"updated", "updated", "repaint", "updated", "repaint"}));
    e.Log.clear();
    a->SetLayerOptions(LOB_VISIBLE | LOB_NO_UPDATE);
    a->Changed();
    EXPECT_EQ(e.Log, (std::vector<std::string>{"updated"})); // reported before the store
}

TEST(Layer, DestructionNotifies) {
    std::vector<std::string> log;
    {
        TLayerCollection c(nullptr);
        TBoxLayer* a = c.Add<TBoxLayer>();
        TBoxLayer* b = c.Add<TBoxLayer>();
        TBoxLayer* d = c.Add<TBoxLayer>();
        a->AddNotification(b);
        a->AddNotification(d);
        d->AddNotification(b);
        a->OnDestroy = [&](TObject*) { log.push_back("a"); };
        const std::vector<TCustomLayer*> gone{a};
        delete a;
        EXPECT_EQ(b->Freed, gone);
        EXPECT_EQ(d->Freed, gone);
        delete b; // d must forget b without telling anyone
        b = nullptr;
        d->OnDestroy = [&](TObject*) { log.push_back("d"); };
    }
    EXPECT_EQ(log, (std::vector<std::string>{"a", "d"}));
}
