#pragma once
// The component stream: a binary tree of components, each written as its
// class name, its name, its properties (name and tagged value) ended by a 0,
// and its child components ended by a 0, after the signature "TPF0".
//
// TWriter writes the published properties of TPublishedProperties, in
// registration order with inherited ones first, then the properties a class
// defines itself in DefineProperties. TReader applies what it reads to
// existing objects (or creates child components through the class registry).
//
// Reading never trusts the bytes: every length is checked against what is
// left in the stream before anything is allocated, nesting is bounded, and a
// truncated stream raises EReadError "Stream read error". A property that
// cannot be applied (unknown name, wrong value type, a setter that refuses)
// does not stop the reading: its value is skipped, the rest of the component
// tree is read and Loaded, and the first such error is raised at the end, so
// the stream is then positioned after the component and a caller may catch
// the error and go on with what follows. An unknown property raises
// EReadError "Property <name> does not exist", with the dotted name as the
// stream has it ("Bitmap.Foo"); a child of an unregistered class is skipped
// with EClassNotFound "Class <name> not found".
#include "platform/classes/Component.h"
#include "platform/classes/PropertyRegistry.h"
#include "platform/classes/Stream.h"

#include <cstdint>
#include <exception>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

enum TValueType : std::uint8_t {
    vaNull,
    vaList,
    vaInt8,
    vaInt16,
    vaInt32,
    vaExtended,
    vaString,
    vaIdent,
    vaFalse,
    vaTrue,
    vaBinary,
    vaSet,
    vaLString,
    vaNil,
    vaCollection,
    vaSingle,
    vaCurrency,
    vaDate,
    vaWString,
    vaInt64,
    vaUTF8String
};

// Bits of the optional prefix byte 0xF0 | flags before a component's class name.
enum TFilerFlag : std::uint8_t { ffInherited = 1, ffChildPos = 2, ffInline = 4 };

inline constexpr char FilerSignature[4] = {'T', 'P', 'F', '0'};

class TReader;
class TWriter;

using TReaderProc = std::function<void(TReader& Reader)>;
using TWriterProc = std::function<void(TWriter& Writer)>;
using TStreamProc = std::function<void(TStream& Stream)>;

// What TReader and TWriter share: the stream, the root component, and the
// DefineProperties protocol through which a class streams what is not a
// published property.
class TFiler : public TObject {
public:
    QM_CLASSNAME(TFiler)

    explicit TFiler(TStream& Stream) : FStream(Stream) {}
    TFiler(const TFiler&) = delete;
    TFiler& operator=(const TFiler&) = delete;

    // The writer calls WriteData when HasData is true; the reader calls
    // ReadData when the property being read has this name.
    virtual void DefineProperty(const std::string& Name, const TReaderProc& ReadData,
                                const TWriterProc& WriteData, bool HasData) = 0;
    // The same for a tag-10 value: WriteData fills a memory stream whose
    // bytes are stored; ReadData gets a stream holding exactly those bytes.
    virtual void DefineBinaryProperty(const std::string& Name, const TStreamProc& ReadData,
                                      const TStreamProc& WriteData, bool HasData) = 0;

    TStream& Stream() const { return FStream; }
    TComponent* Root() const { return FRoot; }
    void SetRoot(TComponent* Value) { FRoot = Value; }

protected:
    static void SetState(TComponent* C, TComponentStateFlag Flag, bool On) {
        if (On)
            C->IncludeState(Flag);
        else
            C->ExcludeState(Flag);
    }

    TStream& FStream;
    TComponent* FRoot = nullptr;
};

class TWriter : public TFiler {
public:
    QM_CLASSNAME(TWriter)
    explicit TWriter(TStream& Stream) : TFiler(Stream) {}

    void DefineProperty(const std::string& Name, const TReaderProc& ReadData,
                        const TWriterProc& WriteData, bool HasData) override;
    void DefineBinaryProperty(const std::string& Name, const TStreamProc& ReadData,
                              const TStreamProc& WriteData, bool HasData) override;

    // Signature, then the component and its children.
    void WriteRootComponent(TComponent* Root);
    void WriteSignature();
    // Class name, name, properties, 0, children (GetChildren), 0.
    void WriteComponent(TComponent* Component);
    // The stored published properties, then DefineProperties; no end marker.
    void WriteProperties(TPersistent* Instance);
    void WriteProperty(TPersistent* Instance, const TPropInfo& Prop);

    void WriteValue(TValueType Value);
    // A short counted string (no tag), Windows-1252, cut to 255 bytes.
    void WriteStr(std::string_view Text);
    void WritePropName(std::string_view Name);

    // The smallest of tags 2, 3, 4 that holds the value; 19 beyond int32.
    void WriteInteger(std::int64_t Value);
    void WriteBoolean(bool Value);
    // Tag 6 for ASCII up to 255 characters, 12 for longer ASCII, 20 when the
    // UTF-8 form is shorter than twice the UTF-16 length, else 18.
    void WriteString(std::string_view Text);
    // "False", "True", "nil" and "Null" (any case) become tags 8, 9, 13, 0.
    void WriteIdent(std::string_view Ident);
    void WriteFloat(double Value);
    void WriteSingle(float Value);
    // Stored as an integer count of 1/10000, rounded half to even.
    void WriteCurrency(double Value);
    void WriteDate(double Value);
    // Element names of the bits set (bit i names Idents[i]; a set has at
    // most 32 elements), then an empty name.
    void WriteSet(std::uint32_t Bits, const std::vector<std::string>& Idents);
    // Colour identifier when the graphics table has one, else an integer.
    void WriteColor(std::int32_t Color);
    // Tag 10: an int32 length and the bytes WriteData put in a memory stream.
    void WriteBinary(const TStreamProc& WriteData);
    void WriteListBegin() { WriteValue(vaList); }
    void WriteListEnd() { WriteValue(vaNull); }
    // Tag 14, then each item as a list of its properties, then 0.
    void WriteCollection(const std::vector<TPersistent*>& Items);

private:
    // The name a component reference is written as; empty when it has none.
    std::string ComponentReference(TComponent* Component) const;
    void WriteBytes(const void* Data, std::int64_t Count) {
        if (Count > 0) FStream.WriteBuffer(Data, Count);
    }

