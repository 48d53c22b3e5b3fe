#include "banner/RecentFiles.h"

#include "platform/base/FileNames.h"
#include "platform/system/Registry.h"
#include "platform/system/RegistryStore.h"

#include <vector>

namespace {

std::string ValueName(int K) {
    return "F" + std::to_string(K + 1);
}

} // namespace

TRecentFileNames ReadRecentFiles() {
    TRecentFileNames Names;
    try {
        TRegistry Reg;
        Reg.SetRootKey(HKEY_CURRENT_USER);
        if (!Reg.OpenKey(RecentFilesKey, true)) return Names;
        for (int K = 0; K < RecentFileCount; ++K) {
            try {
                Names[std::size_t(K)] = Reg.ReadString(ValueName(K));
            } catch (const ERegistryException&) {
                // A value of another type is an empty slot, not a reason to
                // refuse the menu.
            }
        }
    } catch (const Exception&) {
        return TRecentFileNames{};
    }
    return Names;
}

TRecentFileNames RotateRecentFiles(const TRecentFileNames& Names, const std::string& FileName) {
    int Found = RecentFileCount - 1; // not in the list: the last entry drops out
    for (int K = 0; K < RecentFileCount; ++K) {
        if (Names[std::size_t(K)] == FileName) {
            Found = K;
            break;
        }
    }
    TRecentFileNames Result = Names;
    for (int K = Found; K > 0; --K)
        Result[std::size_t(K)] = Names[std::size_t(K - 1)];
    Result[0] = FileName;
    return Result;
}

bool AddRecentFile(const std::string& FileName) {
    // Read, moved and written as one change of the store, so that a second
    // program adding its own name meanwhile keeps it in the list.
    std::vector<std::string> Path;
    if (!RegSplitPath(RecentFilesKey, Path)) return false;
    return RegistryStoreFor(RegistryRootName(HKEY_CURRENT_USER))
        .Update([&](TRegStoreKey& Root, bool& Changed) {
            TRegStoreKey* Key = &Root;
            for (const std::string& Segment : Path)
                Key = Key->AddSubKey(Segment);
            TRecentFileNames Old;
            for (int K = 0; K < RecentFileCount; ++K) {
                const TRegStoreValue* V = Key->FindValue(ValueName(K));
                if (V && (V->Type == REG_SZ || V->Type == REG_EXPAND_SZ))
                    Old[std::size_t(K)] = V->Data;
            }
            const TRecentFileNames New = RotateRecentFiles(Old, FileName);
            for (int K = 0; K < RecentFileCount; ++K) {
                const std::size_t I = std::size_t(K);
                if (New[I] == Old[I]) continue;
                Key->SetValue(ValueName(K), REG_SZ, New[I]);
                Changed = true;
            }
            return true;
        });
}

std::array<TRecentFileItem, RecentFileCount> RecentFileMenuItems(const TRecentFileNames& Names) {
    std::array<TRecentFileItem, RecentFileCount> Items;
    for (int K = 0; K < RecentFileCount; ++K) {
        const std::string Name = ExtractFileName(Names[std::size_t(K)]);
        TRecentFileItem& Item = Items[std::size_t(K)];
        Item.Visible = !Name.empty();
        // An "&" of the name is doubled, so that it shows as itself and does
        // not mark a hot key.
        std::string Shown;
        for (char C : Name)
            Shown += C == '&' ? std::string("&&") : std::string(1, C);
        if (Item.Visible) Item.Caption = "&" + std::to_string(K + 1) + " " + Shown;
    }
    return Items;
}

TRecentFileWelcome RecentFileWelcomeLabels(const TRecentFileNames& Names) {
    TRecentFileWelcome W;
    const auto Items = RecentFileMenuItems(Names);
    for (std::size_t K = 0; K < Items.size(); ++K) {
        // The caption without its three-character "&k " prefix.
        W.Labels[K].Caption = Items[K].Caption.size() > 3 ? Items[K].Caption.substr(3) : "";
        W.Labels[K].Visible = Items[K].Visible;
        W.HeadingVisible = W.HeadingVisible || Items[K].Visible;
    }
    return W;
}
