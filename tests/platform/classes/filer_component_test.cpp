// Components through the stream: exact bytes of a written component, round
// trips of every property kind, binary and nested properties, collections,
// children, and the error contract of the reader.
#include "platform/classes/ClassRegistry.h"
#include "platform/classes/Filer.h"
#include "support/StreamBytes.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace {

enum TTestDrawMode { dmOpaque, dmBlend, dmCustom };
enum TTestAlign { baTopLeft, baCenter, baTiled };

// A nested persistent with a binary property, like a picture's bitmap.
class TTestBitmap : public TPersistent {
public:
    QM_CLASSNAME(TTestBitmap)
    TTestDrawMode DrawMode() const { return FDrawMode; }
    void SetDrawMode(TTestDrawMode Value) { FDrawMode = Value; }
    int MasterAlpha = 255;
    std::string ResamplerClassName = "TNearestResampler";
    std::vector<std::uint8_t> Pixels;

    void DefineProperties(TFiler* Filer) override {
        Filer->DefineBinaryProperty(
            "Data",
            [this](TStream& S) {
                Pixels.resize(static_cast<std::size_t>(S.Size()));
                S.ReadBuffer(Pixels.data(), S.Size());
            },
            [this](TStream& S) { S.WriteBuffer(Pixels.data(), std::int64_t(Pixels.size())); },
            !Pixels.empty());
    }

private:
    TTestDrawMode FDrawMode = dmOpaque;
};

class TTestItem : public TPersistent {
public:
    QM_CLASSNAME(TTestItem)
    std::string Caption;
    int Width = 0;
};

class TTestControl : public TComponent {
public:
    QM_CLASSNAME(TTestControl)
    explicit TTestControl(TComponent* AOwner) : TComponent(AOwner) {}

    int Left() const { return FLeft; }
    void SetLeft(int v) {
        FLeft = v;
        StateWhenSet = ComponentState();
    }
    bool Visible = true;
    TTestAlign Align = baTopLeft;
    std::uint32_t Anchors = 0;
    std::int32_t Color = 0;
    std::string Caption;
    double Scale = 1.0;
    std::int64_t Big = 0;
    TTestBitmap Bitmap;
    std::vector<std::unique_ptr<TTestItem>> Items;
    std::string Extra;                              // a defined (non-binary) property
    std::vector<std::unique_ptr<TTestItem>> Others; // a defined collection
    int LoadedCalls = 0;
    TComponentState StateWhenSet;
    TComponentState StateAtLoaded;

    void DefineProperties(TFiler* Filer) override {
        Filer->DefineProperty(
            "Extra", [this](TReader& R) { Extra = R.ReadString(); },
            [this](TWriter& W) { W.WriteString(Extra); }, !Extra.empty());
        Filer->DefineProperty(
            "Others",
            [this](TReader& R) {
                R.ReadCollection([this] {
                    Others.push_back(std::make_unique<TTestItem>());
                    return Others.back().get();
                });
            },
            [this](TWriter& W) {
                std::vector<TPersistent*> items;
                for (auto& item : Others)
                    items.push_back(item.get());
                W.WriteCollection(items);
            },
            !Others.empty());
    }
    void Loaded() override {
        ++LoadedCalls;
        StateAtLoaded = ComponentState();
        TComponent::Loaded();
    }
    // Owned components are its children in the stream.
    void GetChildren(const TGetChildProc& Proc, TComponent* Root) override {
        for (int i = 0; i < ComponentCount(); ++i)
            Proc(Components(i));
    }

private:
    int FLeft = 0;
};

