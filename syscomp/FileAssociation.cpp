#include "syscomp/FileAssociation.h"

#include "platform/forms/Dialogs.h"
#include "platform/graphics/Icon.h"
#include "platform/system/Registry.h"
#include "syscomp/SystemBackend.h"

#include <cctype>

namespace {

bool ParseIndex(const std::string& Text, int& Value) {
    std::size_t i = 0;
    while (i < Text.size() && Text[i] == ' ')
        ++i;
    const bool negative = i < Text.size() && Text[i] == '-';
    if (negative || (i < Text.size() && Text[i] == '+')) ++i;
    if (i >= Text.size()) return false;
    long long v = 0;
    for (; i < Text.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(Text[i]))) return false;
        v = v * 10 + (Text[i] - '0');
        if (v > 0x7FFFFFFFLL) return false;
    }
    Value = int(negative ? -v : v);
    return true;
}

bool CaseEqual(const std::string& a, const char* b) {
    std::size_t n = std::char_traits<char>::length(b);
    if (a.size() != n) return false;
    for (std::size_t i = 0; i < n; ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(b[i])) return false;
    return true;
}

} // namespace

std::string SysNormalizeExtension(const std::string& Extension) {
    if (Extension.empty() || Extension[0] == '.') return Extension;
    return "." + Extension;
}

TSysFileAssociation::TSysFileAssociation(TComponent* AOwner)
    : TSysComponent(AOwner), FLargeIcon(std::make_unique<TIcon>()),
      FSmallIcon(std::make_unique<TIcon>()) {}

TSysFileAssociation::~TSysFileAssociation() = default;

const char* TSysFileAssociation::VerbKey(TVerb Verb) {
    static const char* Keys[] = {"shell\\open", "shell\\opennew", "shell\\edit", "shell\\print",
                                 "shell\\printto"};
    return Keys[Verb];
}

void TSysFileAssociation::SetExtension(const std::string& Value) {
    const std::string v = SysNormalizeExtension(Value);
    if (v == FExtension) return;
    FExtension = v;
    if (!Busy()) Read();
}

void TSysFileAssociation::SetIconIndex(int Value) {
    if (Value == FIconIndex) return;
    if (IsDesigning() && FReadOnly && !Busy()) {
        Apply();
        return;
    }
    FIconIndex = Value;
    if (!Busy()) Apply();
}

void TSysFileAssociation::Change(std::string& Field, const std::string& Value) {
    if (Value == Field) return;
    if (IsDesigning() && FReadOnly && !Busy()) {
        Apply(); // the refusal
        return;
    }
    Field = Value;
    if (!Busy()) Apply();
}

void TSysFileAssociation::Apply() {
    if (Busy()) return;
    if (!IsDesigning()) {
        if (FReadOnly) return;
        try {
            Write();
        } catch (...) {
        }
    } else if (FReadOnly) {
        DialogService()->MessageBox("Cannot change the property in Read-Only mode.", "Warning",
                                    MB_OK | MB_ICONWARNING);
    } else {
        bool ok = false;
        try {
            ok = Write();
        } catch (...) {
        }
        if (!ok)
            DialogService()->MessageBox("Cannot write to registry.", "Error", MB_OK | MB_ICONERROR);
    }
}

