#pragma once
// The typed values of a store that keeps ini-style texts (an ini file, a
// registry key seen as an ini file): written once over the store's own
// ReadString and WriteString. Integers are written as decimal text and read
// as decimal or hexadecimal with "$" or "0x"; anything else, a missing value
// included, gives Default. Booleans are written as "1"/"0" and any integer
// other than 0 reads as true.
#include "platform/base/Convert.h"

#include <string>

template <class Store, class Base> class TIniValues : public Base {
public:
    using Base::Base;

    int ReadInteger(const std::string& Section, const std::string& Ident, int Default) {
        return StrToIntDef(Self().ReadString(Section, Ident, ""), Default);
    }
    void WriteInteger(const std::string& Section, const std::string& Ident, int Value) {
        Self().WriteString(Section, Ident, IntToStr(Value));
    }
    bool ReadBool(const std::string& Section, const std::string& Ident, bool Default) {
        return ReadInteger(Section, Ident, Default ? 1 : 0) != 0;
    }
    void WriteBool(const std::string& Section, const std::string& Ident, bool Value) {
        Self().WriteString(Section, Ident, Value ? "1" : "0");
    }

private:
    Store& Self() { return static_cast<Store&>(*this); }
};