void RegisterTestClasses() {
    TPublishedProperties<TTestBitmap>("TTestBitmap", "")
        .Enumeration("DrawMode", &TTestBitmap::DrawMode, &TTestBitmap::SetDrawMode,
                     {"dmOpaque", "dmBlend", "dmCustom"})
        .Default(dmOpaque)
        .Integer("MasterAlpha", &TTestBitmap::MasterAlpha, &TTestBitmap::MasterAlpha)
        .Default(255)
        .String("ResamplerClassName", &TTestBitmap::ResamplerClassName,
                &TTestBitmap::ResamplerClassName)
        .NoDefault()
        .Register();
    TPublishedProperties<TTestItem>("TTestItem", "")
        .String("Caption", &TTestItem::Caption, &TTestItem::Caption)
        .Integer("Width", &TTestItem::Width, &TTestItem::Width)
        .Default(0)
        .Register();
    TPublishedProperties<TTestControl>("TTestControl", "TComponent")
        .Integer("Left", &TTestControl::Left, &TTestControl::SetLeft)
        .Class("Bitmap", [](TTestControl& c) { return &c.Bitmap; })
        .Enumeration("BitmapAlign", &TTestControl::Align, &TTestControl::Align,
                     {"baTopLeft", "baCenter", "baTiled"})
        .Set("Anchors", &TTestControl::Anchors, &TTestControl::Anchors,
             {"akLeft", "akTop", "akRight", "akBottom"})
        .Default(0)
        .Color("Color", &TTestControl::Color, &TTestControl::Color)
        .Default(0)
        .String("Caption", &TTestControl::Caption, &TTestControl::Caption)
        .Float("Scale", &TTestControl::Scale, &TTestControl::Scale)
        .NoDefault()
        .Integer("Big", &TTestControl::Big, &TTestControl::Big)
        .Default(0)
        .Collection(
            "Items", [](TTestControl& c) { return c.Items.size(); },
            [](TTestControl& c, int i) { return c.Items[std::size_t(i)].get(); },
            [](TTestControl& c) { c.Items.clear(); },
            [](TTestControl& c) {
                c.Items.push_back(std::make_unique<TTestItem>());
                return c.Items.back().get();
            })
        .Boolean("Visible", &TTestControl::Visible, &TTestControl::Visible)
        .Default(true)
        .Register();
    RegisterClass<TTestControl>("TTestControl");
}

Bytes Write(TComponent* c) {
    TBytesStream s;
    WriteComponentToStream(s, c);
    return s.Bytes();
}

class FilerComponent : public ::testing::Test {
protected:
    void SetUp() override { RegisterTestClasses(); }
    void TearDown() override { RegisterColorIdentFunctions(nullptr, nullptr); }
};

TEST_F(FilerComponent, WrittenBytesAreExact) {
    TTestControl c(nullptr);
    c.SetName("Image1");
    c.SetLeft(128);
    c.Align = baCenter;
    c.Bitmap.SetDrawMode(dmBlend);
    c.Bitmap.Pixels = {1, 2, 3, 4};
    c.Visible = false;
    // clang-format off
    const Bytes expected = Cat({
        {'T', 'P', 'F', '0'}, Str("TTestControl"), Str("Image1"),
        Str("Left"), {0x03, 0x80, 0x00},
        Str("Bitmap.DrawMode"), {0x07}, Str("dmBlend"),
        // a name longer than 20, the last tag value
        Str("Bitmap.ResamplerClassName"), {0x06}, Str("TNearestResampler"),
        Str("Bitmap.Data"), {0x0A, 4, 0, 0, 0, 1, 2, 3, 4},
        Str("BitmapAlign"), {0x07}, Str("baCenter"),
        Str("Scale"), {0x05, 0, 0, 0, 0, 0, 0, 0, 0x80, 0xFF, 0x3F},
        Str("Items"), {0x0E, 0x00},
        Str("Visible"), {0x08},
        {0x00}, // end of properties
        {0x00}, // no children
    });
    // clang-format on
    EXPECT_EQ(Write(&c), expected);
    TBytesStream s(expected);
    TTestControl d(nullptr);
    ReadComponentFromStream(s, &d);
    EXPECT_EQ(d.Name(), "Image1");
    EXPECT_EQ(d.Bitmap.DrawMode(), dmBlend);
    EXPECT_EQ(d.Bitmap.Pixels, c.Bitmap.Pixels);
}

