#include "platform/script_host.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <thread>

namespace korvane::platform {
namespace {

std::shared_ptr<ScriptHost> NewHost() {
  auto host = ScriptHost::Create();
  EXPECT_NE(host, nullptr);
  return host;
}

TEST(ScriptHost, ReadsCompletionValuesInEachForm) {
  auto host = NewHost();
  struct Case {
    const char* script;
    const char* text;
    double number;
    bool boolean;
  };
  const Case cases[] = {
      {"'abc'", "abc", 0, false},
      {"'12.5'", "12.5", 12.5, true},
      {"' 7 '", " 7 ", 7, true},
      {"'true'", "true", 0, true},
      {"''", "", 0, false},
      {"1.5", "1.5", 1.5, true},
      {"0.1+0.2", "0.30000000000000004", 0.30000000000000004, true},
      {"1e21", "1e+21", 1e21, true},
      {"-0", "0", 0, false},
      {"0/0", "NaN", 0, false},
      {"true", "-1", -1, true},
      {"false", "0", 0, false},
      {"null", "", 0, false},
      {"undefined", "", 0, false},
      {"({a:1})", "[object Object]", 0, false},
      {"[1,'b']", "1,b", 0, false},
      {"var declared=3", "", 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.script);
    EXPECT_EQ(host->EvalText(c.script), c.text);
    if (std::string(c.script) != "0/0") {
      EXPECT_EQ(host->EvalNumber(c.script), c.number);
    }
    EXPECT_EQ(host->EvalBoolean(c.script), c.boolean);
  }
  EXPECT_TRUE(std::isnan(host->EvalNumber("0/0")));
}

TEST(ScriptHost, GlobalScopePersistsAcrossAddCodeAndEval) {
  auto host = NewHost();
  ASSERT_TRUE(host->AddCode("var g = 5;\r\nfunction twice(a) { return a * 2; }\r\n"));
  EXPECT_EQ(host->EvalNumber("twice(g)"), 10);
  EXPECT_TRUE(host->Eval("var h = 3", ValueForm::kDiscard).ok);
  EXPECT_EQ(host->EvalNumber("h + g"), 8);
  const ScriptResult list = host->Eval("['a', 1, true, null, {}]", ValueForm::kTextList);
  EXPECT_TRUE(list.ok);
  EXPECT_EQ(list.texts, (std::vector<std::string>{"a", "1", "-1", "", "[object Object]"}));
  EXPECT_TRUE(host->Eval("'not a list'", ValueForm::kTextList).texts.empty());
}

TEST(ScriptHost, FailuresGiveEmptyResults) {
  auto host = NewHost();
  const char* failing[] = {"1 +", "undefinedName.x", "throw new Error('boom')", "da.[0]",
                           "({toString: function () { throw 1; }})"};
  for (const char* script : failing) {
    SCOPED_TRACE(script);
    const ScriptResult result = host->Eval(script, ValueForm::kText);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.text, "");
    EXPECT_EQ(host->EvalNumber(script), 0);
    EXPECT_FALSE(host->EvalBoolean(script));
  }
  EXPECT_FALSE(host->AddCode("var ok = 1; throw 2;"));
  EXPECT_EQ(host->EvalNumber("ok"), 1) << "statements before the error stay done";
  EXPECT_FALSE(host->Call("ok", {}, ValueForm::kText).ok) << "not a function";
  EXPECT_EQ(host->EvalNumber("1+1"), 2) << "the engine keeps working after errors";
}

TEST(ScriptHost, CallArgumentsAreDataNeverScript) {
  auto host = NewHost();
  const std::string hostile = "'); injected = 1; ('\\\"\r\n";
  const ScriptResult echoed =
      host->Call("(function (a, b) { return a + '|' + b; })", {hostile, "中文"}, ValueForm::kText);
  ASSERT_TRUE(echoed.ok);
  EXPECT_EQ(echoed.text, hostile + "|中文");
  EXPECT_EQ(host->EvalText("typeof injected"), "undefined");
  EXPECT_EQ(host->Call("(function (a) { return a.length; })", {"中文"}, ValueForm::kNumber).number,
            2);
}

TEST(ScriptHost, TextsCrossBetweenGbkAndTheEngine) {
  EXPECT_EQ(GbkToEngineText("a中"), "a\xE4\xB8\xAD");
  EXPECT_EQ(GbkToEngineText("\x81"), "\xEF\xBF\xBD") << "invalid GBK becomes U+FFFD";
  // ASCII runs are copied and the runs between them converted: a double-byte character whose
  // second byte is ASCII (here a backslash) must not be split.
  const char* roundTrips[] = {"文字 and ascii", "x\x95\x5Cy", "中a文b\xA1\xAF'",
                              "\x95\x40\x95\x5C"};
  for (const char* text : roundTrips)
    EXPECT_EQ(EngineTextToGbk(GbkToEngineText(text)), text);
  EXPECT_EQ(EngineTextToGbk(GbkToEngineText("ab\x81")), "ab?");
  struct Case {
    std::string engine;
    std::string gbk;
  };
  const Case cases[] = {
      {"\xF0\x9F\x98\x80", "?"},          // 4-byte UTF-8, not in GBK
      {"\xED\xA0\xBD\xED\xB8\x80", "?"},  // the same as a CESU-8 pair
      {"\xED\xA0\x80x", "?x"},            // lone high surrogate
      {"\xC3", "?"},                      // truncated sequence
      {"\xFF\xFE", "??"},                 // bytes that start nothing
      {std::string("a\0b", 3), std::string("a\0b", 3)},
  };
  for (const Case& c : cases)
    EXPECT_EQ(EngineTextToGbk(c.engine), c.gbk);

  auto host = NewHost();
  EXPECT_EQ(host->EvalText("'\\u4e2d\\u6587'"), "中文");
  EXPECT_EQ(host->EvalText("'\\ud83d\\ude00'"), "?");
  EXPECT_EQ(host->EvalText("'\\ud800'"), "?");
  EXPECT_EQ(host->EvalText("'a\\u0000b'"), std::string("a\0b", 3));
  EXPECT_EQ(host->EvalText("'\x81\x30'"), "?0") << "invalid GBK in a script text";
  EXPECT_EQ(host->EvalNumber("'中文'.length"), 2);
}

TEST(ScriptHost, DeepNestingAndRunawayRecursionFailInsteadOfCrashing) {
  auto host = NewHost();
  const std::string deepArray = std::string(100000, '[') + std::string(100000, ']');
  EXPECT_FALSE(host->Eval(deepArray, ValueForm::kText).ok);
  EXPECT_FALSE(
      host->Call("(function (t) { return JSON.parse(t); })", {deepArray}, ValueForm::kDiscard).ok);
  EXPECT_TRUE(host->AddCode("var deep = []; for (var i = 0; i < 100000; i++) { deep = [deep]; }"));
  EXPECT_FALSE(host->Eval("JSON.stringify(deep)", ValueForm::kText).ok);
  EXPECT_FALSE(host->Eval("String(deep)", ValueForm::kText).ok);
  EXPECT_FALSE(host->Eval("(function r(n) { return 1 + r(n + 1); })(0)", ValueForm::kText).ok);
  EXPECT_FALSE(host->Eval("(function r() { return [1].map(r); })()", ValueForm::kText).ok);
  EXPECT_EQ(host->EvalNumber("1+1"), 2);
}

TEST(ScriptHost, AFatalEngineErrorRetiresTheEngineAndFreesIt) {
  auto host = NewHost();
  ASSERT_TRUE(host->AddCode("var big = new Array(10000).join('x');"));
  EXPECT_GT(host->MemoryInUse(), 10000u);
  host->RaiseFatalErrorForTest();
  EXPECT_TRUE(host->Retired());
  EXPECT_EQ(host->MemoryInUse(), 0u);
  EXPECT_FALSE(host->AddCode("var a = 1;"));
  EXPECT_FALSE(host->Eval("1", ValueForm::kNumber).ok);
  EXPECT_FALSE(host->Call("(function () { return 1; })", {}, ValueForm::kNumber).ok);
  EXPECT_GE(host->PeakMemory(), 10000u);
}

TEST(ScriptHost, TheMemoryLimitTurnsRunawayAllocationIntoAnError) {
  auto host = ScriptHost::Create(4 << 20);
  ASSERT_NE(host, nullptr);
  EXPECT_FALSE(host->Eval("var s = 'x'; while (true) { s = s + s; }", ValueForm::kDiscard).ok);
  EXPECT_FALSE(host->Eval("new Array(8 << 20).join('y')", ValueForm::kText).ok);
  EXPECT_LE(host->PeakMemory(), 4u << 20);
  EXPECT_TRUE(host->AddCode("s = null;"));
  EXPECT_EQ(host->EvalNumber("[1, 2, 3].length"), 3) << "the engine keeps working";
  EXPECT_EQ(ScriptHost::Create(1024), nullptr) << "too little memory to start an engine";
}

TEST(ScriptHost, ALargeArgumentIsReleasedOnceTheEngineHoldsIt) {
  auto host = NewHost();
  std::string json = GbkToEngineText("[\"中\", 2, {\"k\": [3]}]");
  const ScriptResult result = host->CallWithEngineText(
      "(function(s){ var v = JSON.parse(s); return v[0] + v.length + v[2].k[0]; })",
      std::move(json), ValueForm::kText, {});
  EXPECT_TRUE(result.ok);
  EXPECT_EQ(result.text, "中33");
  EXPECT_TRUE(json.empty());  // NOLINT(bugprone-use-after-move): released on purpose
}

TEST(ScriptHost, AStopEndsARunningCallThroughTheAllocator) {
  auto host = NewHost();
  std::stop_source source;
  std::thread stopper([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    source.request_stop();
  });
  // Allocates for ever without growing: only the stop can end it.
  const ScriptResult result =
      host->CallWithEngineText("(function(s){ for (var i = 0;; ++i) { s = (s + i).slice(-64); } })",
                               "seed", ValueForm::kDiscard, source.get_token());
  stopper.join();
  EXPECT_FALSE(result.ok);
  EXPECT_FALSE(host->Retired());
  EXPECT_EQ(host->EvalNumber("[1, 2, 3].length"), 3) << "the engine keeps working";
  // A stop requested before the call runs nothing.
  EXPECT_FALSE(host->CallWithEngineText("(function(s){ ran = s; })", "x", ValueForm::kDiscard,
                                        source.get_token())
                   .ok);
  EXPECT_EQ(host->EvalText("typeof ran"), "undefined");
}

TEST(ScriptHost, PiecewiseConversionMatchesTheWholeText) {
  // Double-byte characters whose trail byte is ASCII-range ("\x81\x40"), lone high bytes and
  // ASCII, over several pieces, so piece ends fall on every kind of byte.
  std::string text;
  const std::string_view pattern[] = {"中",
                                      "a",
                                      "\x81\x40",
                                      "b\x81",
                                      "\x40"
                                      "c",
                                      "\xFF",
                                      "\n"};
  for (size_t i = 0; text.size() < (3u << 20) + 7; ++i)
    text += pattern[(i * 7 + i / 5) % 7];
  EXPECT_EQ(GbkToEngineText(text, {}), GbkToEngineText(text));
  std::stop_source stopped;
  stopped.request_stop();
  EXPECT_EQ(GbkToEngineText(text, stopped.get_token()), "");
}

TEST(ScriptHost, EnginesAreIndependent) {
  auto first = NewHost();
  auto second = NewHost();
  first->AddCode("var shared = 'first';");
  EXPECT_EQ(second->EvalText("typeof shared"), "undefined");
  EXPECT_EQ(first->EvalText("shared"), "first");
  const ScriptHostFactory factory = DefaultScriptHostFactory();
  EXPECT_NE(factory(), nullptr);
}

}  // namespace
}  // namespace korvane::platform
