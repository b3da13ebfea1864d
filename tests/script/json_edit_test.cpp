// Changing a document: members from texts, JSON texts, script expressions and numbers,
// deletion, arrays, and replacing the whole document.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "platform/com_apartment.h"
#include "script/json_object.h"

namespace korvane {
namespace {

class JsonEditTest : public ::testing::Test {
 protected:
  void TearDown() override { EXPECT_EQ(platform::ComInitCount(), before_ + 1); }
  // Taken before the fixture's own object is made.
  int before_ = platform::ComInitCount();
  JsonObject json_;
};

TEST_F(JsonEditTest, SetTextStoresTheTextAsItIs) {
  json_.SetText("name", "abc");
  EXPECT_EQ(json_.GetText("name"), "abc");
  EXPECT_EQ(json_.ToJson(), R"({"name":"abc"})");
  const char* values[] = {"it's",        "a\\b", "line\r\nbreak\n", "\"quoted\"", "'); x=('",
                          "中文\\u0041", ""};
  for (const char* value : values) {
    SCOPED_TRACE(value);
    json_.SetText("v", value);
    EXPECT_EQ(json_.GetText("v"), value);
    EXPECT_EQ(json_.TypeOf("v"), JsonObject::kTypeString);
  }
  json_.SetText("v", "a\"b\\c\n");
  EXPECT_EQ(json_.GetJson("v"), R"("a\"b\\c\n")");
  json_.SetText("missing.child", "x");
  EXPECT_FALSE(json_.Exists("missing")) << "a member of a missing member is not created";
  json_.SetText("bad(", "x");
  EXPECT_EQ(json_.Count(), 2) << "name and v";
}

TEST_F(JsonEditTest, SetTextAsObjectReadsJson) {
  json_.SetText("obj", "", true);
  EXPECT_EQ(json_.GetJson("obj"), "{}");
  json_.SetText("arr", "[1,\"x\"]", true);
  EXPECT_EQ(json_.TypeOf("arr"), JsonObject::kTypeArray);
  EXPECT_EQ(json_.GetJson("arr"), R"([1,"x"])");
  json_.SetText("num", " 7 ", true);
  EXPECT_EQ(json_.GetNumber("num"), 7);
  const std::string before = json_.ToJson();
  const char* notJson[] = {"{a:1}", "[1,]", "(function(){return 1})()", "this", "'x'"};
  for (const char* value : notJson) {
    SCOPED_TRACE(value);
    json_.SetText("obj", value, true);
    EXPECT_EQ(json_.ToJson(), before);
  }
}

TEST_F(JsonEditTest, SetRawTakesScriptExpressions) {
  json_.SetRaw("flag", "true");
  EXPECT_EQ(json_.TypeOf("flag"), JsonObject::kTypeOther);
  EXPECT_EQ(json_.GetText("flag"), "-1");
  json_.SetRaw("list", "[1,2].concat([3])");
  EXPECT_EQ(json_.GetJson("list"), "[1,2,3]");
  json_.SetRaw("obj", "{\"k\":null}");
  EXPECT_EQ(json_.GetJson("obj"), R"({"k":null})");
  const std::string before = json_.ToJson();
  json_.SetRaw("x", "1 +");
  json_.SetRaw("x", "");
  json_.SetRaw("missing.x", "1");
  json_.SetRaw("x", "undefinedName");
  EXPECT_EQ(json_.ToJson(), before);
}

TEST_F(JsonEditTest, SetNumberWritesThirteenSignificantDigits) {
  json_.SetNumber("n", 2.5);
  EXPECT_EQ(json_.GetNumber("n"), 2.5);
  EXPECT_EQ(json_.ToJson(), R"({"n":2.5})");
  struct Case {
    double value;
    const char* text;
  };
  const Case cases[] = {{1.0 / 3, "0.3333333333333"},           {-7, "-7"},
                        {1e20, "100000000000000000000"},        {1e25, "1e+25"},
                        {123456789012345.0, "123456789012300"}, {0.000001, "0.000001"}};
  for (const Case& c : cases) {
    json_.SetNumber("n", c.value);
    EXPECT_EQ(json_.GetText("n"), c.text) << c.value;
  }
  json_.SetNumber("n", 5);
  json_.SetNumber("n", std::numeric_limits<double>::infinity());
  json_.SetNumber("n", -std::numeric_limits<double>::infinity());
  json_.SetNumber("n", std::nan(""));
  EXPECT_EQ(json_.GetNumber("n"), 5) << "a number that is not finite changes nothing";
}

TEST_F(JsonEditTest, DeleteMemberRemovesIt) {
  ASSERT_TRUE(json_.Parse(R"({"a":1,"b":{"c":2,"d":3}})"));
  json_.DeleteMember("b.c");
  EXPECT_FALSE(json_.Exists("b.c"));
  EXPECT_EQ(json_.Count("b"), 1);
  json_.DeleteMember("a");
  EXPECT_EQ(json_.ToJson(), R"({"b":{"d":3}})");
  json_.DeleteMember("missing.x");
  json_.DeleteMember("(");
  EXPECT_EQ(json_.ToJson(), R"({"b":{"d":3}})");
}

TEST_F(JsonEditTest, PushAppendsMakingAnArrayWhereNeeded) {
  json_.Push("x");
  EXPECT_EQ(json_.ToJson(), R"(["x"])");
  json_.Push("it's \"y\"\n");
  EXPECT_EQ(json_.GetElement(1), "it's \"y\"\n");
  json_.Push("5", "", true);
  json_.Push("{\"k\":1}", "", true);
  EXPECT_EQ(json_.ToJson(), R"(["x","it's \"y\"\n",5,{"k":1}])");

  ASSERT_TRUE(json_.Parse(R"({"list":[1],"word":"abc","o":{},"nil":null})"));
  json_.Push("2", "list", true);
  json_.Push("w", "word");
  json_.Push("n", "new");
  json_.Push("z", "nil");
  json_.Push("o", "o");
  EXPECT_EQ(json_.ToJson(), R"({"list":[1,2],"word":["w"],"o":["o"],"nil":["z"],"new":["n"]})");
  const std::string before = json_.ToJson();
  json_.Push("1", "missing.x");
  json_.Push("1 +", "list", true);
  EXPECT_EQ(json_.ToJson(), before);
}

TEST_F(JsonEditTest, SetAndRemoveElementsOfTheDocument) {
  ASSERT_TRUE(json_.Parse(R"(["a","b"])"));
  json_.SetElement(0, "A'\\");
  json_.SetElement(3, "true", true);
  EXPECT_EQ(json_.ToJson(), R"(["A'\\","b",null,true])");
  json_.RemoveElement(0);
  EXPECT_EQ(json_.ToJson(), R"(["b",null,true])");
  json_.RemoveElement(5);
  EXPECT_EQ(json_.ToJson(), R"(["b",null,true])");
  EXPECT_EQ(json_.Count(), 2) << "the element never set is a hole, which has no name";
  json_.SetElement(1, "1 +", true);
  EXPECT_EQ(json_.ToJson(), R"(["b",null,true])");

  ASSERT_TRUE(json_.Parse(R"({"k":1})"));
  json_.SetElement(2, "x");
  EXPECT_EQ(json_.ToJson(), R"({"2":"x","k":1})");
  json_.RemoveElement(0);
  EXPECT_EQ(json_.ToJson(), R"({"2":"x","k":1})") << "an object has no splice";
}

TEST_F(JsonEditTest, ResetAndSetTheRoot) {
  struct Case {
    int kind;
    const char* after;
  };
  const Case cases[] = {{JsonObject::kResetArray, "[]"},
                        {JsonObject::kResetObject, "{}"},
                        {JsonObject::kResetNull, "null"},
                        {3, R"({"keep":1})"},
                        {-1, R"({"keep":1})"}};
  for (const Case& c : cases) {
    ASSERT_TRUE(json_.Parse(R"({"keep":1})"));
    json_.ResetRoot(c.kind);
    EXPECT_EQ(json_.ToJson(), c.after) << c.kind;
  }
  json_.SetRoot("5", true);
  EXPECT_EQ(json_.ToJson(), "5");
  json_.SetRoot("abc");
  EXPECT_EQ(json_.ToJson(), R"("abc")");
  json_.SetRoot("a'b\"c");
  EXPECT_EQ(json_.ToJson(), R"("a'b\"c")");
  json_.SetRoot("{\"a\":[1]}", true);
  EXPECT_EQ(json_.Count("a"), 1);
  json_.SetRoot("1 +", true);
  EXPECT_EQ(json_.ToJson(), R"({"a":[1]})");
}

}  // namespace
}  // namespace korvane