TEST_F(FilerComponent, EveryKindRoundTrips) {
    TTestControl a(nullptr);
    a.SetName("Pic");
    a.SetTag(-5);
    a.SetLeft(-70000);
    a.Align = baTiled;
    a.Anchors = 0b1001;
    a.Color = 0x00FF8040;
    a.Caption = "Caf\xC3\xA9 cr\xC3\xA8me";
    a.Scale = 0.1;
    a.Big = 1LL << 40;
    a.Bitmap.SetDrawMode(dmCustom);
    a.Bitmap.MasterAlpha = 128;
    a.Bitmap.ResamplerClassName = "TLinearResampler";
    a.Bitmap.Pixels.assign(1000, 0xAB);
    a.Extra = "extra";
    a.Others.push_back(std::make_unique<TTestItem>());
    a.Others.back()->Caption = "other";
    a.Items.push_back(std::make_unique<TTestItem>());
    a.Items.back()->Caption = "one";
    a.Items.push_back(std::make_unique<TTestItem>());
    a.Items.back()->Width = 300;

    TBytesStream s(Write(&a));
    TTestControl b(nullptr);
    b.Items.push_back(std::make_unique<TTestItem>()); // replaced, not appended to
    ASSERT_EQ(ReadComponentFromStream(s, &b), &b);
    EXPECT_EQ(s.Position(), s.Size());
    EXPECT_EQ(b.Name(), "Pic");
    EXPECT_EQ(b.Tag(), -5);
    EXPECT_EQ(b.Left(), -70000);
    EXPECT_EQ(b.Align, baTiled);
    EXPECT_EQ(b.Anchors, 0b1001u);
    EXPECT_EQ(b.Color, 0x00FF8040);
    EXPECT_EQ(b.Caption, a.Caption);
    EXPECT_EQ(b.Scale, 0.1);
    EXPECT_EQ(b.Big, 1LL << 40);
    EXPECT_EQ(b.Bitmap.DrawMode(), dmCustom);
    EXPECT_EQ(b.Bitmap.MasterAlpha, 128);
    EXPECT_EQ(b.Bitmap.ResamplerClassName, "TLinearResampler");
    EXPECT_EQ(b.Bitmap.Pixels, a.Bitmap.Pixels);
    EXPECT_EQ(b.Extra, "extra");
    ASSERT_EQ(b.Others.size(), 1u);
    EXPECT_EQ(b.Others[0]->Caption, "other");
    ASSERT_EQ(b.Items.size(), 2u);
    EXPECT_EQ(b.Items[0]->Caption, "one");
    EXPECT_EQ(b.Items[1]->Width, 300);
    EXPECT_TRUE(b.Visible);
}

TEST_F(FilerComponent, ColoursUseThePluggedIdentifierTable) {
    TTestControl a(nullptr);
    a.Color = static_cast<std::int32_t>(0x8000000F);
    const Bytes plain = Write(&a);
    const Bytes asInt{0x04, 0x0F, 0x00, 0x00, 0x80};
    EXPECT_NE(std::search(plain.begin(), plain.end(), asInt.begin(), asInt.end()), plain.end());

    RegisterColorIdentFunctions(
        [](const std::string& Ident, std::int32_t& Color) {
            if (Ident != "clBtnFace") return false;
            Color = static_cast<std::int32_t>(0x8000000F);
            return true;
        },
        [](std::int32_t Color, std::string& Ident) {
            if (Color != static_cast<std::int32_t>(0x8000000F)) return false;
            Ident = "clBtnFace";
            return true;
        });
    const Bytes named = Write(&a);
    const Bytes ident = Cat({Str("Color"), {0x07}, Str("clBtnFace")});
    EXPECT_NE(std::search(named.begin(), named.end(), ident.begin(), ident.end()), named.end());
    for (const Bytes& form : {plain, named}) {
        TBytesStream s(form);
        TTestControl b(nullptr);
        ReadComponentFromStream(s, &b);
        EXPECT_EQ(b.Color, static_cast<std::int32_t>(0x8000000F));
    }
}

