#include "platform/classes/Filer.h"

#include "platform/base/Exception.h"
#include "platform/base/Rounding.h"
#include "platform/base/Text.h"
#include "platform/classes/ClassRegistry.h"
#include "platform/classes/Extended.h"

#include <limits>
#include <memory>

namespace {

const char* const SReadError = "Stream read error";
const char* const SInvalidImage = "Invalid stream format";
const char* const SInvalidPropertyValue = "Invalid property value";
const char* const SWriteTooLarge = "Stream write error";

// Lists, collections, nested objects and child components together; real
// streams nest a handful of levels, and the bound keeps a hostile stream
// from exhausting the call stack.
constexpr int MaxNesting = 64;
constexpr std::int64_t MaxInt32 = std::numeric_limits<std::int32_t>::max();

class TNestGuard {
public:
    TNestGuard(int& Level, bool Writing) : FLevel(Level) {
        if (++FLevel > MaxNesting) {
            --FLevel;
            if (Writing) throw EWriteError("Property nesting too deep");
            throw EReadError(SInvalidImage);
        }
    }
    ~TNestGuard() { --FLevel; }
    TNestGuard(const TNestGuard&) = delete;
    TNestGuard& operator=(const TNestGuard&) = delete;

private:
    int& FLevel;
};

bool IsAscii(std::string_view s) {
    for (unsigned char c : s)
        if (c >= 0x80) return false;
    return true;
}

bool IsIntegerTag(TValueType t) {
    return t == vaInt8 || t == vaInt16 || t == vaInt32 || t == vaInt64;
}

} // namespace

// ---------------------------------------------------------------- writer

void TWriter::DefineProperty(const std::string& Name, const TReaderProc&,
                             const TWriterProc& WriteData, bool HasData) {
    if (!HasData || !WriteData) return;
    WritePropName(Name);
    WriteData(*this);
}

void TWriter::DefineBinaryProperty(const std::string& Name, const TStreamProc&,
                                   const TStreamProc& WriteData, bool HasData) {
    if (!HasData || !WriteData) return;
    WritePropName(Name);
    WriteBinary(WriteData);
}

void TWriter::WriteSignature() {
    WriteBytes(FilerSignature, sizeof FilerSignature);
}

void TWriter::WriteRootComponent(TComponent* Root) {
    TComponent* oldRoot = FRoot;
    FRoot = Root;
    try {
        WriteSignature();
        WriteComponent(Root);
    } catch (...) {
        FRoot = oldRoot;
        throw;
    }
    FRoot = oldRoot;
}

void TWriter::WriteComponent(TComponent* Component) {
    TNestGuard guard(FDepth, true);
    TComponent* oldRoot = FRoot;
    if (!FRoot) FRoot = Component;
    const bool wasWriting = Component->ComponentState().Contains(csWriting);
    const std::string oldPath = std::move(FPropPath);
    SetState(Component, csWriting, true);
    try {
        WriteStr(Component->ClassName());
        WriteStr(Component->Name());
        FPropPath.clear();
        WriteProperties(Component);
        WriteListEnd();
        Component->GetChildren([this](TComponent* Child) { WriteComponent(Child); }, FRoot);
        WriteListEnd();
    } catch (...) {
        SetState(Component, csWriting, wasWriting);
        FPropPath = oldPath;
        FRoot = oldRoot;
        throw;
    }
    SetState(Component, csWriting, wasWriting);
    FPropPath = oldPath;
    FRoot = oldRoot;
}

void TWriter::WriteProperties(TPersistent* Instance) {
    TNestGuard guard(FDepth, true);
    for (const TPropInfoPtr& p : GetPropList(Instance))
        if (p->IsStored(Instance)) WriteProperty(Instance, *p);
    Instance->DefineProperties(this);
}

