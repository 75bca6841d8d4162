#include "plugin/resource_path.h"

#include <gtest/gtest.h>

namespace Norv {
namespace {

TEST(ResourcePath, EventNameKeepsThreeSegmentsOrFiveUnderPlatformConfig) {
    const struct {
        const char* path;
        const char* name;
    } cases[] = {
        {"/vek-login/v1/session/extra", "OnJsonApiEvent_vek-login_v1_session"},
        {"vek-login//v1///session/", "OnJsonApiEvent_vek-login_v1_session"},
        {"/x", "OnJsonApiEvent_x"},
        {"", "OnJsonApiEvent"},
        {"/vek-platform-config/v1/namespaces/a/b/c", "OnJsonApiEvent_vek-platform-config_v1_namespaces_a_b"},
        {"/vek-platform-config/v1", "OnJsonApiEvent_vek-platform-config_v1"},
        // Only the first segment opens the longer form.
        {"/a/vek-platform-config/b/c/d", "OnJsonApiEvent_a_vek-platform-config_b"},
        {"/vek-platform-config-x/1/2/3/4", "OnJsonApiEvent_vek-platform-config-x_1_2"},
        {"/a/*/c/d", "OnJsonApiEvent_a_*_c"},
    };
    for (const auto& c : cases) EXPECT_EQ(ResourceEventName(c.path), c.name) << c.path;
}

TEST(ResourcePath, StarTakesOneSegmentGreedilyWithoutGivingBack) {
    const struct {
        const char* pattern;
        const char* path;
        bool matches;
    } cases[] = {
        {"/a/*/c", "/a/b/c", true},
        {"/a/*/c", "/a//c", true},
        {"/a/*/c", "/a/b/d/c", false},
        {"/a/*", "/a/b", true},
        {"/a/*", "/a/", false},
        {"/a/*x", "/a/yx", false},
        {"/a/**", "/a/b", false},
        {"*", "/", false},
        {"*/", "/", true},
        {"", "", true},
        {"/a/b", "/a/b", true},
        {"/a/b", "/a/bc", false},
        {"/a/bc", "/a/b", false},
        {"/a/*/c", "/a/b/c/", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(MatchesResourcePattern(c.pattern, c.path), c.matches) << c.pattern << " ~ " << c.path;
    }
}

}  // namespace
}  // namespace Norv