// A stream by hand: header, then the given properties, then the end markers.
Bytes Component(std::initializer_list<Bytes> props, Bytes children = {}) {
    Bytes b = Cat({{'T', 'P', 'F', '0'}, Str("TTestControl"), Str("C")});
    for (const Bytes& p : props)
        b.insert(b.end(), p.begin(), p.end());
    b.push_back(0);
    b.insert(b.end(), children.begin(), children.end());
    b.push_back(0);
    return b;
}

TEST_F(FilerComponent, UnknownPropertyIsReportedAfterTheRestIsRead) {
    const Bytes data = Cat({Component({
                                Cat({Str("Bogus"), {0x0E, 0x02, 0x01, 0x01, 0x00, 0x00}}),
                                Cat({Str("Left"), {0x02, 0x07}}),
                                Cat({Str("Bitmap.Nothing"), {0x09}}),
                                Cat({Str("Caption"), {0x06, 2, 'o', 'k'}}),
                            }),
                            {0xEE}}); // whatever follows the component
    TBytesStream s(data);
    TTestControl c(nullptr);
    try {
        ReadComponentFromStream(s, &c);
        FAIL() << "no error";
    } catch (const EReadError& e) {
        EXPECT_EQ(e.Message(), "Property Bogus does not exist");
    }
    EXPECT_EQ(c.Left(), 7);
    EXPECT_EQ(c.Caption, "ok");
    EXPECT_EQ(c.LoadedCalls, 1);
    EXPECT_TRUE(c.ComponentState().Empty());
    EXPECT_EQ(s.Position(), s.Size() - 1); // ready for the next component

    // A handler may accept the errors.
    TBytesStream s2(data);
    TReader r(s2);
    std::vector<std::string> seen;
    r.OnError = [&](TReader&, const std::string& Message, bool& Handled) {
        seen.push_back(Message);
        Handled = true;
    };
    TTestControl d(nullptr);
    r.ReadRootComponent(&d);
    EXPECT_EQ(seen, (std::vector<std::string>{"Property Bogus does not exist",
                                              "Property Bitmap.Nothing does not exist"}));
}

TEST_F(FilerComponent, ErrorInsideADefinedPropertyIsReportedOnce) {
    const Bytes others = {0x0E, 0x01, 3,   'Z', 'a',  'p',  0x09, 5,   'W',
                          'i',  'd',  't', 'h', 0x02, 0x04, 0x00, 0x00};
    TBytesStream s(Component({Cat({Str("Others"), others}), Cat({Str("Left"), {0x02, 0x03}})}));
    TReader r(s);
    std::vector<std::string> seen;
    r.OnError = [&](TReader&, const std::string& Message, bool& Handled) {
        seen.push_back(Message);
        Handled = true;
    };
    TTestControl c(nullptr);
    r.ReadRootComponent(&c);
    EXPECT_EQ(seen, std::vector<std::string>{"Property Zap does not exist"});
    ASSERT_EQ(c.Others.size(), 1u);
    EXPECT_EQ(c.Others[0]->Width, 4);
    EXPECT_EQ(c.Left(), 3);
}

TEST_F(FilerComponent, WrongValueTypesAreRefusedPerProperty) {
    const Bytes data = Component({
        Cat({Str("Left"), {0x06, 1, '5'}}),             // text for an integer
        Cat({Str("BitmapAlign"), {0x07}, Str("baUp")}), // not an element
        Cat({Str("Visible"), {0x02, 0x01}}),            // integer for a boolean
        Cat({Str("Scale"), {0x02, 0x03}}),              // integers are fine for floats
        Cat({Str("Bitmap.Data"), {0x0A, 0, 0, 0, 0}}),  // an empty payload
    });
    TBytesStream s(data);
    TTestControl c(nullptr);
    c.Bitmap.Pixels = {1};
    try {
        ReadComponentFromStream(s, &c);
        FAIL();
    } catch (const EReadError& e) {
        EXPECT_EQ(e.Message(), "Invalid property value");
    }
    EXPECT_EQ(c.Left(), 0);
    EXPECT_EQ(c.Align, baTopLeft);
    EXPECT_TRUE(c.Visible);
    EXPECT_EQ(c.Scale, 3.0);
    EXPECT_TRUE(c.Bitmap.Pixels.empty());
}