void TWriter::WriteProperty(TPersistent* Instance, const TPropInfo& Prop) {
    switch (Prop.Kind) {
    case pkClass: {
        TPersistent* object = Prop.GetObject(Instance);
        if (!object) return;
        const std::string oldPath = FPropPath;
        FPropPath += Prop.Name + ".";
        try {
            WriteProperties(object);
        } catch (...) {
            FPropPath = oldPath;
            throw;
        }
        FPropPath = oldPath;
        return;
    }
    case pkComponent: {
        const std::string ref = ComponentReference(Prop.GetComponent(Instance));
        if (ref.empty()) return;
        WritePropName(Prop.Name);
        WriteIdent(ref);
        return;
    }
    case pkCollection: {
        std::vector<TPersistent*> items;
        const int n = Prop.ItemCount(Instance);
        for (int i = 0; i < n; ++i)
            items.push_back(Prop.Item(Instance, i));
        WritePropName(Prop.Name);
        WriteCollection(items);
        return;
    }
    default:
        break;
    }
    WritePropName(Prop.Name);
    switch (Prop.Kind) {
    case pkInteger:
        WriteInteger(Prop.GetOrd(Instance));
        break;
    case pkBoolean:
        WriteBoolean(Prop.GetOrd(Instance) != 0);
        break;
    case pkEnumeration: {
        const std::int64_t v = Prop.GetOrd(Instance);
        if (v < 0 || v >= static_cast<std::int64_t>(Prop.Idents.size()))
            throw EWriteError(SInvalidPropertyValue);
        WriteIdent(Prop.Idents[static_cast<std::size_t>(v)]);
        break;
    }
    case pkSet:
        WriteSet(static_cast<std::uint32_t>(Prop.GetOrd(Instance)), Prop.Idents);
        break;
    case pkColor:
        WriteColor(static_cast<std::int32_t>(Prop.GetOrd(Instance)));
        break;
    case pkString:
        WriteString(Prop.GetStr(Instance));
        break;
    case pkFloat:
        WriteFloat(Prop.GetFloat(Instance));
        break;
    case pkClass:
    case pkCollection:
    case pkComponent:
        break;
    }
}

std::string TWriter::ComponentReference(TComponent* Component) const {
    if (!Component || Component->Name().empty()) return {};
    TComponent* owner = Component->Owner();
    if (Component == FRoot || !owner || owner == FRoot) return Component->Name();
    // A component of another owner is named through it, as "Owner.Name".
    if (owner->Name().empty()) return {};
    return owner->Name() + "." + Component->Name();
}

void TWriter::WriteValue(TValueType Value) {
    FStream.WriteByte(static_cast<std::uint8_t>(Value));
}

void TWriter::WriteStr(std::string_view Text) {
    std::string ansi = Utf8ToAnsi(Text);
    if (ansi.size() > 255) ansi.resize(255);
    FStream.WriteByte(static_cast<std::uint8_t>(ansi.size()));
    WriteBytes(ansi.data(), static_cast<std::int64_t>(ansi.size()));
}

void TWriter::WritePropName(std::string_view Name) {
    WriteStr(FPropPath + std::string(Name));
}

void TWriter::WriteInteger(std::int64_t Value) {
    if (Value >= -128 && Value <= 127) {
        WriteValue(vaInt8);
        FStream.WriteByte(static_cast<std::uint8_t>(static_cast<std::int8_t>(Value)));
    } else if (Value >= -32768 && Value <= 32767) {
        WriteValue(vaInt16);
        FStream.WriteInt16(static_cast<std::int16_t>(Value));
    } else if (Value >= std::numeric_limits<std::int32_t>::min() && Value <= MaxInt32) {
        WriteValue(vaInt32);
        FStream.WriteInt32(static_cast<std::int32_t>(Value));
    } else {
        WriteValue(vaInt64);
        FStream.WriteInt64(Value);
    }
}

void TWriter::WriteBoolean(bool Value) {
    WriteValue(Value ? vaTrue : vaFalse);
}