    std::string FPropPath;
    int FDepth = 0;
};

class TReader : public TFiler {
public:
    QM_CLASSNAME(TReader)
    explicit TReader(TStream& Stream) : TFiler(Stream) {}

    void DefineProperty(const std::string& Name, const TReaderProc& ReadData,
                        const TWriterProc& WriteData, bool HasData) override;
    void DefineBinaryProperty(const std::string& Name, const TStreamProc& ReadData,
                              const TStreamProc& WriteData, bool HasData) override;

    // Reads signature and component into Root, which is created through the
    // class registry when null (the caller then owns it). The stream's name
    // is given to Root when it is not empty. Children are created with Root
    // as owner, or found among Root's components by name.
    TComponent* ReadRootComponent(TComponent* Root);
    // Raises EReadError "Invalid stream format" unless the next four bytes are "TPF0".
    void ReadSignature();
    // Reads the optional 0xF0|flags byte and, with ffChildPos, its integer.
    void ReadPrefix(std::uint8_t& Flags, int& ChildPos);
    // Reads one component (prefix, class, name, properties, children) into
    // Instance, or into a component found or created by name and class when
    // Instance is null.
    TComponent* ReadComponent(TComponent* Instance);
    // Reads property entries into Instance up to the end of the list (the 0
    // itself is left in the stream).
    void ReadProperties(TPersistent* Instance);
    // Skips one component, with its header when SkipHeader is true.
    void SkipComponent(bool SkipHeader);

    TValueType ReadValue();
    // The next byte as a tag, without consuming it or checking it.
    TValueType NextValue();
    bool EndOfList() { return NextValue() == vaNull; }
    // Skips one whole value, whatever its tag.
    void SkipValue();
    // A short counted string (no tag), read as Windows-1252.
    std::string ReadStr();

    // Tags 2, 3, 4, and 19 when the value fits in 32 bits.
    std::int32_t ReadInteger();
    std::int64_t ReadInt64();
    bool ReadBoolean();
    // Tags 6, 12, 18 and 20.
    std::string ReadString();
    // Tag 7 and the words of tags 8, 9, 13 and 0.
    std::string ReadIdent();
    // Tags 5, 15, 16, 17 and the integer tags.
    double ReadFloat();
    float ReadSingle();
    double ReadCurrency();
    double ReadDate();
    // Tag 11: each name must be one of Idents.
    std::uint32_t ReadSet(const std::vector<std::string>& Idents);
    std::int32_t ReadColor();
    void ReadListBegin();
    void ReadListEnd();
    // Tag 14: for each item, AddItem gives the object its properties go to.
    void ReadCollection(const std::function<TPersistent*()>& AddItem);

    // The prefix flags and child position of the last component header read.
    std::uint8_t LastFlags() const { return FLastFlags; }
    int LastChildPos() const { return FLastChildPos; }

    // Told of each property error before it is kept for the end; setting
    // Handled drops it.
    std::function<void(TReader& Reader, const std::string& Message, bool& Handled)> OnError;
    // While OnError is told of a property's error: that property's path as
    // the stream names it ("Bitmap.Data"); empty for an error of a whole
    // component.
    const std::string& ErrorPropPath() const { return FErrorPropPath; }

private:
    std::int64_t Remaining();
    // Raises the read error unless Count bytes are left.
    void CheckLength(std::int64_t Count);
    void SkipBytes(std::int64_t Count);
    std::uint8_t ReadByte();
    std::int64_t ReadIntegerPayload(TValueType Type);
    void ReadProperty(TPersistent* Instance);
    void ReadPropValue(TPersistent* Instance, const TPropInfo& Prop);
    void ReadComponentBody(TComponent* Instance);
    TComponent* ReadComponentInner(TComponent* Instance);
    void SkipProperties();
    // Component references read, set once the stream is read.
    struct TFixup {
        TPersistent* Instance;
        std::function<void(TPersistent*, TComponent*)> Set;
        std::string Name;
        TComponent* Root;
    };
    void ResolveFixups();
    // Called from a catch block: offers the error to OnError and keeps the first.
    void KeepError(const Exception& E);
    // Calls Loaded on what was read (unless Failed) and clears the reading
    // states; then raises the kept error, if any.
    void Finish(bool Failed);
    // Runs Read as a whole top-level read: what it loads is finished when it
    // ends, failed or not, and the root is given back as OldRoot.
    TComponent* ReadTopLevel(TComponent* OldRoot, const std::function<TComponent*()>& Read);
    [[noreturn]] void PropValueError();

    std::string FPropName; // the property DefineProperty is asked about
    std::string FErrorPropPath;
    bool FPropHandled = false;
    int FNesting = 0;
    bool FReading = false;
    TComponent* FParent = nullptr;
    std::uint8_t FLastFlags = 0;
    int FLastChildPos = -1;
    std::vector<TComponent*> FLoaded;
    std::vector<TFixup> FFixups;
    std::exception_ptr FPendingError;
};

// Writes Component as a root (signature included) at the stream's position.
void WriteComponentToStream(TStream& S, TComponent* Component);
// Reads a root component stream into Instance (created through the class
// registry when null) and returns it. See TReader for the error contract.
TComponent* ReadComponentFromStream(TStream& S, TComponent* Instance);
