#include "messaging/messaging_service_plugin.h"

#include "plugin/plugin_entry.h"
#include "tests/support/fake_host.h"

#include <gtest/gtest.h>

namespace Norv {
namespace {

TEST(MessagingServicePlugin, ModuleEntryCreatesTheBackendPluginAndInitialises) {
    PluginLoadRecord record{};
    record.major = 18;
    void* object = LoadPlugin(&record, &CreateModulePlugin, kModulePluginShortName);
    ASSERT_NE(dynamic_cast<MessagingServicePlugin*>(static_cast<HostPlugin*>(object)), nullptr);
    EXPECT_STREQ(record.shortName, "vek-norv-messaging-service");
    EXPECT_EQ(static_cast<HostPlugin*>(object)->Names().fullName, "hxp-be-vek-norv-messaging-service");
    Testing::FakeHost host;
    EXPECT_TRUE(record.callbacks->init(record.context, host.Interface()));
    record.callbacks->unload(record.context);
}

}  // namespace
}  // namespace Norv
