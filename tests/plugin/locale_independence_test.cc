// The host sets the process locale, not the plugin: under a locale whose
// decimal separator is a comma, numbers must still be read and written with a
// point, in every layer that reads or writes them.
#include "binding/assign_value.h"
#include "binding/number_parse.h"
#include "formats/json_reader.h"
#include "formats/yaml_reader.h"
#include "tests/support/comma_decimal_locale.h"
#include "tests/support/fake_host.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace Norv {
namespace {

class LocaleIndependenceTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(locale.Active()) << "no comma-decimal locale; scripts/setup.sh generates one"; }
    Testing::CommaDecimalLocale locale;
};

TEST_F(LocaleIndependenceTest, NumbersAreReadAndConvertedWithAPoint) {
    double value = 0;
    EXPECT_EQ(ParseDouble("1.5", value), NumberParseStatus::Ok);
    EXPECT_EQ(value, 1.5);
    EXPECT_NE(ParseDouble("1,5", value), NumberParseStatus::Ok);
    value = 1;
    EXPECT_EQ(ParseDouble(std::string_view(), value), NumberParseStatus::Ok) << "empty, and nothing past it is read";
    EXPECT_EQ(value, 0.0);
    std::int64_t integer = 1;
    EXPECT_EQ(ParseSigned(std::string_view(), integer), NumberParseStatus::Ok) << "nor for an integer";

    BindingResult json = ParseJson("[2.5, -1.25e2]");
    ASSERT_TRUE(json.ok()) << json.error();
    EXPECT_EQ(Testing::JsonText(json.value), "[2.5,-125]");

    BindingResult yaml = ParseYaml("point: 0.75\ncomma: 0,75\n");
    ASSERT_TRUE(yaml.ok()) << yaml.error();
    EXPECT_EQ(Testing::JsonText(yaml.value), R"({"comma":"0,75","point":0.75})");

    BindingProperty text;
    text = std::string("3.25");
    BindingResult result;
    double target = 0;
    assignValue(result, target, text, "<value>");
    EXPECT_TRUE(result.ok()) << result.error();
    EXPECT_EQ(target, 3.25);

    BindingProperty number;
    number = 0.5;
    EXPECT_EQ(number.toString(), "0.500000");
}

}  // namespace
}  // namespace Norv