void TWriter::WriteString(std::string_view Text) {
    if (IsAscii(Text)) {
        if (Text.size() <= 255) {
            WriteValue(vaString);
            FStream.WriteByte(static_cast<std::uint8_t>(Text.size()));
        } else {
            if (static_cast<std::int64_t>(Text.size()) > MaxInt32)
                throw EWriteError(SWriteTooLarge);
            WriteValue(vaLString);
            FStream.WriteInt32(static_cast<std::int32_t>(Text.size()));
        }
        WriteBytes(Text.data(), static_cast<std::int64_t>(Text.size()));
        return;
    }
    // Invalid UTF-8 is written as U+FFFD, the same in both forms.
    const std::u16string wide = Utf8ToUtf16(Text);
    const std::string utf8 = Utf16ToUtf8(wide);
    if (utf8.size() < 2 * wide.size()) {
        if (static_cast<std::int64_t>(utf8.size()) > MaxInt32) throw EWriteError(SWriteTooLarge);
        WriteValue(vaUTF8String);
        FStream.WriteInt32(static_cast<std::int32_t>(utf8.size()));
        WriteBytes(utf8.data(), static_cast<std::int64_t>(utf8.size()));
    } else {
        if (static_cast<std::int64_t>(wide.size()) > MaxInt32 / 2)
            throw EWriteError(SWriteTooLarge);
        WriteValue(vaWString);
        FStream.WriteInt32(static_cast<std::int32_t>(wide.size()));
        std::string bytes;
        bytes.reserve(wide.size() * 2);
        for (char16_t u : wide) {
            bytes.push_back(static_cast<char>(u & 0xFF));
            bytes.push_back(static_cast<char>(u >> 8));
        }
        WriteBytes(bytes.data(), static_cast<std::int64_t>(bytes.size()));
    }
}

void TWriter::WriteIdent(std::string_view Ident) {
    if (SameText(Ident, "False"))
        WriteValue(vaFalse);
    else if (SameText(Ident, "True"))
        WriteValue(vaTrue);
    else if (SameText(Ident, "nil"))
        WriteValue(vaNil);
    else if (SameText(Ident, "Null"))
        WriteValue(vaNull);
    else {
        WriteValue(vaIdent);
        WriteStr(Ident);
    }
}

void TWriter::WriteFloat(double Value) {
    WriteValue(vaExtended);
    const TExtendedBytes bytes = DoubleToExtended(Value);
    WriteBytes(bytes.data(), static_cast<std::int64_t>(bytes.size()));
}

void TWriter::WriteSingle(float Value) {
    WriteValue(vaSingle);
    FStream.WriteSingle(Value);
}

void TWriter::WriteCurrency(double Value) {
    WriteValue(vaCurrency);
    FStream.WriteInt64(RoundHalfEven(Value * 10000.0));
}

void TWriter::WriteDate(double Value) {
    WriteValue(vaDate);
    FStream.WriteDouble(Value);
}

void TWriter::WriteSet(std::uint32_t Bits, const std::vector<std::string>& Idents) {
    WriteValue(vaSet);
    for (std::size_t i = 0; i < Idents.size() && i < 32; ++i)
        if (Bits & (std::uint32_t(1) << i)) WriteStr(Idents[i]);
    WriteStr("");
}

void TWriter::WriteColor(std::int32_t Color) {
    std::string ident;
    if (StreamColorToIdent(Color, ident))
        WriteIdent(ident);
    else
        WriteInteger(Color);
}

void TWriter::WriteBinary(const TStreamProc& WriteData) {
    TMemoryStream data;
    WriteData(data);
    const std::int64_t size = data.Size();
    if (size > MaxInt32) throw EWriteError(SWriteTooLarge);
    WriteValue(vaBinary);
    FStream.WriteInt32(static_cast<std::int32_t>(size));
    WriteBytes(data.Memory(), size);
}

void TWriter::WriteCollection(const std::vector<TPersistent*>& Items) {
    TNestGuard guard(FDepth, true);
    WriteValue(vaCollection);
    const std::string oldPath = std::move(FPropPath);
    try {
        for (TPersistent* item : Items) {
            FPropPath.clear();
            WriteListBegin();
            if (item) WriteProperties(item);
            WriteListEnd();
        }
    } catch (...) {
        FPropPath = oldPath;
        throw;
    }
    FPropPath = oldPath;
    WriteListEnd();
}

// ---------------------------------------------------------------- reader

