#include "syscomp/SysUtilities.h"

#include "platform/base/FileNames.h"
#include "platform/classes/Strings.h"
#include "platform/forms/Application.h"
#include "platform/forms/Controls.h"
#include "platform/forms/Forms.h"

#include <algorithm>
#include <atomic>
#include <map>
#include <mutex>

namespace {

std::atomic<int> VersionOverride{-1};

constexpr TIdentMapEntry ColorIdents[] = {
    {0x003090, "clBrown"},          {0x003030, "clOliveGreen"},
    {0x003000, "clDarkGreen"},      {0x603000, "clDarkTeal"},
    {0x903030, "clIndigo"},         {0x303030, "clNight"},
    {0x0068FF, "clOrange"},         {0x906060, "clBlueGray"},
    {0x0098FF, "clLightOrange"},    {0x609830, "clSeaGreen"},
    {0xFF6830, "clLightBlue"},      {0x909090, "clMetal"},
    {0x00C8FF, "clGold"},           {0x603090, "clPlum"},
    {0xD098FF, "clRose"},           {0xA0C8FF, "clTan"},
    {0x90FFFF, "clLightYellow"},    {0xD0FFD0, "clLightGreen"},
    {0xFFFFC0, "clLightTurquoise"}, {0xFFC890, "clPaleBlue"},
    {0xFF98C0, "clLavender"},
};

bool IsSeparator(char C) {
    return C == '\\' || C == ':' || C == '/';
}

} // namespace

int SysVersionCode(bool NTPlatform, int Major, int Minor, const std::string& Service) {
    if (NTPlatform) {
        if (Major == 3) return 1;
        if (Major == 4) return 4;
        if (Major == 5) return Minor == 1 ? 9 : Minor == 2 ? 10 : 8;
        return 0;
    }
    if (Minor == 0) return Service == "B" ? 3 : 2;
    if (Minor == 10) return Service == "A" ? 6 : 5;
    if (Minor == 90) return 7;
    return 0;
}

int SysOSVersion() {
    const int v = VersionOverride.load();
    return v >= 0 ? v : 0;
}

void SetSysOSVersionForTesting(int Code) {
    VersionOverride.store(Code);
}

bool SysIsNTPlatform() {
    const int v = SysOSVersion();
    return v == 1 || v == 4 || v >= 8;
}

bool Sys9xPlatform() {
    const int v = SysOSVersion();
    return v == 2 || v == 3 || (v >= 5 && v <= 7);
}

bool SysIsWin98OrLater() {
    const int v = SysOSVersion();
    return v == 0 || v >= 5;
}

bool SysIsWin2000OrLater() {
    const int v = SysOSVersion();
    return v == 0 || v >= 8;
}

bool SysIsWinXPOrLater() {
    const int v = SysOSVersion();
    return v == 0 || v >= 9;
}

std::span<const TIdentMapEntry> SysColorIdents() {
    return ColorIdents;
}

void RegisterSysColorIdents() {
    RegisterColorIdents(ColorIdents);
}

void UnregisterSysColorIdents() {
    UnregisterColorIdents(ColorIdents);
}

int SysMin(int A, int B) {
    return A < B ? A : B;
}

int SysShiftState() {
    const TShiftState s = KeyboardStateToShiftState();
    return (s.Contains(ssShift) ? 1 : 0) | (s.Contains(ssAlt) ? 2 : 0) |
           (s.Contains(ssCtrl) ? 4 : 0);
}

int SysPosFrom(const std::string& SubStr, const std::string& S, int Start) {
    if (SubStr.empty() || Start < 1 || size_t(Start) > S.size()) return 0;
    const size_t p = S.find(SubStr, size_t(Start - 1));
    return p == std::string::npos ? 0 : int(p + 1);
}

int SysLastPos(const std::string& SubStr, const std::string& S, int Start) {
    if (SubStr.empty() || Start < 1 || S.empty()) return 0;
    const size_t from = std::min(size_t(Start - 1), S.size() - 1);
    const size_t p = S.rfind(SubStr, from);
    return p == std::string::npos ? 0 : int(p + 1);
}

std::string SysReplaceAll(const std::string& S, const std::string& From, const std::string& To) {
    if (From.empty()) return S;
    std::string r;
    size_t pos = 0;
    for (size_t p; (p = S.find(From, pos)) != std::string::npos; pos = p + From.size())
        r.append(S, pos, p - pos).append(To);
    return r.append(S, pos, std::string::npos);
}

std::string SysReplaceChar(const std::string& S, char From, char To) {
    std::string r = S;
    for (char& c : r)
        if (c == From) c = To;
    return r;
}

void SysSplit(const std::string& S, const std::string& Separator, TStrings* List) {
    if (List == nullptr) return;
    if (Separator.empty()) {
        List->Add(S);
        return;
    }
    size_t pos = 0;
    for (size_t p; (p = S.find(Separator, pos)) != std::string::npos; pos = p + Separator.size())
        List->Add(S.substr(pos, p - pos));
    List->Add(S.substr(pos));
}

std::string SysAddPathDelimiter(const std::string& S) {
    if (!S.empty() && S.back() == '/') return S;
    return S + "/";
}

std::string SysSingleBackslashes(const std::string& S) {
    return SysReplaceAll(S, "\\\\", "\\");
}

std::string SysFileNamePart(const std::string& S) {
    size_t i = S.size();
    while (i > 0 && !IsSeparator(S[i - 1]))
        --i;
    return S.substr(i);
}

std::string SysFolderPart(const std::string& S) {
    size_t i = S.size();
    while (i > 0 && !IsSeparator(S[i - 1]))
        --i;
    return S.substr(0, i);
}

std::string SysNameWithoutExt(const std::string& S) {
    const std::string name = SysFileNamePart(S);
    const size_t dot = name.rfind('.');
    if (dot == std::string::npos) return S;
    return S.substr(0, S.size() - (name.size() - dot));
}

std::string SysLogFileName() {
    return ChangeFileExt(ApplicationExeName(), ".log");
}

std::string SysProgramFolder() {
    return SysFolderPart(ApplicationExeName());
}

UINT SysRegisterWindowMessage(const std::string& Name) {
    static std::mutex lock;
    // Never freed: the numbers stay valid while the program runs.
    static auto* names = new std::map<std::string, UINT>;
    std::lock_guard<std::mutex> g(lock);
    auto it = names->find(Name);
    if (it != names->end()) return it->second;
    const UINT id = 0xC000 + UINT(names->size());
    names->emplace(Name, id);
    return id;
}

void SysShowApplication() {
    if (Application != nullptr && Application->MainForm() != nullptr)
        Application->MainForm()->SetVisible(true);
}

void SysHideApplication() {
    if (Application != nullptr && Application->MainForm() != nullptr)
        Application->MainForm()->SetVisible(false);
}
