#include "syscomp/ChangeMonitors.h"
#include "syscomp/FileOperation.h"

#include "platform/classes/ClassRegistry.h"
#include "platform/classes/Filer.h"
#include "platform/classes/Strings.h"

#include <gtest/gtest.h>

namespace {

TEST(SysRegistration, RegistersTheFamilyInOrder) {
    EXPECT_FALSE(RegisterSysComponentClass("TSysTrayIcon")); // not this library's
    RegisterSysComponentsNonVisual();
    const std::vector<std::string> expected = {"TSysComponent",
                                               "TSysCustomThreadComponent",
                                               "TSysCustomThreadTimer",
                                               "TSysCustomFileStorage",
                                               "TSysAutoRun",
                                               "TSysOneInstance",
                                               "TSysShutdown",
                                               "TSysFileStorage",
                                               "TSysThreadComponent",
                                               "TSysThreadTimer",
                                               "TSysFileOperation",
                                               "TSysFileAssociation",
                                               "TSysCustomFolderMonitor",
                                               "TSysFolderMonitor",
                                               "TSysCustomRegistryMonitor",
                                               "TSysRegistryMonitor"};
    std::vector<std::string> got;
    for (const std::string& n : RegisteredClassNames())
        if (n.rfind("TSys", 0) == 0) got.push_back(n);
    EXPECT_EQ(got, expected);
    std::unique_ptr<TPersistent> made(FindClass("TSysFolderMonitor").Create(nullptr));
    EXPECT_NE(dynamic_cast<TSysFolderMonitor*>(made.get()), nullptr);
}

TEST(SysRegistration, PublishedPropertiesStreamRoundTrip) {
    RegisterSysComponentsNonVisual();
    TSysFileOperation op(nullptr);
    op.SetName("Ops");
    op.FileList()->Add("/a/b.txt=c.*");
    op.SetDestFolder("/out");
    op.SetOperation(fotMove);
    op.SetOptions(SysFileFlag(fofSilent) | SysFileFlag(fofNoConfirmation));
    TMemoryStream m;
    TWriter(m).WriteRootComponent(&op);
    m.SetPosition(0);
    TSysFileOperation copy(nullptr);
    TReader(m).ReadRootComponent(&copy);
    EXPECT_EQ(copy.FileList()->Text(), "/a/b.txt=c.*\r\n");
    EXPECT_EQ(copy.DestFolder(), "/out");
    EXPECT_EQ(copy.Operation(), fotMove);
    EXPECT_EQ(copy.Options(), SysFileFlag(fofSilent) | SysFileFlag(fofNoConfirmation));

    // A loaded monitor stays idle until it has a handler.
    TSysFolderMonitor mon(nullptr);
    mon.SetName("Mon");
    mon.SetFolder("/tmp");
    TMemoryStream m2;
    TWriter(m2).WriteRootComponent(&mon);
    m2.SetPosition(0);
    TSysFolderMonitor mcopy(nullptr);
    TReader(m2).ReadRootComponent(&mcopy);
    EXPECT_EQ(mcopy.Folder(), "/tmp");
    EXPECT_TRUE(mcopy.WatchSubTree());
    EXPECT_FALSE(mcopy.Monitoring());
}

} // namespace