std::int64_t TReader::Remaining() {
    const std::int64_t left = FStream.Size() - FStream.Position();
    return left > 0 ? left : 0;
}

void TReader::CheckLength(std::int64_t Count) {
    if (Count < 0 || Count > Remaining()) throw EReadError(SReadError);
}

void TReader::SkipBytes(std::int64_t Count) {
    CheckLength(Count);
    FStream.Seek(Count, soCurrent);
}

std::uint8_t TReader::ReadByte() {
    return FStream.ReadByte();
}

void TReader::PropValueError() {
    throw EReadError(SInvalidPropertyValue);
}

TValueType TReader::ReadValue() {
    const std::uint8_t b = ReadByte();
    if (b > vaUTF8String) PropValueError();
    return static_cast<TValueType>(b);
}

// Not checked: the byte may start a property name rather than a value.
TValueType TReader::NextValue() {
    const std::uint8_t b = ReadByte();
    FStream.Seek(-1, soCurrent);
    return static_cast<TValueType>(b);
}

std::string TReader::ReadStr() {
    const std::uint8_t n = ReadByte();
    std::string s(n, '\0');
    FStream.ReadBuffer(s.data(), n);
    return AnsiToUtf8(s);
}

std::int64_t TReader::ReadIntegerPayload(TValueType Type) {
    switch (Type) {
    case vaInt8:
        return static_cast<std::int8_t>(ReadByte());
    case vaInt16:
        return FStream.ReadInt16();
    case vaInt32:
        return FStream.ReadInt32();
    case vaInt64:
        return FStream.ReadInt64();
    default:
        PropValueError();
    }
}

std::int32_t TReader::ReadInteger() {
    const TValueType t = ReadValue();
    if (!IsIntegerTag(t)) PropValueError();
    const std::int64_t v = ReadIntegerPayload(t);
    if (v < std::numeric_limits<std::int32_t>::min() || v > MaxInt32) PropValueError();
    return static_cast<std::int32_t>(v);
}

std::int64_t TReader::ReadInt64() {
    const TValueType t = ReadValue();
    if (!IsIntegerTag(t)) PropValueError();
    return ReadIntegerPayload(t);
}

bool TReader::ReadBoolean() {
    const TValueType t = ReadValue();
    if (t == vaTrue) return true;
    if (t == vaFalse) return false;
    PropValueError();
}