bool TSysFileAssociation::Read() {
    if (Busy()) return false;
    FIconIndex = 0;
    FLargeIcon = std::make_unique<TIcon>();
    FSmallIcon = std::make_unique<TIcon>();
    if (FExtension.empty() || FExtension == ".") return false;
    // Nothing of the previous extension may survive a read of this one.
    FFileDescription.clear();
    FIconFile.clear();
    for (int v = 0; v < VerbCount; ++v) {
        FCommands[v].clear();
        FDescriptions[v].clear();
    }

    bool result = false;
    TRegistry reg(KEY_READ);
    reg.SetRootKey(HKEY_CLASSES_ROOT);
    auto readDefault = [&](const std::string& key, std::string& out) {
        if (!reg.OpenKeyReadOnly("\\" + key)) return false;
        try {
            out = reg.ReadString("");
        } catch (const ERegistryException&) {
            out.clear();
        }
        reg.CloseKey();
        return true;
    };
    std::string type;
    readDefault(FExtension, type);
    FExtDescription = type;
    if (!type.empty() && readDefault(type, FFileDescription)) {
        result = true;
        std::string icon;
        if (readDefault(type + "\\DefaultIcon", icon)) {
            FIconFile = icon;
            std::size_t last = icon.rfind(',');
            int index = 0;
            if (last != std::string::npos && ParseIndex(icon.substr(last + 1), index)) {
                FIconIndex = index;
                std::size_t cut = last;
                if (last > 0) {
                    std::size_t second = icon.rfind(',', last - 1);
                    if (second != std::string::npos) cut = second;
                }
                FIconFile = icon.substr(0, cut);
            }
        }
        for (int v = 0; v < VerbCount; ++v) {
            const std::string key = type + "\\" + VerbKey(TVerb(v));
            readDefault(key, FDescriptions[v]);
            readDefault(key + "\\command", FCommands[v]);
        }
    }

    bool icons =
        !FIconFile.empty() &&
        SysBackend()->ExtractIcons(FIconFile, FIconIndex, FLargeIcon.get(), FSmallIcon.get());
    // Files without an icon of their own show the desktop's icon for their
    // type, else its stock document or program icon.
    if (!icons) icons = SysBackend()->FileTypeIcons(FExtension, FLargeIcon.get(), FSmallIcon.get());
    if (!icons)
        SysBackend()->ExtractIcons("", CaseEqual(FExtension, ".exe") ? 2 : 0, FLargeIcon.get(),
                                   FSmallIcon.get());
    return result;
}

bool TSysFileAssociation::Write() {
    if (Busy() || FExtension.empty()) return false;
    FExtension = SysNormalizeExtension(FExtension);
    if (FExtension == ".") return false;
    if (FExtDescription.empty()) FExtDescription = FExtension.substr(1) + "file";

    TRegistry reg(KEY_ALL_ACCESS);
    reg.SetRootKey(HKEY_CLASSES_ROOT);
    auto put = [&](const std::string& key, const std::string& value) {
        if (!reg.OpenKey("\\" + key, true)) return false;
        try {
            reg.WriteString("", value);
        } catch (const ERegistryException&) {
            reg.CloseKey();
            return false;
        }
        reg.CloseKey();
        return true;
    };
    const std::string& type = FExtDescription;
    if (!put(FExtension, type) || !put(type, FFileDescription)) return false;
    if (!FIconFile.empty() &&
        !put(type + "\\DefaultIcon", FIconFile + "," + std::to_string(FIconIndex)))
        return false;
    for (int v = 0; v < VerbCount; ++v) {
        if (FCommands[v].empty()) continue;
        const std::string key = type + "\\" + VerbKey(TVerb(v));
        if (!put(key, FDescriptions[v]) || !put(key + "\\command", FCommands[v])) return false;
    }
    // The desktop opens files through its own database: the open verb (or
    // else the open-new one) is what it learns.
    const std::string& open = FCommands[0].empty() ? FCommands[1] : FCommands[0];
    const bool registered = SysBackend()->RegisterAssociation(
        {FExtension, FExtDescription, FFileDescription, open, FIconFile});
    SysBackend()->AssociationsChanged();
    return registered;
}

bool TSysFileAssociation::Delete() {
    if (Busy()) return false;
    FExtension = SysNormalizeExtension(FExtension);
    if (FExtension.empty() || FExtension == ".") return true;
    TRegistry reg(KEY_ALL_ACCESS);
    reg.SetRootKey(HKEY_CLASSES_ROOT);
    if (!reg.KeyExists("\\" + FExtension)) return true;
    bool deleted = reg.DeleteKey("\\" + FExtension);
    deleted = SysBackend()->RemoveAssociation(FExtension) && deleted;
    SysBackend()->AssociationsChanged();
    Read();
    return deleted;
}
