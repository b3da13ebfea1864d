// A private JavaScript engine (Duktape) with what an automation script host gives its users:
// statements run in one persistent global scope, a text evaluated for its completion value, and
// that value read back as text, number or boolean. Texts cross in the program's code page (GBK).
#pragma once

#include <cstddef>
#include <functional>
#include <initializer_list>
#include <memory>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

namespace korvane::platform {

// How the caller wants the completion value of a script.
//   kDiscard: only whether the script ran.
//   kText:    strings as they are, numbers in shortest decimal form, true "-1", false "0",
//             null and undefined empty, anything else through the script's own string
//             conversion (an object gives "[object Object]", an array its elements joined by ",").
//   kNumber:  numbers as they are, true -1, false 0, a string holding a number that number,
//             everything else 0.
//   kBoolean: booleans as they are, a number that is not 0 (nor NaN) true, a string "true"
//             (any case) or holding a number that is not 0 true, everything else false.
//   kTextList: an array read element by element as kText; anything else gives no texts.
enum class ValueForm { kDiscard, kText, kNumber, kBoolean, kTextList };

// The outcome of one script call. `ok` is false when the script failed to compile or threw; the
// other fields then hold their empty values (empty text, 0, false, no texts).
struct ScriptResult {
  bool ok = false;
  std::string text;
  double number = 0;
  bool boolean = false;
  std::vector<std::string> texts;
};

class ScriptHost {
 public:
  // One engine holds at most this much memory by default. An allocation beyond the limit fails,
  // which the engine turns into a script error ("alloc failed") instead of the process running
  // out of memory.
  static constexpr size_t kDefaultMemoryLimit = size_t{1} << 30;

  // A new engine with an empty global scope, or nullptr when no engine can be made.
  static std::shared_ptr<ScriptHost> Create(size_t memoryLimit = kDefaultMemoryLimit);

  ~ScriptHost();
  ScriptHost(const ScriptHost&) = delete;
  ScriptHost& operator=(const ScriptHost&) = delete;

  // Runs `statements` as a program in the global scope ("AddCode"). False when they fail to
  // compile or throw; what ran before the error stays done.
  bool AddCode(std::string_view statements);

  // Evaluates `text` in the global scope, as the script's own eval does, and reads its
  // completion value in `form` ("Eval"). Variables it declares stay in the global scope.
  ScriptResult Eval(std::string_view text, ValueForm form);

  // Evaluates `function` (a script expression that yields a function, such as a global's name)
  // and calls it with `args` as string values, reading the call's result in `form` ("Run"). The
  // arguments are data: they are never compiled as script.
  ScriptResult Call(std::string_view function, std::initializer_list<std::string_view> args,
                    ValueForm form);

  // Call with one argument already in the engine's text form (see GbkToEngineText), for texts
  // too large to hold more than once: `engineArg` is released as soon as the engine holds its
  // own copy. A stop request while the call runs makes the engine's allocations fail, which
  // ends the call (a large JSON.parse included) as a script error.
  ScriptResult CallWithEngineText(std::string_view function, std::string&& engineArg,
                                  ValueForm form, std::stop_token stop);

  // Shorthands for Eval in one form, giving the empty value on failure.
  std::string EvalText(std::string_view text) { return Eval(text, ValueForm::kText).text; }
  double EvalNumber(std::string_view text) { return Eval(text, ValueForm::kNumber).number; }
  bool EvalBoolean(std::string_view text) { return Eval(text, ValueForm::kBoolean).boolean; }

  // True once an internal failure of the engine (its fatal-error path) has retired it; every
  // call afterwards fails without touching the engine.
  bool Retired() const;

  // Bytes the engine holds right now and at most so far.
  size_t MemoryInUse() const;
  size_t PeakMemory() const;

  // Raises the engine's fatal-error path from inside a running call, as an internal failure of
  // the engine would, so tests can show that it retires the engine instead of ending the
  // process.
  void RaiseFatalErrorForTest();

  struct Engine;

 private:
  explicit ScriptHost(std::unique_ptr<Engine> engine);
  std::unique_ptr<Engine> engine_;
};

// Makes the engine for an object that uses one; tests substitute one that prepares the engine
// differently or makes none.
using ScriptHostFactory = std::function<std::shared_ptr<ScriptHost>()>;

// The factory that makes real engines.
ScriptHostFactory DefaultScriptHostFactory();

// The program's text (GBK) as the engine's internal UTF-8 form (CESU-8: a character outside
// the BMP is written as its two UTF-16 halves). Invalid GBK bytes become U+FFFD.
std::string GbkToEngineText(std::string_view text);

// The same conversion in pieces of about a mebibyte, giving up with an empty text as soon as
// `stop` is requested between two pieces.
std::string GbkToEngineText(std::string_view text, std::stop_token stop);

// The engine's UTF-8/CESU-8 bytes as the program's text. Surrogate pairs in either form are
// joined; lone surrogates and characters GBK lacks become '?', invalid bytes U+FFFD and so '?'.
std::string EngineTextToGbk(std::string_view bytes);

}  // namespace korvane::platform
