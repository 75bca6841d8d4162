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

TEST_F(PluginModuleTest, CountersSeeOnlyTheModulesAllocations) {
    LoadedPlugin plugin = module.Load(18, 0, 0);
    ASSERT_TRUE(plugin.hasCallbacks);
    AllocationStatistics before = ReadMemoryStatistics(plugin);
    std::vector<char> hostMemory(1 << 20, 'h');
    std::string hostText(1000, 't');
    AllocationStatistics after = ReadMemoryStatistics(plugin);
    EXPECT_EQ(after.counters, before.counters);
    plugin.callbacks.unload(plugin.record.context);
}

TEST(PluginModule, MissingFileIsAOneLineError) {
    PluginModule module;
    EXPECT_FALSE(module.Open("no-such-directory/no-such-plugin"));
    EXPECT_EQ(module.Error(), "cannot load the plugin module no-such-directory/no-such-plugin");
}

}  // namespace
}  // namespace Norv::Testing
