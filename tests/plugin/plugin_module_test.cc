// Loads the shipping module itself, as a host does, and reads its allocation
// counters through the memory-statistics callback.
#include "tests/support/plugin_module.h"
#include "tests/support/fake_host.h"

#include <gtest/gtest.h>

#include <vector>

namespace Norv::Testing {
namespace {

class PluginModuleTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(module.Open(PluginModulePathBesideExecutable())) << module.Error(); }
    PluginModule module;
};

TEST_F(PluginModuleTest, EntryAnswersTheLoadRecord) {
    LoadedPlugin plugin = module.Load(18, 4, 2);
    ASSERT_NE(plugin.object, nullptr);
    EXPECT_EQ(plugin.record.major, 18u);
    EXPECT_EQ(plugin.record.minor, 0u);
    EXPECT_EQ(plugin.record.patch, 0u);
    EXPECT_EQ(plugin.record.context, plugin.object);
    EXPECT_STREQ(plugin.record.shortName, "vek-norv-messaging-service");
    ASSERT_TRUE(plugin.hasCallbacks);
    ASSERT_NE(plugin.record.apiTable, nullptr);
    FakeHost host;
    EXPECT_TRUE(plugin.callbacks.init(plugin.record.context, host.Interface()));
    plugin.callbacks.unload(plugin.record.context);
}

TEST_F(PluginModuleTest, UnloadAfterInitReleasesEveryCountedAllocation) {
    LoadedPlugin plugin = module.Load(18, 0, 0);
    ASSERT_TRUE(plugin.hasCallbacks);
    AllocationStatistics loaded = ReadMemoryStatistics(plugin);
    EXPECT_GT(loaded.Allocations(), 0u);
    EXPECT_GT(loaded.BytesAllocated(), loaded.BytesFreed());

    FakeHost host;
    ASSERT_TRUE(plugin.callbacks.init(plugin.record.context, host.Interface()));
    plugin.callbacks.unload(plugin.record.context);
    AllocationStatistics unloaded = ReadMemoryStatistics(plugin);
    EXPECT_GE(unloaded.Allocations(), loaded.Allocations());
    EXPECT_EQ(unloaded.Allocations(), unloaded.Releases());
    EXPECT_EQ(unloaded.BytesAllocated(), unloaded.BytesFreed());
    EXPECT_GE(unloaded.PeakBytes(), loaded.BytesAllocated() - loaded.BytesFreed());
    EXPECT_GT(unloaded.BlocksAtPeak(), 0u);
    EXPECT_EQ(unloaded.counters[6], 0u);
}

TEST_F(PluginModuleTest, CountersSeeOnlyTheModulesAllocations) {
    LoadedPlugin plugin = module.Load(18, 0, 0);
    ASSERT_TRUE(plugin.hasCallbacks);
    AllocationStatistics before = ReadMemoryStatistics(plugin);
    std::vector<char> hostMemory(1 << 20, 'h');
    std::string hostText(1000, 't');
    AllocationStatistics after = ReadMemoryStatistics(plugin);
    EXPECT_EQ(after.counters, before.counters);
    plugin.callbacks.unload(plugin.record.context);

    // A second plugin object counts again and still balances.
    LoadedPlugin again = module.Load(18, 0, 0);
    ASSERT_TRUE(again.hasCallbacks);
    again.callbacks.unload(again.record.context);
    AllocationStatistics twice = ReadMemoryStatistics(again);
    EXPECT_GT(twice.Allocations(), before.Allocations());
    EXPECT_EQ(twice.Allocations(), twice.Releases());
    EXPECT_EQ(twice.BytesAllocated(), twice.BytesFreed());
}

TEST(PluginModule, MissingFileIsAOneLineError) {
    PluginModule module;
    EXPECT_FALSE(module.Open("no-such-directory/no-such-plugin"));
    EXPECT_EQ(module.Error(), "cannot load the plugin module no-such-directory/no-such-plugin");
    EXPECT_FALSE(module.IsOpen());
}

}  // namespace
}  // namespace Norv::Testing
