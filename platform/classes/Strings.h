#pragma once
// TStrings: the abstract list of UTF-8 strings, each with an associated
// object pointer (not owned unless a descendant says so).
// TStringList: the list kept in memory, optionally sorted.
//
// Text puts CR LF after every string ("a", "b" -> "a\r\nb\r\n"), so that a
// trailing empty string survives a round trip; SetText splits on CR, LF or
// CR LF, and a break at the very end adds no empty string.
// Comparisons that ignore case fold ASCII letters only.
// An index out of range raises EStringListError "List index out of bounds
// (<index>)".
#include "platform/base/Object.h"
#include "platform/classes/List.h"
#include "platform/classes/Persistent.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

class TStream;

class TStrings : public TPersistent {
public:
    QM_CLASSNAME(TStrings)

    virtual int Count() const = 0;
    virtual std::string Get(int Index) const = 0;
    std::string Strings(int Index) const { return Get(Index); }
    std::string operator[](int Index) const { return Get(Index); }
    virtual void Put(int Index, const std::string& S);
    virtual TObject* Objects(int Index) const { return nullptr; }
    virtual void PutObject(int Index, TObject* AObject) {}

    // Appends (or, in a sorted list, inserts in order); returns the index.
    virtual int Add(const std::string& S);
    virtual int AddObject(const std::string& S, TObject* AObject);
    void Append(const std::string& S) { Add(S); }
    virtual void Insert(int Index, const std::string& S) = 0;
    virtual void InsertObject(int Index, const std::string& S, TObject* AObject);
    virtual void Delete(int Index) = 0;
    virtual void Clear() = 0;
    virtual void Exchange(int Index1, int Index2);
    virtual void Move(int CurIndex, int NewIndex);
    virtual void AddStrings(const TStrings* Strings);
    void AddStrings(const std::vector<std::string>& Strings);

    // First index of S ignoring case (a TStringList follows its
    // CaseSensitive), or -1.
    virtual int IndexOf(std::string_view S) const;
    // First string "Name=..." whose name matches ignoring case, or -1.
    int IndexOfName(std::string_view Name) const;
    int IndexOfObject(const TObject* AObject) const;

    // The part before the first NameValueSeparator ("" when there is none).
    std::string Names(int Index) const;
    // The part after the separator of the string named Name ("" when none).
    std::string Values(std::string_view Name) const;
    // Replaces the value of Name, adds "Name=Value" when absent, deletes the
    // string when Value is empty.
    void SetValue(std::string_view Name, const std::string& Value);
    std::string ValueFromIndex(int Index) const;
    void SetValueFromIndex(int Index, const std::string& Value);
    char NameValueSeparator() const { return FNameValueSeparator; }
    void SetNameValueSeparator(char Value) { FNameValueSeparator = Value; }

    virtual std::string Text() const;
    virtual void SetText(std::string_view Value);
    static constexpr std::string_view LineBreak = "\r\n";

    // The strings separated by Delimiter; a string that holds a space, a
    // control character, the delimiter or the quote character is quoted
    // (quote characters inside doubled). An empty string stays empty between
    // delimiters, except a lone empty string, which is written as two quotes.
    std::string DelimitedText() const;
    // Replaces the strings. Quoted items may hold anything (a doubled quote
    // stands for one); unquoted items end at the delimiter or, unless
    // StrictDelimiter, at a space or control character. Spaces between items
    // are skipped.
    void SetDelimitedText(std::string_view Value);
    // DelimitedText with "," and '"', whatever Delimiter and QuoteChar hold.
    std::string CommaText() const;
    void SetCommaText(std::string_view Value);
    char Delimiter() const { return FDelimiter; }
    void SetDelimiter(char Value) { FDelimiter = Value; }
    char QuoteChar() const { return FQuoteChar; }
    void SetQuoteChar(char Value) { FQuoteChar = Value; }
    bool StrictDelimiter() const { return FStrictDelimiter; }
    void SetStrictDelimiter(bool Value) { FStrictDelimiter = Value; }

    // Copies the strings and objects of another TStrings.
    void Assign(const TPersistent* Source) override;
    // Same strings in the same order (case counts; objects are ignored).
    bool Equals(const TStrings* Strings) const;
    std::vector<std::string> ToVector() const;

    // Updates nest; OnChanging/OnChange fire once around the outermost pair.
    void BeginUpdate();
    void EndUpdate();
    int UpdateCount() const { return FUpdateCount; }

