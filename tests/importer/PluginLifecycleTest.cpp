#include <dlfcn.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "ImporterTest.h"
#include "importer/MetadataImporterPlugin.h"
#include "platform/CFPlugIn.h"

using namespace ossel;
using namespace ossel::testing;

namespace {

// Every test must leave no instance, no UUID and no unbalanced registry removal behind.
class PluginLifecycle : public ::testing::Test {
protected:
    void SetUp() override {
        factory_ = importerFactory();
        ASSERT_NE(factory_, nullptr);
        factoryId_ = CFUUIDCreateFromString(kCFAllocatorDefault, kFactoryId);
        liveUUIDs_ = CFUUIDLiveCount();
        unbalanced_ = CFPlugInUnbalancedRemovalCount();
        ASSERT_EQ(CFPlugInInstanceCountForFactory(factoryId_), 0);
    }
    void TearDown() override {
        EXPECT_EQ(CFPlugInInstanceCountForFactory(factoryId_), 0);
        EXPECT_EQ(CFUUIDLiveCount(), liveUUIDs_);
        EXPECT_EQ(CFPlugInUnbalancedRemovalCount(), unbalanced_);
        CFRelease(factoryId_);
    }
    void* make() const { return factory_(kCFAllocatorDefault, kMDImporterTypeID); }

    CFPlugInFactoryFunction factory_ = nullptr;
    CFUUIDRef factoryId_ = nullptr;
    CFIndex liveUUIDs_ = 0;
    CFIndex unbalanced_ = 0;
};

}  // namespace

TEST_F(PluginLifecycle, FactoryServesOnlyTheImporterTypeComparedByValue) {
    const CFUUIDRef made = CFUUIDCreateFromString(kCFAllocatorDefault, "8B08C4BF-415B-11D8-B3F9-0003936726FD");
    for (CFUUIDRef other : {kMDImporterInterfaceID, IUnknownUUID, made, static_cast<CFUUIDRef>(nullptr)}) {
        EXPECT_EQ(factory_(kCFAllocatorDefault, other), nullptr);
        EXPECT_EQ(CFPlugInInstanceCountForFactory(factoryId_), 0);
    }
    CFRelease(made);
    const CFUUIDRef typeCopy = CFUUIDCreateFromString(kCFAllocatorDefault, "8b08c4bf-415b-11d8-b3f9-0003936726fc");
    void* instance = factory_(kCFAllocatorDefault, typeCopy);
    CFRelease(typeCopy);
    ASSERT_NE(instance, nullptr);
    EXPECT_EQ((*asInterface(instance))->Release(instance), 0u);
}

TEST_F(PluginLifecycle, CountsMoveOneByOneThroughQueryInterfaceAddRefAndRelease) {
    void* instance = make();
    ASSERT_NE(instance, nullptr);
    // The instance holds the only reference to its factory UUID; TearDown checks that it is
    // freed and the registration removed, each exactly once.
    const auto* record = static_cast<const MetadataImporterPluginType*>(instance);
    EXPECT_TRUE(CFEqual(record->factoryId, factoryId_));
    EXPECT_EQ(CFGetRetainCount(record->factoryId), 1);
    MDImporterInterfaceStruct** table = asInterface(instance);
    for (CFUUIDRef accepted : {kMDImporterInterfaceID, IUnknownUUID}) {
        void* answer = nullptr;
        EXPECT_EQ((*table)->QueryInterface(instance, CFUUIDGetUUIDBytes(accepted), &answer), S_OK);
        EXPECT_EQ(answer, instance);
    }
    int sentinel = 0;
    for (CFUUIDRef other : {kMDImporterTypeID, factoryId_}) {
        void* answer = &sentinel;
        EXPECT_EQ((*table)->QueryInterface(instance, CFUUIDGetUUIDBytes(other), &answer), E_NOINTERFACE);
        EXPECT_EQ(answer, nullptr);
    }
    EXPECT_EQ(CFUUIDLiveCount(), liveUUIDs_ + 1) << "QueryInterface frees the UUIDs it makes";
    for (ULONG expected = 4; expected <= 10; ++expected) EXPECT_EQ((*table)->AddRef(instance), expected);
    for (ULONG expected = 9; expected >= 1; --expected) EXPECT_EQ((*table)->Release(instance), expected);
    EXPECT_EQ(CFPlugInInstanceCountForFactory(factoryId_), 1);
    EXPECT_EQ((*table)->Release(instance), 0u);
}

TEST_F(PluginLifecycle, InstancesShareOnePrivateTableInsideTheLoadedModule) {
    void* first = make();
    void* second = make();
    ASSERT_TRUE(first && second);
    EXPECT_EQ(CFPlugInInstanceCountForFactory(factoryId_), 2);
    const MDImporterInterfaceStruct* table = *asInterface(first);
    EXPECT_EQ(table, *asInterface(second));
    // Every slot leads into the loaded module, not to a copy elsewhere in the process.
    const auto module = std::filesystem::canonical(loadedImporterBundle().executablePath());
    for (const void* slot : {reinterpret_cast<const void*>(table->QueryInterface), reinterpret_cast<const void*>(table->AddRef),
                             reinterpret_cast<const void*>(table->Release),
                             reinterpret_cast<const void*>(table->ImporterImportData), static_cast<const void*>(table)}) {
        Dl_info info{};
        ASSERT_NE(dladdr(slot, &info), 0);
        EXPECT_EQ(std::filesystem::canonical(info.dli_fname), module);
    }
    EXPECT_EQ(table->Release(first), 0u);
    EXPECT_EQ(CFPlugInInstanceCountForFactory(factoryId_), 1);
    EXPECT_EQ(table->Release(second), 0u);
}
