#include "menus/SysUnitVersion.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <unistd.h>

namespace {

const TUnitVersionInfo InfoA = {"$URL: https://vcs.example.invalid/a.cpp $",
                                "$Revision: 3266 $",
                                "$Date: 2010-06-02 11:14:07 +0200 (mer., 02 juin 2010) $",
                                "syslib\\source\\common",
                                "",
                                nullptr};
const TUnitVersionInfo InfoB = {
    "$URL: https://vcs.example.invalid/b.cpp $", "$Revision: 12 $", "$Date: x $", "", "", nullptr};

struct TRecordingProvider : TCustomUnitVersioningProvider {
    std::vector<TModuleInstance>* Released;
    explicit TRecordingProvider(std::vector<TModuleInstance>* released) : Released(released) {}
    void ReleaseModule(TModuleInstance Instance) override { Released->push_back(Instance); }
};

} // namespace

TEST(UnitVersion, RecordsAndLookups) {
    TUnitVersioning registry;
    std::vector<TModuleInstance> released;
    registry.AddProvider(std::make_unique<TRecordingProvider>(&released));
    registry.Add(1, &InfoA);
    registry.Add(1, &InfoA); // same record twice: one entry
    registry.Add(1, &InfoB);
    registry.Add(2, &InfoA);
    ASSERT_EQ(registry.ModuleCount(), 2);
    TUnitVersioningModule* first = registry.FindModule(1);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->Count(), 2);
    EXPECT_EQ(first->IndexOfInfo(&InfoB), 1);
    EXPECT_EQ(first->Items(0)->Revision(), "3266");
    EXPECT_EQ(first->Items(0)->RCSfile(), "https://vcs.example.invalid/a.cpp");
    EXPECT_EQ(first->Items(0)->Date(), "2010-06-02 11:14:07 +0200 (mer., 02 juin 2010)");
    EXPECT_EQ(first->Items(0)->LogPath(), "syslib\\source\\common");
    EXPECT_THROW(first->Items(2), EListError);

    registry.UnregisterModule(7); // no entry: nothing changes but the providers hear of it
    EXPECT_EQ(registry.ModuleCount(), 2);
    registry.UnregisterModule(1);
    ASSERT_EQ(registry.ModuleCount(), 1);
    EXPECT_EQ(registry.Modules(0)->Instance(), 2u);
    EXPECT_EQ(released, (std::vector<TModuleInstance>{7, 1}));
}

TEST(UnitVersion, SharedBlocksAreCountedByName) {
    void* a = nullptr;
    void* b = nullptr;
    EXPECT_EQ(SharedGetMem("Test_Block", 16, TSharedMemAccess::AllAccess, a), 0);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(std::memcmp(a, "\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0", 16), 0);
    std::memcpy(a, "hello", 5);
    EXPECT_EQ(SharedGetMem("Test_Block", 0, TSharedMemAccess::Read, b), ERROR_ALREADY_EXISTS);
    EXPECT_EQ(a, b);
    EXPECT_EQ(MessageOf<ESharedMemError>([] {
                  void* v = nullptr;
                  SharedGetMem("Test_Block", 17, TSharedMemAccess::AllAccess, v);
              }),
              "The MMF named \"Test_Block\" is smaller than 17 bytes");

    void* keep = a;
    EXPECT_TRUE(SharedFreeMem(a));
    EXPECT_EQ(a, nullptr);
    EXPECT_TRUE(SharedFreeMem(a)); // already empty
    void* stale = keep;
    EXPECT_TRUE(SharedFreeMem(b)); // the last use unmaps it
    EXPECT_FALSE(SharedFreeMem(stale));

    EXPECT_EQ(MessageOf<ESharedMemError>([] {
                  void* v = nullptr;
                  SharedGetMem("Test_Block", 0, TSharedMemAccess::AllAccess, v);
              }),
              "The MMF named \"Test_Block\" cannot be created empty");
    EXPECT_EQ(MessageOf<ESharedMemError>([] {
                  void* v = nullptr;
                  SharedGetMem("", 4, TSharedMemAccess::AllAccess, v);
              }),
              "Invalid MMF name \"\"");
    // Made again after its end: fresh and zero-filled.
    void* again = nullptr;
    EXPECT_EQ(SharedGetMem("Test_Block", 8, TSharedMemAccess::AllAccess, again), 0);
    EXPECT_EQ(static_cast<char*>(again)[0], 0);
    EXPECT_TRUE(SharedFreeMem(again));
}

TEST(UnitVersion, TwoModulesFindOneRegistryThroughTheBlock) {
    TUnitVersioningLink first(900001), second(900001), elsewhere(900002);
    EXPECT_EQ(first.BlockName(), "ShmNPA_UnitVersioning_900001");
    EXPECT_EQ(first.MutexName(), "MutexNPA_UnitVersioning_900001");
    TUnitVersioning* registry = first.Acquire();
    ASSERT_NE(registry, nullptr);
    EXPECT_TRUE(first.CreatedHere());
    EXPECT_EQ(second.Acquire(), registry);
    EXPECT_FALSE(second.CreatedHere());
    EXPECT_EQ(first.Acquire(), registry);
    EXPECT_NE(elsewhere.Acquire(), registry);

    // A module that did not make it leaves it published for the others.
    TUnitVersioningLink third(900001);
    EXPECT_EQ(third.Acquire(), registry);
    third.Finalize();
    EXPECT_EQ(third.Acquire(), nullptr);
    EXPECT_EQ(second.Acquire(), registry);

    // When the maker ends, the others stop using its freed registry.
    registry->Add(1, &InfoA);
    first.Finalize();
    TUnitVersioning* replacement = second.Acquire();
    ASSERT_NE(replacement, nullptr);
    EXPECT_TRUE(second.CreatedHere());
    EXPECT_EQ(replacement->ModuleCount(), 0);
    TUnitVersioningLink fourth(900001);
    EXPECT_EQ(fourth.Acquire(), replacement);
}

TEST(UnitVersion, ModulesRegisterAtStartAndLeaveAtExit) {
    const auto& modules = SysLibModules();
    ASSERT_EQ(modules.size(), 29u);
    InitSysLibModules();
    InitSysLibModules(); // once only
    TUnitVersioning* registry = AcquireVersionRegistry();
    ASSERT_NE(registry, nullptr);
    EXPECT_EQ(registry, AcquireVersionRegistry());
    // Another module of the process finds the program's registry.
    TUnitVersioningLink other{std::uint32_t(getpid())};
    EXPECT_EQ(other.Acquire(), registry);
    other.Finalize();

    TUnitVersioningModule* program = registry->FindModule(MainInstance());
    ASSERT_NE(program, nullptr);
    ASSERT_EQ(program->Count(), 29);
    for (int i = 0; i < program->Count(); ++i) {
        EXPECT_EQ(program->Items(i)->Revision(),
                  std::to_string(modules[std::size_t(i)].RevisionNumber));
        EXPECT_NE(program->Items(i)->RCSfile().find(modules[std::size_t(i)].Name),
                  std::string::npos);
    }
    DoneSysLibModules(); // the first exit step already leaves nothing to do
    DoneSysLibModules();
    EXPECT_EQ(AcquireVersionRegistry(), nullptr);
    AddModuleVersion(MainInstance(), &InfoA); // nothing without a registry
}