std::string TReader::ReadString() {
    switch (ReadValue()) {
    case vaString:
        return ReadStr();
    case vaLString: {
        const std::int32_t n = FStream.ReadInt32();
        CheckLength(n);
        std::string s(static_cast<std::size_t>(n), '\0');
        FStream.ReadBuffer(s.data(), n);
        return AnsiToUtf8(s);
    }
    case vaWString: {
        const std::int32_t n = FStream.ReadInt32();
        CheckLength(std::int64_t(n) * 2);
        std::string bytes(static_cast<std::size_t>(n) * 2, '\0');
        FStream.ReadBuffer(bytes.data(), std::int64_t(n) * 2);
        std::u16string wide(static_cast<std::size_t>(n), u'\0');
        for (std::size_t i = 0; i < wide.size(); ++i)
            wide[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                            (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
        return Utf16ToUtf8(wide);
    }
    case vaUTF8String: {
        const std::int32_t n = FStream.ReadInt32();
        CheckLength(n);
        std::string s(static_cast<std::size_t>(n), '\0');
        FStream.ReadBuffer(s.data(), n);
        if (IsAscii(s)) return s;
        return Utf16ToUtf8(Utf8ToUtf16(s)); // invalid sequences become U+FFFD
    }
    default:
        PropValueError();
    }
}

std::string TReader::ReadIdent() {
    switch (ReadValue()) {
    case vaIdent:
        return ReadStr();
    case vaFalse:
        return "False";
    case vaTrue:
        return "True";
    case vaNil:
        return "nil";
    case vaNull:
        return "Null";
    default:
        PropValueError();
    }
}

double TReader::ReadFloat() {
    const TValueType t = ReadValue();
    switch (t) {
    case vaExtended: {
        TExtendedBytes bytes;
        FStream.ReadBuffer(bytes.data(), static_cast<std::int64_t>(bytes.size()));
        return ExtendedToDouble(bytes);
    }
    case vaSingle:
        return FStream.ReadSingle();
    case vaCurrency:
        return static_cast<double>(FStream.ReadInt64()) / 10000.0;
    case vaDate:
        return FStream.ReadDouble();
    default:
        if (!IsIntegerTag(t)) PropValueError();
        return static_cast<double>(ReadIntegerPayload(t));
    }
}

float TReader::ReadSingle() {
    return static_cast<float>(ReadFloat());
}
double TReader::ReadCurrency() {
    return ReadFloat();
}
double TReader::ReadDate() {
    return ReadFloat();
}

std::uint32_t TReader::ReadSet(const std::vector<std::string>& Idents) {
    if (ReadValue() != vaSet) PropValueError();
    std::uint32_t bits = 0;
    for (;;) {
        const std::string name = ReadStr();
        if (name.empty()) return bits;
        std::size_t i = 0;
        while (i < Idents.size() && i < 32 && !SameText(Idents[i], name))
            ++i;
        if (i == Idents.size() || i >= 32) PropValueError();
        bits |= std::uint32_t(1) << i;
    }
}

std::int32_t TReader::ReadColor() {
    if (NextValue() == vaIdent) {
        std::int32_t color = 0;
        if (!StreamIdentToColor(ReadIdent(), color)) PropValueError();
        return color;
    }
    return ReadInteger();
}

void TReader::ReadListBegin() {
    if (ReadValue() != vaList) PropValueError();
}

void TReader::ReadListEnd() {
    if (ReadValue() != vaNull) PropValueError();
}

void TReader::ReadCollection(const std::function<TPersistent*()>& AddItem) {
    TNestGuard guard(FNesting, false);
    if (ReadValue() != vaCollection) PropValueError();
    while (!EndOfList()) {
        // An item may be preceded by its order value, which we do not use.
        const TValueType next = NextValue();
        if (next == vaInt8 || next == vaInt16 || next == vaInt32) ReadInteger();
        ReadListBegin();
        TPersistent* item = AddItem ? AddItem() : nullptr;
        if (item) {
            while (!EndOfList())
                ReadProperty(item);
        } else {
            SkipProperties();
        }
        ReadListEnd();
    }
    ReadListEnd();
}

void TReader::SkipValue() {
    TNestGuard guard(FNesting, false);
    switch (ReadValue()) {
    case vaNull:
    case vaFalse:
    case vaTrue:
    case vaNil:
        return;
    case vaList:
        while (!EndOfList())
            SkipValue();
        ReadValue();
        return;
    case vaInt8:
        SkipBytes(1);
        return;
    case vaInt16:
        SkipBytes(2);
        return;
    case vaInt32:
    case vaSingle:
        SkipBytes(4);
        return;
    case vaExtended:
        SkipBytes(10);
        return;
    case vaCurrency:
    case vaDate:
    case vaInt64:
        SkipBytes(8);
        return;
    case vaString:
    case vaIdent:
        SkipBytes(ReadByte());
        return;
    case vaBinary:
    case vaLString:
    case vaUTF8String:
        SkipBytes(FStream.ReadInt32());
        return;
    case vaWString:
        SkipBytes(std::int64_t(FStream.ReadInt32()) * 2);
        return;
    case vaSet:
        for (;;) {
            const std::uint8_t n = ReadByte();
            if (n == 0) return;
            SkipBytes(n);
        }
    case vaCollection:
        while (!EndOfList()) {
            const TValueType next = NextValue();
            if (next == vaInt8 || next == vaInt16 || next == vaInt32) SkipValue();
            ReadListBegin();
            SkipProperties();
            ReadListEnd();
        }
        ReadValue();
        return;
    }
}

void TReader::SkipProperties() {
    while (!EndOfList()) {
        SkipBytes(ReadByte());
        SkipValue();
    }
}

void TReader::SkipComponent(bool SkipHeader) {
    TNestGuard guard(FNesting, false);
    if (SkipHeader) {
        std::uint8_t flags = 0;
        int childPos = -1;
        ReadPrefix(flags, childPos);
        ReadStr();
        ReadStr();
    }
    SkipProperties();
    ReadListEnd();
    while (!EndOfList())
        SkipComponent(true);
    ReadListEnd();
}

void TReader::DefineProperty(const std::string& Name, const TReaderProc& ReadData,
                             const TWriterProc&, bool) {
    if (FPropHandled || FPropName.empty() || !ReadData || !SameText(Name, FPropName)) return;
    FPropName.clear();
    FPropHandled = true;
    ReadData(*this);
}

void TReader::DefineBinaryProperty(const std::string& Name, const TStreamProc& ReadData,
                                   const TStreamProc&, bool) {
    if (FPropHandled || FPropName.empty() || !ReadData || !SameText(Name, FPropName)) return;
    FPropName.clear();
    FPropHandled = true;
    if (ReadValue() != vaBinary) PropValueError();
    const std::int32_t n = FStream.ReadInt32();
    CheckLength(n); // before allocating: the payload must be in the stream
    TMemoryStream data;
    data.SetSize(n);
    if (n > 0) FStream.ReadBuffer(data.Memory(), n);
    data.SetPosition(0);
    ReadData(data);
}

void TReader::KeepError(const Exception& E) {
    bool handled = false;
    if (OnError) OnError(*this, E.Message(), handled);
    if (!handled && !FPendingError) FPendingError = std::current_exception();
}

void TReader::ReadProperty(TPersistent* Instance) {
    const std::string path = ReadStr();
    const std::int64_t valueStart = FStream.Position();
    try {
        TPersistent* object = Instance;
        std::string_view rest = path;
        // "Bitmap.Data": every part but the last names a nested object.
        for (std::size_t dot = rest.find('.'); dot != std::string_view::npos;
             dot = rest.find('.')) {
            const TPropInfoPtr info = FindPropInfo(object, rest.substr(0, dot));
            TPersistent* inner = info && info->Kind == pkClass ? info->GetObject(object) : nullptr;
            if (!inner) throw EReadError("Property " + path + " does not exist");
            object = inner;
            rest.remove_prefix(dot + 1);
        }
        const TPropInfoPtr info = FindPropInfo(object, rest);
        if (info && info->Kind == pkClass) {
            // The object itself is never replaced; only "nil" is accepted here.
            if (ReadValue() != vaNil) PropValueError();
        } else if (info) {
            ReadPropValue(object, *info);
        } else {
            // A defined property's reader may itself read properties (items
            // of a collection): the outer query survives the inner ones.
            std::string outerName = std::move(FPropName);
            const bool outerHandled = FPropHandled;
            FPropName = std::string(rest);
            FPropHandled = false;
            bool handled = false;
            try {
                object->DefineProperties(this);
                handled = FPropHandled;
            } catch (...) {
                FPropName = std::move(outerName);
                FPropHandled = outerHandled;
                throw;
            }
            FPropName = std::move(outerName);
            FPropHandled = outerHandled;
            if (!handled) throw EReadError("Property " + path + " does not exist");
        }
    } catch (const Exception& e) {
        FErrorPropPath = path;
        KeepError(e);
        FErrorPropPath.clear();
        FStream.Seek(valueStart, soBeginning);
        SkipValue();
    }
}

void TReader::ReadPropValue(TPersistent* Instance, const TPropInfo& Prop) {
    switch (Prop.Kind) {
    case pkInteger:
        Prop.SetOrd(Instance, ReadInt64());
        break;
    case pkBoolean:
        Prop.SetOrd(Instance, ReadBoolean() ? 1 : 0);
        break;
    case pkEnumeration: {
        const std::string ident = ReadIdent();
        std::size_t i = 0;
        while (i < Prop.Idents.size() && !SameText(Prop.Idents[i], ident))
            ++i;
        if (i == Prop.Idents.size()) PropValueError();
        Prop.SetOrd(Instance, static_cast<std::int64_t>(i));
        break;
    }
    case pkSet:
        Prop.SetOrd(Instance, ReadSet(Prop.Idents));
        break;
    case pkColor:
        Prop.SetOrd(Instance, ReadColor());
        break;
    case pkString:
        Prop.SetStr(Instance, ReadString());
        break;
    case pkFloat:
        Prop.SetFloat(Instance, ReadFloat());
        break;
    case pkCollection:
        Prop.ClearItems(Instance);
        ReadCollection([&] { return Prop.AddItem(Instance); });
        break;
    case pkComponent:
        if (NextValue() == vaNil) {
            ReadValue();
            Prop.SetComponent(Instance, nullptr);
        } else {
            // The named component may come later in the stream.
            FFixups.push_back({Instance, Prop.SetComponent, ReadIdent(), FRoot});
        }
        break;
    case pkClass:
        break;
    }
}

namespace {

TComponent* FindReferenced(TComponent* Root, const std::string& Name) {
    if (!Root) return nullptr;
    auto find = [&](std::string_view part) -> TComponent* {
        if (SameText(Root->Name(), part)) return Root;
        return Root->FindComponent(std::string(part));
    };
    const std::size_t dot = Name.find('.');
    if (dot == std::string::npos) return find(Name);
    TComponent* owner = find(std::string_view(Name).substr(0, dot));
    return owner ? owner->FindComponent(Name.substr(dot + 1)) : nullptr;
}

} // namespace

void TReader::ResolveFixups() {
    std::vector<TFixup> fixups;
    fixups.swap(FFixups);
    for (const TFixup& f : fixups) {
        // A name that names nothing leaves the reference empty.
        if (TComponent* c = FindReferenced(f.Root, f.Name)) {
            try {
                f.Set(f.Instance, c);
            } catch (const Exception& e) {
                KeepError(e);
            }
        }
    }
}

void TReader::ReadSignature() {
    char sig[sizeof FilerSignature];
    if (Remaining() < static_cast<std::int64_t>(sizeof sig)) throw EReadError(SInvalidImage);
    FStream.ReadBuffer(sig, sizeof sig);
    for (std::size_t i = 0; i < sizeof sig; ++i)
        if (sig[i] != FilerSignature[i]) throw EReadError(SInvalidImage);
}

void TReader::ReadPrefix(std::uint8_t& Flags, int& ChildPos) {
    Flags = 0;
    ChildPos = -1;
    const std::uint8_t b = ReadByte();
    if ((b & 0xF0) != 0xF0) {
        FStream.Seek(-1, soCurrent);
    } else {
        Flags = b & 0x0F;
        if (Flags & ffChildPos) ChildPos = ReadInteger();
    }
    FLastFlags = Flags;
    FLastChildPos = ChildPos;
}

void TReader::ReadProperties(TPersistent* Instance) {
    while (!EndOfList())
        ReadProperty(Instance);
}

void TReader::ReadComponentBody(TComponent* Instance) {
    TNestGuard guard(FNesting, false);
    SetState(Instance, csLoading, true);
    SetState(Instance, csReading, true);
    bool listed = false;
    for (TComponent* c : FLoaded)
        listed = listed || c == Instance;
    if (!listed) FLoaded.push_back(Instance);

    ReadProperties(Instance);
    ReadListEnd();
    TComponent* oldParent = FParent;
    FParent = Instance;
    try {
        while (!EndOfList())
            ReadComponentInner(nullptr);
        ReadListEnd();
    } catch (...) {
        FParent = oldParent;
        throw;
    }
    FParent = oldParent;
    SetState(Instance, csReading, false);
}

TComponent* TReader::ReadComponentInner(TComponent* Instance) {
    TNestGuard guard(FNesting, false);
    std::uint8_t flags = 0;
    int childPos = -1;
    ReadPrefix(flags, childPos);
    const std::string className = ReadStr();
    const std::string name = ReadStr();

    TComponent* result = Instance;
    std::unique_ptr<TComponent> created;
    if (!result) {
        TComponent* owner = FRoot;
        if (owner && !name.empty()) {
            // Reused only when it is not itself being read higher up.
            TComponent* existing = owner->FindComponent(name);
            if (existing && SameText(existing->ClassName(), className) &&
                !existing->ComponentState().Contains(csReading))
                result = existing;
        }
        if (!result) {
            const TPersistentClass* cls = GetClass(className);
            if (!cls) {
                // An unknown class costs only that component: it is skipped.
                try {
                    throw EClassNotFound("Class " + className + " not found");
                } catch (const Exception& e) {
                    KeepError(e);
                }
                SkipComponent(false);
                return nullptr;
            }
            TPersistent* object = cls->Create(owner);
            TComponent* component = dynamic_cast<TComponent*>(object);
            if (!component) {
                delete object;
                throw EReadError(SInvalidImage);
            }
            created.reset(component);
            result = component;
            if (!name.empty()) {
                try {
                    result->SetName(name);
                } catch (const Exception& e) {
                    KeepError(e);
                }
            }
        }
        if (FParent && FParent != result) result->SetParentComponent(FParent);
    }
    try {
        ReadComponentBody(result);
    } catch (...) {
        if (created) std::erase(FLoaded, result);
        throw;
    }
    created.release();
    return result;
}

void TReader::Finish(bool Failed) {
    if (Failed)
        FFixups.clear();
    else
        ResolveFixups();
    std::vector<TComponent*> loaded;
    loaded.swap(FLoaded);
    for (TComponent* c : loaded) {
        if (!Failed) {
            try {
                c->Loaded();
            } catch (const Exception& e) {
                KeepError(e);
            }
        }
        SetState(c, csLoading, false);
        SetState(c, csReading, false);
    }
    std::exception_ptr pending = FPendingError;
    FPendingError = nullptr;
    if (pending && !Failed) std::rethrow_exception(pending);
}

TComponent* TReader::ReadTopLevel(TComponent* OldRoot, const std::function<TComponent*()>& Read) {
    FReading = true;
    FPendingError = nullptr;
    FLoaded.clear();
    TComponent* result = nullptr;
    try {
        result = Read();
    } catch (...) {
        FReading = false;
        FRoot = OldRoot;
        Finish(true);
        throw;
    }
    FReading = false;
    FRoot = OldRoot;
    Finish(false);
    return result;
}

TComponent* TReader::ReadComponent(TComponent* Instance) {
    if (FReading) return ReadComponentInner(Instance);
    TComponent* oldRoot = FRoot;
    if (!FRoot) FRoot = Instance;
    std::unique_ptr<TComponent> orphan;
    TComponent* result = ReadTopLevel(oldRoot, [&] {
        TComponent* read = ReadComponentInner(Instance);
        // A component we made without an owner is the caller's only if all went well.
        if (!Instance && read && !read->Owner()) orphan.reset(read);
        return read;
    });
    orphan.release();
    return result;
}

TComponent* TReader::ReadRootComponent(TComponent* Root) {
    ReadSignature();
    TComponent* oldRoot = FRoot;
    std::unique_ptr<TComponent> created;
    ReadTopLevel(oldRoot, [&] {
        std::uint8_t flags = 0;
        int childPos = -1;
        ReadPrefix(flags, childPos);
        const std::string className = ReadStr();
        const std::string name = ReadStr();
        if (!Root) {
            TPersistent* object = FindClass(className).Create(nullptr);
            Root = dynamic_cast<TComponent*>(object);
            if (!Root) {
                delete object;
                throw EReadError(SInvalidImage);
            }
            created.reset(Root);
        }
        FRoot = Root;
        if (!name.empty() && name != Root->Name()) {
            try {
                Root->SetName(name);
            } catch (const Exception& e) {
                KeepError(e);
            }
        }
        ReadComponentBody(Root);
        return Root;
    });
    created.release();
    return Root;
}

void WriteComponentToStream(TStream& S, TComponent* Component) {
    TWriter writer(S);
    writer.WriteRootComponent(Component);
}

TComponent* ReadComponentFromStream(TStream& S, TComponent* Instance) {
    TReader reader(S);
    return reader.ReadRootComponent(Instance);
}
