// The start-up: the member counter, the probe that decides whether the JSON fallback runs, and
// the fallback proved on an engine whose own JSON support was removed before the start-up ran.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/com_apartment.h"
#include "platform/script_host.h"
#include "script/json_object.h"
#include "script/json_startup_script.h"

namespace korvane {
namespace {

using platform::ScriptHost;
using platform::ValueForm;

// Takes away what the fallback supplies, so the start-up script has to add all of it.
constexpr const char* kRemoveJson =
    "delete JSON; delete Date.prototype.toJSON; delete String.prototype.toJSON;"
    "delete Number.prototype.toJSON; delete Boolean.prototype.toJSON;";

std::shared_ptr<ScriptHost> EngineWithoutJson() {
  auto host = ScriptHost::Create();
  if (host && !host->AddCode(kRemoveJson))
    return nullptr;
  return host;
}

std::shared_ptr<ScriptHost> StartedEngine(bool withoutJson) {
  auto host = withoutJson ? EngineWithoutJson() : ScriptHost::Create();
  EXPECT_NE(host, nullptr);
  EXPECT_TRUE(RunJsonStartup(*host));
  return host;
}

TEST(JsonStartupScript, TextsHaveCrLfLineEnds) {
  for (const std::string_view script : {JsonStartupCore(), JsonStartupFallback()}) {
    EXPECT_NE(script.find("\r\n"), std::string_view::npos);
    for (size_t i = 0; i < script.size(); ++i) {
      if (script[i] == '\n') {
        ASSERT_TRUE(i > 0 && script[i - 1] == '\r') << "bare LF at " << i;
      }
    }
  }
}

// The fallback is compiled only for an engine that lacks one of the pieces it supplies.
TEST(JsonStartupScript, ProbeAsksForTheFallbackOnlyWhenAPieceIsMissing) {
  struct Case {
    const char* removal;
    bool needed;
  };
  const Case cases[] = {
      {"", false},
      {kRemoveJson, true},
      {"JSON = 5;", true},
      {"delete JSON.stringify;", true},
      {"delete JSON.parse;", true},
      {"delete Date.prototype.toJSON;", true},
      {"delete String.prototype.toJSON;", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.removal);
    auto host = ScriptHost::Create();
    ASSERT_NE(host, nullptr);
    ASSERT_TRUE(host->AddCode(c.removal));
    ASSERT_TRUE(host->AddCode(JsonStartupCore()));
    EXPECT_EQ(NeedsJsonFallback(*host), c.needed);
    ASSERT_TRUE(RunJsonStartup(*host));
    EXPECT_FALSE(NeedsJsonFallback(*host)) << "the fallback filled every gap";
  }

  // Only the missing piece is added: the engine's own parser stays.
  auto host = ScriptHost::Create();
  ASSERT_TRUE(host->AddCode("delete Date.prototype.toJSON;"));
  ASSERT_TRUE(RunJsonStartup(*host));
  EXPECT_EQ(host->EvalText("new Date(Date.UTC(2020, 0, 2, 3, 4, 5)).toJSON()"),
            "2020-01-02T03:04:05Z");
  EXPECT_EQ(host->EvalText("String(JSON.parse).indexOf('[native code]') >= 0"), "-1");
}

TEST(JsonStartupScript, AddsOnlyWhatIsMissing) {
  auto native = StartedEngine(false);
  EXPECT_EQ(native->EvalText("String(JSON.parse).indexOf('[native code]') >= 0"), "-1");
  EXPECT_EQ(native->EvalText("String(JSON.stringify).indexOf('[native code]') >= 0"), "-1");
  EXPECT_EQ(native->EvalText("new Date(0).toJSON()"), "1970-01-01T00:00:00.000Z");
  EXPECT_EQ(native->EvalText("typeof Object.prototype.toJSONString"), "function");
  EXPECT_EQ(native->EvalNumber("get__count({a:1,b:2,c:3})"), 3);
  EXPECT_EQ(native->EvalNumber("get__count(undefined)"), -2);

  auto fallback = StartedEngine(true);
  EXPECT_EQ(fallback->EvalText("typeof JSON"), "object");
  EXPECT_EQ(fallback->EvalText("String(JSON.parse).indexOf('[native code]') >= 0"), "0");
  // Running the start-up twice adds nothing twice: the members stay where the first run put them.
  ASSERT_TRUE(RunJsonStartup(*fallback));
  EXPECT_EQ(fallback->EvalNumber("get__count([1,2])"), 2);
}

// The same expressions evaluated on the engine's own JSON and on the fallback give the same text.
TEST(JsonStartupScript, FallbackAgreesWithTheEnginesOwnJson) {
  auto native = StartedEngine(false);
  auto fallback = StartedEngine(true);
  const char* expressions[] = {
      "JSON.stringify({a:1,b:[true,false,null],c:'x',d:{}})",
      "JSON.stringify([1.5,-0,1e21,NaN,Infinity,'q\"\\\\\\n\\r\\t\\b\\f'])",
      "JSON.stringify({u:undefined,f:function(){},n:null,a:[undefined,function(){}]})",
      "JSON.stringify('\\u0001\\u001f')",
      "JSON.stringify('中文')",
      "JSON.stringify({a:[1,{b:2}],c:'d'}, null, 2)",
      "JSON.stringify({a:[1,{b:2}],e:[]}, null, '--')",
      "JSON.stringify({a:1,b:2,c:{a:3,z:4}}, ['a','c'])",
      "JSON.stringify({a:1,b:'x'}, function (k, v) { return typeof v === 'number' ? v * 2 : v; })",
      "JSON.stringify(new String('s'))",
      "JSON.stringify(new Number(3))",
      "JSON.stringify(new Boolean(false))",
      "JSON.stringify(Object.create({inherited:1}))",
      "JSON.stringify(undefined)",
      "JSON.stringify({toJSON: function (k) { return 'key:' + k; }})",
      "JSON.stringify(JSON.parse(' {\"a\" : [1, -2.5e3, \"x\\\\u0041\\\\n\", true, null], "
      "\"b\":{}} '))",
      "JSON.stringify(JSON.parse('\"\\\\\"\\\\\\\\\\\\/\\\\b\\\\f\\\\n\\\\r\\\\t\"'))",
      "JSON.stringify(JSON.parse('[0,-0,1E2,1e-2,0.5]'))",
      "JSON.stringify(JSON.parse('{\"a\":1,\"a\":2}'))",
      "JSON.stringify(JSON.parse('{\"__proto__\":{\"x\":1}}'))",
      "Object.keys(JSON.parse('{\"__proto__\":1}')).join()",
      "JSON.stringify(JSON.parse('[1,[2,[3]]]', function (k, v) { return v === 2 ? undefined : v; "
      "}))",
      "JSON.stringify(JSON.parse('{\"a\":1,\"b\":2}', function (k, v) { return k === 'a' ? 10 : v; "
      "}))",
      "({a:[1]}).toJSONString()",
      "'{\"x\":5}'.parseJSON().x",
  };
  for (const char* expression : expressions) {
    SCOPED_TRACE(expression);
    const platform::ScriptResult expected = native->Eval(expression, ValueForm::kText);
    ASSERT_TRUE(expected.ok);
    const platform::ScriptResult actual = fallback->Eval(expression, ValueForm::kText);
    EXPECT_TRUE(actual.ok);
    EXPECT_EQ(actual.text, expected.text);
  }
}

TEST(JsonStartupScript, FallbackRejectsTextThatIsNotJson) {
  auto fallback = StartedEngine(true);
  const char* texts[] = {"",        "{",           "[1,]",      "{'a':1}", "{a:1}",      "01",
                         "1.",      "-",           ".5",        "1e",      "+1",         "tru",
                         "nul",     "[1] x",       "{\"a\" 1}", "NaN",     "undefined",  "\"a\nb\"",
                         "\"\\x\"", "\"\\u12G4\"", "\"open",    "[1,2",    "{\"a\":1,}", "1 2"};
  for (const char* text : texts) {
    SCOPED_TRACE(text);
    const platform::ScriptResult result = fallback->Call(
        "(function (t) { try { JSON.parse(t); return 'parsed'; } catch (e) {"
        " return e.name + ':' + e.message; } })",
        {text}, ValueForm::kText);
    EXPECT_EQ(result.text, "SyntaxError:JSON.parse");
  }
  EXPECT_EQ(
      fallback
          ->Call("(function (t) { return JSON.parse(t).a; })", {"{\"a\":\"中\"}"}, ValueForm::kText)
          .text,
      "中");
  EXPECT_EQ(fallback->EvalText("typeof injected"), "undefined");
}

TEST(JsonStartupScript, FallbackStringifySpecifics) {
  auto fallback = StartedEngine(true);
  struct Case {
    const char* expression;
    const char* text;
  };
  const Case cases[] = {
      {"new Date(Date.UTC(2020, 0, 2, 3, 4, 5)).toJSON()", "2020-01-02T03:04:05Z"},
      {"JSON.stringify({d: new Date(Date.UTC(1999, 11, 31, 23, 59, 58))})",
       "{\"d\":\"1999-12-31T23:59:58Z\"}"},
      {"JSON.stringify(new Date(NaN))", "null"},
      {"'x'.toJSON() + (5).toJSON() + true.toJSON()", "x5true"},
      {"JSON.stringify('\\u007f\\u00ad\\u0600\\u200c\\u2028\\ufeff\\ufff0\\uffff')",
       "\"\\u007f\\u00ad\\u0600\\u200c\\u2028\\ufeff\\ufff0\\uffff\""},
      {"JSON.stringify([1], null, 20)", "[\n          1\n]"},
      {"(function () { try { JSON.stringify({}, 5); } catch (e) { return e.name + ':' +"
       " e.message; } })()",
       "Error:JSON.stringify"},
      {"(function () { var a = []; a.push(a); try { JSON.stringify(a); } catch (e) {"
       " return e.name; } })()",
       "TypeError"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(fallback->EvalText(c.expression), c.text) << c.expression;
}

// The document object on a fallback-only engine works the same.
TEST(JsonStartupScript, DocumentObjectWorksOnTheFallback) {
  const int before = platform::ComInitCount();
  {
    JsonObject json(EngineWithoutJson);
    EXPECT_EQ(json.ToJson(), "{}");
    ASSERT_TRUE(json.Parse(R"({"data":{"icons":[{"show_svg":"<svg a=\"1\">\n</svg>"},{}]}})"));
    EXPECT_EQ(json.Count("data.icons"), 2);
    EXPECT_EQ(json.GetText("data.icons[0].show_svg", true), R"("<svg a=\"1\">\n</svg>")");
    std::vector<std::string> names;
    json.Keys(names, "data");
    EXPECT_EQ(names, (std::vector<std::string>{"icons", "toJSONString", "parseJSON"}));
    EXPECT_FALSE(json.Parse("{\"a\":(this.x=1)}"));
    EXPECT_EQ(json.ToJson(), "null");
    const std::string deep = std::string(100000, '[') + std::string(100000, ']');
    EXPECT_FALSE(json.Parse(deep));
    json.SetText("x", "", true);
    EXPECT_EQ(json.ToJson(), "null") << "a member of null cannot be set";
    json.Clear();
    json.SetText("x", "[1,2]", true);
    EXPECT_EQ(json.GetObject("x")->ToJson(), "[1,2]");
  }
  EXPECT_EQ(platform::ComInitCount(), before);
}

}  // namespace
}  // namespace korvane