    // Text with CR LF breaks; a leading UTF-8 byte order mark is dropped on
    // loading. SaveToFile replaces the file as SaveFileAtomic does.
    virtual void LoadFromStream(TStream* Stream);
    virtual void SaveToStream(TStream* Stream) const;
    void LoadFromFile(const std::string& FileName);
    void SaveToFile(const std::string& FileName) const;

    TNotifyEvent OnChange;
    TNotifyEvent OnChanging;

protected:
    // Called when the outermost BeginUpdate starts (true) and EndUpdate ends
    // (false).
    virtual void SetUpdateState(bool Updating) {}
    [[noreturn]] static void Error(const char* Format, std::int64_t Value);
    // Case-insensitive by default; TStringList follows CaseSensitive. The
    // order is that of the bytes with ASCII letters folded; when case counts,
    // strings equal but for case put the lower-case letter first ("a" < "A" <
    // "b").
    virtual int CompareStrings(std::string_view S1, std::string_view S2) const;

private:
    std::string BuildDelimited(char Delim, char Quote, bool Strict) const;
    void ParseDelimited(std::string_view Value, char Delim, char Quote, bool Strict);

    int FUpdateCount = 0;
    char FDelimiter = ',';
    char FQuoteChar = '"';
    char FNameValueSeparator = '=';
    bool FStrictDelimiter = false;
};

class TStringList;
// Negative when the string at Index1 sorts before the one at Index2.
using TStringListSortCompare = std::function<int(TStringList* List, int Index1, int Index2)>;

class TStringList : public TStrings {
public:
    QM_CLASSNAME(TStringList)

    TStringList() = default;
    // With OwnsObjects the list deletes the objects of the strings it drops.
    explicit TStringList(bool OwnsObjects) : FOwnsObjects(OwnsObjects) {}
    ~TStringList() override;
    TStringList(const TStringList&) = delete;
    TStringList& operator=(const TStringList&) = delete;

    int Count() const override { return int(FList.size()); }
    std::string Get(int Index) const override;
    void Put(int Index, const std::string& S) override;
    TObject* Objects(int Index) const override;
    void PutObject(int Index, TObject* AObject) override;

    // In a sorted list: dupIgnore returns the index of the existing equal
    // string, dupError raises EStringListError "String list does not allow
    // duplicates".
    int Add(const std::string& S) override;
    int AddObject(const std::string& S, TObject* AObject) override;
    // Raises EStringListError "Operation not allowed on sorted list" when
    // Sorted.
    void Insert(int Index, const std::string& S) override;
    void InsertObject(int Index, const std::string& S, TObject* AObject) override;
    void Delete(int Index) override;
    void Clear() override;
    void Exchange(int Index1, int Index2) override;
    // Raises EStringListError "Operation not allowed on sorted list" when
    // Sorted, before anything moves.
    void Move(int CurIndex, int NewIndex) override;
    int IndexOf(std::string_view S) const override;

    // Binary search of a sorted list: true when found, Index is the first
    // equal string or the insertion point.
    bool Find(std::string_view S, int& Index) const;
    virtual void Sort();
    virtual void CustomSort(const TStringListSortCompare& Compare);

    bool Sorted() const { return FSorted; }
    void SetSorted(bool Value);
    TDuplicates Duplicates() const { return FDuplicates; }
    void SetDuplicates(TDuplicates Value) { FDuplicates = Value; }
    bool CaseSensitive() const { return FCaseSensitive; }
    // Re-sorts a sorted list.
    void SetCaseSensitive(bool Value);
    bool OwnsObjects() const { return FOwnsObjects; }
    void SetOwnsObjects(bool Value) { FOwnsObjects = Value; }

protected:
    void SetUpdateState(bool Updating) override;
    int CompareStrings(std::string_view S1, std::string_view S2) const override;
    virtual void Changed();
    virtual void Changing();
    virtual void InsertItem(int Index, const std::string& S, TObject* AObject);

private:
    struct TStringItem {
        std::string FString;
        TObject* FObject = nullptr;
    };
    void CheckIndex(int Index) const;
    void SortItems(const TStringListSortCompare& Compare);

    std::vector<TStringItem> FList;
    bool FSorted = false;
    bool FCaseSensitive = false;
    bool FOwnsObjects = false;
    TDuplicates FDuplicates = dupIgnore;
};
