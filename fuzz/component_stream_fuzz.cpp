// Arbitrary bytes read as a component stream into a small component that
// has every kind of property, a nested object with a binary property, a
// collection and children. Any Exception is a clean refusal; anything else
// (a crash, an out-of-bounds read, a leak) is a fault.
#include "platform/classes/ClassRegistry.h"
#include "platform/classes/Filer.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace {

class TFuzzPicture : public TPersistent {
public:
    QM_CLASSNAME(TFuzzPicture)
    int Mode = 0;
    std::string ResamplerClassName;
    std::vector<std::uint8_t> Data;
    void DefineProperties(TFiler* Filer) override {
        Filer->DefineBinaryProperty(
            "Data",
            [this](TStream& S) {
                Data.resize(static_cast<std::size_t>(S.Size()));
                S.ReadBuffer(Data.data(), S.Size());
            },
            [this](TStream& S) { S.WriteBuffer(Data.data(), std::int64_t(Data.size())); },
            !Data.empty());
    }
};

class TFuzzItem : public TPersistent {
public:
    QM_CLASSNAME(TFuzzItem)
    std::string Text;
    double Value = 0;
};

class TFuzzControl : public TComponent {
public:
    QM_CLASSNAME(TFuzzControl)
    explicit TFuzzControl(TComponent* AOwner) : TComponent(AOwner) {}
    std::int64_t Number = 0;
    bool Flag = false;
    int Kind = 0;
    std::uint32_t Options = 0;
    std::int32_t Color = 0;
    std::string Text;
    double Scale = 1;
    TFuzzPicture Picture;
    std::vector<std::unique_ptr<TFuzzItem>> Items;
    std::vector<std::string> Lines;

    void DefineProperties(TFiler* Filer) override {
        Filer->DefineProperty(
            "Lines",
            [this](TReader& R) {
                R.ReadListBegin();
                while (!R.EndOfList())
                    Lines.push_back(R.ReadString());
                R.ReadListEnd();
            },
            nullptr, false);
    }
    void GetChildren(const TGetChildProc& Proc, TComponent*) override {
        for (int i = 0; i < ComponentCount(); ++i)
            Proc(Components(i));
    }
};

bool Register() {
    TPublishedProperties<TFuzzPicture>("TFuzzPicture", "")
        .Enumeration("Mode", &TFuzzPicture::Mode, &TFuzzPicture::Mode, {"dmOpaque", "dmBlend"})
        .String("ResamplerClassName", &TFuzzPicture::ResamplerClassName,
                &TFuzzPicture::ResamplerClassName)
        .Register();
    TPublishedProperties<TFuzzItem>("TFuzzItem", "")
        .String("Text", &TFuzzItem::Text, &TFuzzItem::Text)
        .Float("Value", &TFuzzItem::Value, &TFuzzItem::Value)
        .Register();
    TPublishedProperties<TFuzzControl>("TFuzzControl", "TComponent")
        .Integer("Number", &TFuzzControl::Number, &TFuzzControl::Number)
        .Boolean("Flag", &TFuzzControl::Flag, &TFuzzControl::Flag)
        .Enumeration("Kind", &TFuzzControl::Kind, &TFuzzControl::Kind, {"kA", "kB", "kC"})
        .Set("Options", &TFuzzControl::Options, &TFuzzControl::Options, {"oA", "oB", "oC"})
        .Color("Color", &TFuzzControl::Color, &TFuzzControl::Color)
        .String("Text", &TFuzzControl::Text, &TFuzzControl::Text)
        .Float("Scale", &TFuzzControl::Scale, &TFuzzControl::Scale)
        .Class("Picture", [](TFuzzControl& c) { return &c.Picture; })
        .Collection(
            "Items", [](TFuzzControl& c) { return c.Items.size(); },
            [](TFuzzControl& c, int i) { return c.Items[std::size_t(i)].get(); },
            [](TFuzzControl& c) { c.Items.clear(); },
            [](TFuzzControl& c) {
                c.Items.push_back(std::make_unique<TFuzzItem>());
                return c.Items.back().get();
            })
        .Register();
    RegisterClass<TFuzzControl>("TFuzzControl");
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    static const bool registered = Register();
    (void)registered;
    const std::vector<std::uint8_t> bytes(Data, Data + Size);

    {
        TBytesStream s(bytes);
        TFuzzControl root(nullptr);
        try {
            ReadComponentFromStream(s, &root);
            // What was read must write back out.
            TBytesStream out;
            WriteComponentToStream(out, &root);
        } catch (const Exception&) {
        }
    }
    {
        TBytesStream s(bytes);
        try {
            std::unique_ptr<TComponent> made(ReadComponentFromStream(s, nullptr));
        } catch (const Exception&) {
        }
    }
    {
        TBytesStream s(bytes);
        TReader r(s);
        try {
            r.ReadSignature();
            r.SkipComponent(true);
        } catch (const Exception&) {
        }
    }
    return 0;
}
