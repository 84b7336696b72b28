#include <gtest/gtest.h>

#include "service/json_reader.h"

namespace {

struct FieldCase {
    std::string json;
    std::string name;
    std::string expected;
};

TEST(JsonStringField, FindsAndUnescapesTheFirstQuotedName) {
    const std::vector<FieldCase> cases = {
        {R"({"name":"Ann"})", "name", "Ann"},
        {"{\"name\" \n:\t \"Ann\"}", "name", "Ann"},
        {R"({"other":"x"})", "name", ""},
        {"", "name", ""},
        {R"({"name":""})", "name", ""},
        {R"({"name":"A\"B"})", "name", "A\"B"},
        {R"({"name":"A\\B"})", "name", "A\\B"},
        {R"({"name":"A\/B"})", "name", "A/B"},
        {R"({"name":"Line\nTwo"})", "name", "Line\nTwo"},
        {R"({"name":"\t\r\b\f\q"})", "name", "\t\r\b\fq"},
        {R"({"name":"\u00e9"})", "name", "\xC3\xA9"},
        {R"({"name":"\u0041"})", "name", "A"},
        {R"({"name":"\u20ac"})", "name", "\xE2\x82\xAC"},
        // The last code point of each length, and the first of the next.
        {R"({"name":"\u007f\u0080"})", "name", "\x7F\xC2\x80"},
        {R"({"name":"\u07ff\u0800"})", "name", "\xDF\xBF\xE0\xA0\x80"},
        {R"({"name":"\uD83C\uDFB5"})", "name", "\xF0\x9F\x8E\xB5"},
        {R"({"name":"\uD83C!"})", "name", "\xEF\xBF\xBD!"},
        {R"({"name":"\u12)", "name", "u12"},
        {R"({"name":"\u12"})", "name", "\x12"},
        {R"({"name":"\uzz41x"})", "name", std::string("\0x", 2)},
        {R"({"name":"Ann)", "name", "Ann"},
        {R"({"name":"Ann\)", "name", "Ann\\"},
        {R"({"count":5,"name":"Ann"})", "count", "name"},
        {R"({"username":"u","name":"Ann"})", "name", "Ann"},
        {R"({"a":"name","b":"Bob","name":"Ann"})", "name", "Bob"},
        {R"({"name")", "name", ""},
        {R"({"name":)", "name", ""},
        {R"({"name":")", "name", ""},
        {"{\"key\":\"zvknp_abc\"}", "key", "zvknp_abc"},
    };
    for (const FieldCase& c : cases) {
        EXPECT_EQ(jsonStringField(c.json, c.name), c.expected) << c.json;
    }
}

}  // namespace
