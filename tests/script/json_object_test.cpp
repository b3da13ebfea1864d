// The document object's life: construction, Parse, ToJson, Clear, Clone, InitEngine, an engine
// that cannot be made, and the apartment balance of every object's life.
#include "script/json_object.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/com_apartment.h"

namespace korvane {
namespace {

// Every test must leave the thread's apartment count where it found it.
class JsonObjectTest : public ::testing::Test {
 protected:
  void SetUp() override { before_ = platform::ComInitCount(); }
  void TearDown() override { EXPECT_EQ(platform::ComInitCount(), before_); }
  int before_ = 0;
};

// A factory that remembers the last engine it made, so a test can look into the engine.
struct WatchingFactory {
  std::shared_ptr<platform::ScriptHost> last;
  platform::ScriptHostFactory Make() {
    return [this] {
      last = platform::ScriptHost::Create();
      return last;
    };
  }
};

TEST_F(JsonObjectTest, NewObjectHoldsAnEmptyObject) {
  JsonObject json;
  EXPECT_EQ(json.RootName(), "da");
  EXPECT_EQ(json.ToJson(), "{}");
  EXPECT_EQ(json.Count(), 0);
  EXPECT_EQ(json.TypeOf(), JsonObject::kTypeObject);
}

TEST_F(JsonObjectTest, ParseReplacesTheDocument) {
  struct Case {
    const char* json;
    bool parsed;
    const char* after;
  };
  const Case cases[] = {
      {R"({"a":1})", true, R"({"a":1})"},
      {R"( { "a" : [1, 2.5, "x", true, null] } )", true, R"({"a":[1,2.5,"x",true,null]})"},
      {"[1,2]", true, "[1,2]"},
      {R"("text")", true, R"("text")"},
      {"0", true, "0"},
      {"false", true, "false"},
      {"null", false, "null"},
      {"", false, "null"},
      {"{a:1}", false, "null"},
      {"{'a':1}", false, "null"},
      {"[1,]", false, "null"},
      {R"({"a":1} trailing)", false, "null"},
      {"undefined", false, "null"},
      {"new Object()", false, "null"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.json);
    JsonObject json;
    ASSERT_TRUE(json.Parse(R"({"before":1})"));
    EXPECT_EQ(json.Parse(c.json), c.parsed);
    EXPECT_EQ(json.ToJson(), c.after) << "nothing of the earlier document survives";
  }
}

TEST_F(JsonObjectTest, SuccessiveParsesKeepOnlyTheLastDocumentAndClearEmptiesIt) {
  JsonObject json;
  ASSERT_TRUE(json.Parse(R"({"progress":10,"old":true})"));
  ASSERT_TRUE(json.Parse(R"({"progress":100})"));
  EXPECT_EQ(json.ToJson(), R"({"progress":100})");
  EXPECT_FALSE(json.Exists("old"));
  json.Clear();
  EXPECT_EQ(json.ToJson(), "{}");
}

TEST_F(JsonObjectTest, ParseNeverRunsTheTextAsScript) {
  WatchingFactory factory;
  JsonObject json(factory.Make());
  const char* hostile[] = {
      "this.injected=1",
      "1;this.injected=1",
      "(function(){this.injected=1;return {}})()",
      "{\"a\":1}) ; this.injected=(1",
      "{\"a\":(this.injected=1)}",
  };
  for (const char* text : hostile) {
    SCOPED_TRACE(text);
    EXPECT_FALSE(json.Parse(text));
    EXPECT_EQ(json.ToJson(), "null");
    EXPECT_EQ(factory.last->EvalText("typeof injected"), "undefined");
  }
}

TEST_F(JsonObjectTest, TextsCrossInGbk) {
  JsonObject json;
  ASSERT_TRUE(json.Parse(R"({"name":"中文","escaped":"\u4e2d\u6587","emoji":"\ud83d\ude00"})"));
  EXPECT_EQ(json.GetText("name"), "中文");
  EXPECT_EQ(json.GetText("escaped"), "中文");
  EXPECT_EQ(json.GetText("emoji"), "?") << "a character GBK lacks";
  EXPECT_EQ(json.GetJson("name"), "\"中文\"");
  // Invalid GBK: each bad byte stands for U+FFFD, which reads back as '?'.
  ASSERT_TRUE(json.Parse("{\"bad\":\"a\x81\"}"));
  EXPECT_EQ(json.GetText("bad"), "a?");
  EXPECT_EQ(json.GetText("\x81"), "") << "a path in invalid GBK";
  EXPECT_EQ(json.Count("\xFF\xFF"), 0);
}

TEST_F(JsonObjectTest, CloneSharesTheDocumentAndOutlivesTheOriginal) {
  auto original = std::make_unique<JsonObject>();
  ASSERT_TRUE(original->Parse(R"({"a":1})"));
  auto clone = original->Clone();
  EXPECT_EQ(clone->RootName(), "da");
  EXPECT_EQ(platform::ComInitCount(), before_ + 2) << "each live object holds one";
  clone->SetNumber("b", 2);
  EXPECT_EQ(original->ToJson(), R"({"a":1,"b":2})");
  original->SetText("c", "x");
  EXPECT_EQ(clone->GetText("c"), "x");
  original.reset();
  EXPECT_EQ(clone->ToJson(), R"({"a":1,"b":2,"c":"x"})");
  auto second = clone->Clone();
  clone.reset();
  EXPECT_EQ(second->Count(), 3);
}

TEST_F(JsonObjectTest, InitEngineStartsAFreshEngineAndLeavesClonesOnTheOldOne) {
  JsonObject json;
  ASSERT_TRUE(json.Parse(R"({"a":1})"));
  auto clone = json.Clone();
  json.InitEngine();
  json.InitEngine();
  EXPECT_EQ(platform::ComInitCount(), before_ + 2) << "re-initialising holds no extra count";
  EXPECT_EQ(json.ToJson(), "{}");
  EXPECT_EQ(json.Count(), 0) << "the start-up script ran in the new engine";
  EXPECT_EQ(clone->ToJson(), R"({"a":1})");
}

TEST_F(JsonObjectTest, InitEngineKeepsTheOldEngineWhenNoNewOneCanBeMade) {
  bool canMake = true;
  JsonObject json([&]() -> std::shared_ptr<platform::ScriptHost> {
    return canMake ? platform::ScriptHost::Create() : nullptr;
  });
  ASSERT_TRUE(json.Parse(R"({"a":1})"));
  canMake = false;
  json.InitEngine();
  EXPECT_EQ(json.ToJson(), "{}") << "the old engine is reset";
  EXPECT_TRUE(json.Parse(R"([1])"));
}

TEST_F(JsonObjectTest, WithoutAnEngineEveryOperationGivesItsEmptyResult) {
  JsonObject json([] { return std::shared_ptr<platform::ScriptHost>(); });
  EXPECT_EQ(platform::ComInitCount(), before_ + 1);
  EXPECT_FALSE(json.Parse(R"({"a":1})"));
  EXPECT_EQ(json.ToJson(), "");
  json.Clear();
  json.SetText("a", "x");
  json.SetText("a", "{}", true);
  json.SetRaw("a", "1");
  json.SetNumber("a", 1);
  json.DeleteMember("a");
  json.Push("x");
  json.Push("1", "", true);
  json.SetElement(0, "x");
  json.RemoveElement(0);
  json.ResetRoot(JsonObject::kResetArray);
  json.SetRoot("x");
  EXPECT_EQ(json.GetNumber("a"), 0);
  EXPECT_EQ(json.GetJson("a"), "");
  EXPECT_EQ(json.GetText("a"), "");
  EXPECT_EQ(json.GetText("a", true), "");
  EXPECT_EQ(json.Count(), 0);
  EXPECT_EQ(json.GetElement(0), "");
  EXPECT_FALSE(json.Exists("a"));
  std::vector<std::string> names{"stale"};
  json.Keys(names);
  EXPECT_TRUE(names.empty());
  EXPECT_EQ(json.TypeOf(), JsonObject::kTypeOther);
  auto copy = json.GetObject("a");
  EXPECT_EQ(copy->ToJson(), "");
  auto clone = json.Clone();
  EXPECT_EQ(clone->ToJson(), "");
}

TEST_F(JsonObjectTest, EveryObjectsLifeLeavesTheApartmentBalanced) {
  {
    JsonObject json;
    ASSERT_TRUE(json.Parse(R"({"data":{"x":1}})"));
    auto part = json.GetObject("data");
    auto missing = json.GetObject("nothing");
    auto clone = part->Clone();
    auto cloneOfClone = clone->Clone();
    clone->InitEngine();
    EXPECT_EQ(platform::ComInitCount(), before_ + 5);
  }
  EXPECT_EQ(platform::ComInitCount(), before_);
}

TEST_F(JsonObjectTest, DeeplyNestedInputFailsCleanly) {
  JsonObject json;
  const std::string deepArray = std::string(100000, '[') + std::string(100000, ']');
  EXPECT_FALSE(json.Parse(deepArray));
  EXPECT_EQ(json.ToJson(), "null");
  std::string deepObject;
  for (int i = 0; i < 100000; ++i)
    deepObject += R"({"a":)";
  deepObject += "1" + std::string(100000, '}');
  EXPECT_FALSE(json.Parse(deepObject));
  json.SetRaw("x", deepArray);
  json.SetText("x", deepArray, true);
  json.Push(deepArray, "", true);
  EXPECT_EQ(json.ToJson(), "null") << "nothing was set";

  // A deep document built inside the engine: writing it out fails, the rest still works.
  json.Clear();
  json.SetRaw("deep", "(function(){var a=[];for(var i=0;i<100000;i++){a=[a]}return a})()");
  EXPECT_EQ(json.ToJson(), "");
  EXPECT_EQ(json.GetText("deep"), "");
  EXPECT_EQ(json.Count("deep"), 1);
  EXPECT_EQ(json.GetObject("deep")->ToJson(), "null");
}

TEST_F(JsonObjectTest, LargeDocumentParsesAndReads) {
  // About 20 MB: 5,000 icons of 4 KB markup each.
  const std::string markup(4000, 'M');
  std::string text = R"({"data":{"icons":[)";
  for (int i = 0; i < 5000; ++i) {
    if (i)
      text += ',';
    text += R"({"id":)" + std::to_string(i) + R"(,"show_svg":"<svg>)" + markup + R"(</svg>"})";
  }
  text += "]}}";
  ASSERT_GT(text.size(), 20000000u);
  JsonObject json;
  ASSERT_TRUE(json.Parse(text));
  EXPECT_EQ(json.Count("data.icons"), 5000);
  EXPECT_EQ(json.GetText("data.icons[4999].show_svg"), "<svg>" + markup + "</svg>");
  EXPECT_EQ(json.GetNumber("data.icons[4999].id"), 4999);
  EXPECT_EQ(json.GetText("data.icons[5000].show_svg"), "");
}

TEST_F(JsonObjectTest, ALargeTextParsedWithAStopTokenReadsTheSameAndAStopEndsIt) {
  std::string json = "{\"data\":{\"icons\":[";
  for (int i = 0; i < 20000; ++i)
    json += std::string(i ? "," : "") + "{\"show_svg\":\"<svg>中" + std::to_string(i) + "</svg>\"}";
  json += "]}}";
  JsonObject byView, byValue;
  EXPECT_TRUE(byView.Parse(json));
  std::string copy = json;
  EXPECT_TRUE(byValue.Parse(std::move(copy), {}));
  EXPECT_EQ(byValue.Count("data.icons"), 20000);
  EXPECT_EQ(byValue.ToJson(), byView.ToJson());

  std::stop_source stopped;
  stopped.request_stop();
  copy = json;
  EXPECT_FALSE(byValue.Parse(std::move(copy), stopped.get_token()));
  EXPECT_EQ(byValue.ToJson(), "null");  // the document is not half-made
}

}  // namespace
}  // namespace korvane