TEST_F(FilerComponent, StateDuringReadingAndLoaded) {
    TTestControl a(nullptr);
    a.SetLeft(1);
    TBytesStream s(Write(&a));
    TTestControl b(nullptr);
    ReadComponentFromStream(s, &b);
    EXPECT_TRUE(b.StateWhenSet.Contains(csLoading));
    EXPECT_TRUE(b.StateWhenSet.Contains(csReading));
    EXPECT_TRUE(b.StateAtLoaded.Contains(csLoading));
    EXPECT_FALSE(b.StateAtLoaded.Contains(csReading));
    EXPECT_EQ(b.LoadedCalls, 1);
    EXPECT_TRUE(b.ComponentState().Empty());
}

TEST_F(FilerComponent, PrefixByteIsAccepted) {
    for (const Bytes& prefix : {Bytes{0xF0}, Bytes{0xF2, 0x02, 0x05}, Bytes{0xF3, 0x03, 0x00, 0x01},
                                Bytes{0xF4}, Bytes{0xF6, 0x02, 0x7F}}) {
        const Bytes data = Cat({{'T', 'P', 'F', '0'},
                                prefix,
                                Str("TTestControl"),
                                Str("C"),
                                Str("Left"),
                                {0x02, 0x09},
                                {0x00, 0x00}});
        TBytesStream s(data);
        TReader r(s);
        TTestControl c(nullptr);
        r.ReadRootComponent(&c);
        EXPECT_EQ(c.Left(), 9);
        EXPECT_EQ(s.Position(), s.Size());
        EXPECT_EQ(r.LastFlags(), prefix[0] & 0x0F);
        if (prefix[0] & ffChildPos) {
            TBytesStream v(Bytes(prefix.begin() + 1, prefix.end()));
            EXPECT_EQ(r.LastChildPos(), TReader(v).ReadInteger());
        } else {
            EXPECT_EQ(r.LastChildPos(), -1);
        }
    }
}

TEST_F(FilerComponent, BadSignatureIsRefused) {
    TBytesStream s(Bytes{'T', 'P', 'F', '1', 0, 0, 0, 0});
    TTestControl c(nullptr);
    try {
        ReadComponentFromStream(s, &c);
        FAIL();
    } catch (const EReadError& e) {
        EXPECT_EQ(e.Message(), "Invalid stream format");
    }
}

TEST_F(FilerComponent, TruncatedStreamsFailAtEveryLength) {
    TTestControl owner(nullptr);
    TTestControl* a = new TTestControl(&owner);
    a->SetName("A");
    a->SetLeft(300);
    a->Caption = std::string(300, 'c');
    a->Bitmap.Pixels = {9, 8, 7, 6, 5};
    a->Anchors = 3;
    a->Extra = "\xC3\xA9";
    a->Items.push_back(std::make_unique<TTestItem>());
    a->Items.back()->Caption = "i";
    TTestControl* child = new TTestControl(a);
    child->SetName("Kid");
    child->Scale = 2;
    const Bytes full = Write(a);
    for (std::size_t n = 0; n < full.size(); ++n) {
        TBytesStream s(Bytes(full.begin(), full.begin() + std::ptrdiff_t(n)));
        TTestControl target(nullptr);
        EXPECT_THROW(ReadComponentFromStream(s, &target), EReadError) << "length " << n;
        EXPECT_TRUE(target.ComponentState().Empty());
    }
    TBytesStream s(full);
    TTestControl target(nullptr);
    ReadComponentFromStream(s, &target);
    ASSERT_EQ(target.ComponentCount(), 1);
    EXPECT_EQ(target.Components(0)->Name(), "Kid");
}

