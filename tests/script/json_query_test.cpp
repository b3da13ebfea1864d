// Reading a document by member paths: counts, texts, JSON texts, numbers, elements, existence,
// member names, type codes and copies.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/com_apartment.h"
#include "script/json_object.h"

namespace korvane {
namespace {

constexpr const char* kCollection =
    R"({"data":{"icons":[{"id":1,"show_svg":"<svg a=\"1\">\n</svg>"},)"
    R"({"id":2,"show_svg":"two"},{"id":3,"show_svg":"three"}]}})";

class JsonQueryTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(json_.Parse(kCollection)); }
  void TearDown() override { EXPECT_EQ(platform::ComInitCount(), before_ + 1); }
  // Taken before the fixture's own object is made.
  int before_ = platform::ComInitCount();
  JsonObject json_;
};

TEST_F(JsonQueryTest, CountsMembersAndElements) {
  EXPECT_EQ(json_.Count("data.icons"), 3);
  EXPECT_EQ(json_.Count("data"), 1);
  EXPECT_EQ(json_.Count(), 1);
  EXPECT_EQ(json_.Count("data.icons[0]"), 2);
  EXPECT_EQ(json_.Count("data.missing"), -2) << "a missing last member is undefined";
  EXPECT_EQ(json_.Count("missing.icons"), 0) << "a missing parent fails";
  EXPECT_EQ(json_.Count("data.icons["), 0) << "not valid script";
  EXPECT_EQ(json_.Count("data.icons[0].id"), 0) << "a number has no members";
  ASSERT_TRUE(json_.Parse("{}"));
  EXPECT_EQ(json_.Count(), 0);
  ASSERT_TRUE(json_.Parse("[]"));
  EXPECT_EQ(json_.Count(), 0);
  ASSERT_TRUE(json_.Parse("[[1,2,3,4]]"));
  EXPECT_EQ(json_.Count(), 1);
}

TEST_F(JsonQueryTest, GetTextReadsValuesAsTextOrJson) {
  struct Case {
    const char* path;
    const char* text;
    const char* json;
  };
  const Case cases[] = {
      {"data.icons[0].show_svg", "<svg a=\"1\">\n</svg>", R"("<svg a=\"1\">\n</svg>")"},
      {"data.icons[1].show_svg", "two", R"("two")"},
      {"data.icons[2].id", "3", "3"},
      {"data.icons[1]", "[object Object]", R"({"id":2,"show_svg":"two"})"},
      {"data.icons.length", "3", "3"},
      {"data.missing", "", ""},
      {"missing.deeper", "", ""},
      {"data.icons[", "", ""},
      {"", "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(json_.GetText(c.path), c.text);
    EXPECT_EQ(json_.GetText(c.path, true), c.json);
  }
  EXPECT_EQ(json_.GetJson("data.icons[2]"), R"({"id":3,"show_svg":"three"})");
  EXPECT_EQ(json_.GetJson("[0]"), "") << "always joined with a dot";

  ASSERT_TRUE(json_.Parse(R"({"n":0.1,"big":1e21,"neg":-2.5,"t":true,"f":false,"z":null})"));
  EXPECT_EQ(json_.GetText("n"), "0.1");
  EXPECT_EQ(json_.GetText("big"), "1e+21");
  EXPECT_EQ(json_.GetText("neg", true), "-2.5");
  EXPECT_EQ(json_.GetText("t"), "-1");
  EXPECT_EQ(json_.GetText("f"), "0");
  EXPECT_EQ(json_.GetText("t", true), "true");
  EXPECT_EQ(json_.GetText("z"), "");
  EXPECT_EQ(json_.GetText("z", true), "null");
}

TEST_F(JsonQueryTest, PathsStartingWithABracketReachArrayDocuments) {
  ASSERT_TRUE(json_.Parse(R"(["first","second",{"k":"v"}])"));
  EXPECT_EQ(json_.GetText("[1]"), "second");
  EXPECT_EQ(json_.GetText("[2].k"), "v");
  EXPECT_EQ(json_.GetText("[1]", true), R"("second")");
  EXPECT_EQ(json_.GetObject("[2]")->ToJson(), R"({"k":"v"})");
  EXPECT_EQ(json_.GetNumber("[1]"), 0);
  EXPECT_EQ(json_.Count("[1]"), 0);
  EXPECT_FALSE(json_.Exists("[1]"));
}

TEST_F(JsonQueryTest, GetNumberConverts) {
  ASSERT_TRUE(json_.Parse(
      R"({"progress":100,"half":2.5,"s":"12.5","word":"abc","t":true,"f":false,"o":{}})"));
  struct Case {
    const char* path;
    double value;
  };
  const Case cases[] = {{"progress", 100}, {"half", 2.5}, {"s", 12.5}, {"word", 0},
                        {"t", -1},         {"f", 0},      {"o", 0},    {"missing", 0},
                        {"missing.x", 0},  {")(", 0}};
  for (const Case& c : cases)
    EXPECT_EQ(json_.GetNumber(c.path), c.value) << c.path;
  EXPECT_EQ(json_.GetText("progress", true), "100");
}

TEST_F(JsonQueryTest, GetElementReadsArrayElements) {
  EXPECT_EQ(json_.GetElement(0, "data.icons", true),
            R"({"id":1,"show_svg":"<svg a=\"1\">\n</svg>"})");
  EXPECT_EQ(json_.GetElement(2, "data.icons"), "[object Object]");
  EXPECT_EQ(json_.GetElement(3, "data.icons"), "");
  EXPECT_EQ(json_.GetElement(-1, "data.icons", true), "");
  EXPECT_EQ(json_.GetElement(0, "missing.icons"), "");
  ASSERT_TRUE(json_.Parse(R"(["a",2,[3]])"));
  EXPECT_EQ(json_.GetElement(0), "a");
  EXPECT_EQ(json_.GetElement(0, "", true), R"("a")");
  EXPECT_EQ(json_.GetElement(1), "2");
  EXPECT_EQ(json_.GetElement(2), "3");
  EXPECT_EQ(json_.GetElement(2, "", true), "[3]");
}

