#include "plugin/plugin_entry.h"

#include "diagnostics/log_manager.h"

#include <gtest/gtest.h>

#include <new>
#include <stdexcept>

namespace Norv {
namespace {

class FailingHandshakePlugin : public HostPlugin {
public:
    FailingHandshakePlugin() { throw std::runtime_error("handshake refused"); }
};

struct FailedLoadCase {
    const char* what;
    HostPluginFactory create;
    const char* report;
};

// A failed entry reports its exception through a log manager that nothing else
// holds; it must be gone again when the entry returns.
TEST(PluginEntry, FailedLoadLeavesNoLogManagerBehind) {
    const FailedLoadCase cases[] = {
        {"allocation fails", []() -> HostPlugin* { throw std::bad_alloc(); },
         "Exception in load_vek_norv_messaging_service: std::bad_alloc"},
        {"plugin constructor throws", []() -> HostPlugin* { return new FailingHandshakePlugin; },
         "Exception in load_vek_norv_messaging_service: handshake refused"},
    };
    for (const FailedLoadCase& c : cases) {
        // Drops a manager that an earlier test created without a reference.
        LogManager::Acquire();
        LogManager::Release();
        ASSERT_EQ(LogManager::Existing(), nullptr) << c.what;

        PluginLoadRecord record{};
        record.major = 18;
        record.patch = 4;
        testing::internal::CaptureStderr();
        EXPECT_EQ(LoadPlugin(&record, c.create, "vek-norv-messaging-service"), nullptr) << c.what;
        const std::string reported = testing::internal::GetCapturedStderr();
        EXPECT_NE(reported.find(c.report), std::string::npos) << c.what << ": " << reported;
        EXPECT_EQ(LogManager::Existing(), nullptr) << c.what;
        // The host's record is left as it was.
        EXPECT_EQ(record.major, 18u);
        EXPECT_EQ(record.patch, 4u);
        EXPECT_EQ(record.callbacks, nullptr);
    }
    // Neither a factory that gives nothing nor a missing record loads a plugin.
    PluginLoadRecord record{};
    record.major = 18;
    EXPECT_EQ(LoadPlugin(
                  &record, []() -> HostPlugin* { return nullptr; }, "vek-norv-messaging-service"),
              nullptr);
    EXPECT_EQ(record.callbacks, nullptr);
    EXPECT_EQ(LoadPlugin(
                  nullptr, []() -> HostPlugin* { return new HostPlugin; }, "vek-norv-messaging-service"),
              nullptr);
}

TEST(PluginEntry, LoadedPluginKeepsTheLogManagerUntilUnload) {
    LogManager::Acquire();
    LogManager::Release();
    PluginLoadRecord record{};
    record.major = 18;
    void* object = LoadPlugin(
        &record, []() -> HostPlugin* { return new HostPlugin; }, "vek-norv-messaging-service");
    ASSERT_NE(object, nullptr);
    EXPECT_NE(LogManager::Existing(), nullptr);
    record.callbacks->unload(record.context);
    EXPECT_EQ(LogManager::Existing(), nullptr);
}

}  // namespace
}  // namespace Norv