TEST_F(FilerComponent, ChildrenAreCreatedThroughTheClassRegistry) {
    TTestControl root(nullptr);
    root.SetName("Form");
    auto* one = new TTestControl(&root);
    one->SetName("One");
    one->SetLeft(11);
    auto* two = new TTestControl(&root);
    two->SetName("Two");
    two->Caption = "second";
    const Bytes data = Write(&root);

    TBytesStream s(data);
    std::unique_ptr<TComponent> made(ReadComponentFromStream(s, nullptr));
    auto* copy = dynamic_cast<TTestControl*>(made.get());
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->Name(), "Form");
    ASSERT_EQ(copy->ComponentCount(), 2);
    auto* c1 = dynamic_cast<TTestControl*>(copy->Components(0));
    auto* c2 = dynamic_cast<TTestControl*>(copy->Components(1));
    ASSERT_TRUE(c1 && c2);
    EXPECT_EQ(c1->Name(), "One");
    EXPECT_EQ(c1->Left(), 11);
    EXPECT_EQ(c2->Caption, "second");
    EXPECT_EQ(c1->LoadedCalls, 1);
    EXPECT_EQ(copy->LoadedCalls, 1);

    // Reading again into an existing tree reuses the children found by name.
    TBytesStream again(data);
    ReadComponentFromStream(again, copy);
    EXPECT_EQ(copy->ComponentCount(), 2);
}

TEST_F(FilerComponent, UnknownChildClassIsSkipped) {
    const Bytes child1 = Cat({Str("TNoSuchClass"),
                              Str("X"),
                              Str("Left"),
                              {0x02, 1},
                              Str("Deep"),
                              {0x01, 0x01, 0x00, 0x00},
                              {0x00},
                              // a grandchild of the unknown class
                              Str("TTestControl"),
                              Str("G"),
                              {0x00, 0x00},
                              {0x00}});
    const Bytes child2 = Cat({Str("TTestControl"), Str("Y"), Str("Left"), {0x02, 2}, {0x00, 0x00}});
    TBytesStream s(Component({}, Cat({child1, child2})));
    TTestControl root(nullptr);
    try {
        ReadComponentFromStream(s, &root);
        FAIL();
    } catch (const EClassNotFound& e) {
        EXPECT_EQ(e.Message(), "Class TNoSuchClass not found");
    }
    ASSERT_EQ(root.ComponentCount(), 1);
    EXPECT_EQ(root.Components(0)->Name(), "Y");
    EXPECT_EQ(s.Position(), s.Size());
}

TEST_F(FilerComponent, CollectionItemsWithAndWithoutOrder) {
    const Bytes items = {0x0E, 0x02, 0x07, 0x01, 7,    'C', 'a', 'p', 't',  'i',  'o', 'n',
                         0x06, 1,    'a',  0x00, 0x01, 5,   'W', 'i', 'd',  't',  'h', 0x03,
                         0x2C, 0x01, 0x00, 0x04, 0,    0,   0,   0,   0x01, 0x00, 0x00};
    TBytesStream s(Component({Cat({Str("Items"), items})}));
    TTestControl c(nullptr);
    ReadComponentFromStream(s, &c);
    ASSERT_EQ(c.Items.size(), 3u);
    EXPECT_EQ(c.Items[0]->Caption, "a");
    EXPECT_EQ(c.Items[1]->Width, 300);
    EXPECT_EQ(c.Items[2]->Caption, "");
}

TEST_F(FilerComponent, RegistrationOrderAndInheritance) {
    std::vector<std::string> names;
    for (const TPropInfoPtr& p : GetPropList("TTestControl"))
        names.push_back(p->Name);
    EXPECT_EQ(names,
              (std::vector<std::string>{"Name", "Tag", "Left", "Bitmap", "BitmapAlign", "Anchors",
                                        "Color", "Caption", "Scale", "Big", "Items", "Visible"}));
    // A subclass that re-declares a property keeps its place.
    TPublishedProperties<TTestControl>("TTestControl2", "TTestControl")
        .Integer("Left", &TTestControl::Left, &TTestControl::SetLeft)
        .Default(5)
        .Integer("Right", &TTestControl::Left, &TTestControl::SetLeft)
        .Register();
    const auto list = GetPropList("ttestcontrol2");
    ASSERT_EQ(list.size(), 13u);
    EXPECT_EQ(list[2]->Name, "Left");
    EXPECT_EQ(list[2]->OrdDefault, 5);
    EXPECT_EQ(list[12]->Name, "Right");
}

} // namespace