TEST_F(JsonQueryTest, ExistsMeansPresentAndNotNull) {
  ASSERT_TRUE(json_.Parse(R"({"zero":0,"empty":"","nil":null,"f":false,"o":{"x":1}})"));
  EXPECT_TRUE(json_.Exists("zero"));
  EXPECT_TRUE(json_.Exists("empty"));
  EXPECT_TRUE(json_.Exists("f"));
  EXPECT_TRUE(json_.Exists("o.x"));
  EXPECT_FALSE(json_.Exists("nil"));
  EXPECT_FALSE(json_.Exists("missing"));
  EXPECT_FALSE(json_.Exists("missing.x"));
  EXPECT_FALSE(json_.Exists("o.("));
}

TEST_F(JsonQueryTest, KeysListOwnNamesThenTheStartUpMembers) {
  using Names = std::vector<std::string>;
  Names names{"stale"};
  ASSERT_TRUE(json_.Parse(R"({"a":1,"b":{"x,y":1,"中文":2},"c":[5,6]})"));
  json_.Keys(names);
  EXPECT_EQ(names, (Names{"a", "b", "c", "toJSONString", "parseJSON"}));
  json_.Keys(names, "b");
  EXPECT_EQ(names, (Names{"x,y", "中文", "toJSONString", "parseJSON"}))
      << "a name with a comma stays one name";
  json_.Keys(names, "c");
  EXPECT_EQ(names, (Names{"0", "1", "toJSONString", "parseJSON"}));
  json_.Keys(names, "missing");
  EXPECT_TRUE(names.empty());
  names = {"stale"};
  json_.Keys(names, "missing.x");
  EXPECT_TRUE(names.empty());
}

TEST_F(JsonQueryTest, TypeOfGivesTypeCodes) {
  ASSERT_TRUE(json_.Parse(R"({"s":"x","n":1,"z":null,"b":true,"o":{},"a":[],"m":{"map":1}})"));
  struct Case {
    const char* path;
    int code;
  };
  const Case cases[] = {
      {"s", JsonObject::kTypeString}, {"n", JsonObject::kTypeNumber},
      {"z", JsonObject::kTypeNull},   {"missing", JsonObject::kTypeNull},
      {"b", JsonObject::kTypeOther},  {"o", JsonObject::kTypeObject},
      {"a", JsonObject::kTypeArray},  {"m", JsonObject::kTypeArray},
      {"", JsonObject::kTypeObject},  {"missing.x", JsonObject::kTypeOther},
      {"a(", JsonObject::kTypeOther}, {"s.length", JsonObject::kTypeNumber},
  };
  for (const Case& c : cases)
    EXPECT_EQ(json_.TypeOf(c.path), c.code) << c.path;
}

TEST_F(JsonQueryTest, GetObjectReturnsAnIndependentCopy) {
  auto data = json_.GetObject("data");
  EXPECT_EQ(data->ToJson(), json_.GetJson("data"));
  EXPECT_EQ(data->Count("icons"), 3);
  data->Clear();
  EXPECT_EQ(data->ToJson(), "{}");
  EXPECT_EQ(json_.Count("data.icons"), 3) << "this document is unchanged";
  json_.SetText("data.extra", "x");
  EXPECT_EQ(data->ToJson(), "{}");
  auto missing = json_.GetObject("missing");
  EXPECT_EQ(missing->ToJson(), "null");
  auto invalid = json_.GetObject("((");
  EXPECT_EQ(invalid->ToJson(), "null");
}

}  // namespace
}  // namespace korvane
