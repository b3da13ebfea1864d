// A JSON document held inside a private script engine, read and changed by member paths such as
// "data.icons[3].show_svg". Every operation is a short script over the global that holds the
// document (the root name "da"); nothing is parsed or printed on this side.
#pragma once

#include <memory>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

#include "platform/script_host.h"

namespace korvane {

// A path is script text of the caller's own, pasted after the root name; a path that does not
// compile or fails at run time gives the operation's empty result (empty text, 0, false, -1 for
// TypeOf, no names) and changes nothing. Texts from outside (JSON texts and quoted values) cross
// into the engine as string data and are never run as script.
//
// Each live object holds one initialisation of the thread's automation apartment
// (platform/com_apartment.h), clones and GetObject results included, and gives it back when it
// is destroyed, so any mix of objects leaves the thread balanced.
class JsonObject {
 public:
  // Type codes of TypeOf.
  static constexpr int kTypeNull = 0;
  static constexpr int kTypeNumber = 2;
  static constexpr int kTypeArray = 4;  // an object with a member named "map"
  static constexpr int kTypeObject = 5;
  static constexpr int kTypeString = 6;
  static constexpr int kTypeOther = -1;

  // Kinds of ResetRoot.
  static constexpr int kResetNull = 0;
  static constexpr int kResetObject = 4;
  static constexpr int kResetArray = 5;

  // A new object with its own engine and an empty object as its document. `factory` makes the
  // engine; when it makes none, every operation gives its empty result.
  explicit JsonObject(platform::ScriptHostFactory factory = platform::DefaultScriptHostFactory());

  // The operations, in the order of the object's table.
  virtual ~JsonObject();
  // A second object on the same engine: both read and change one document.
  virtual std::unique_ptr<JsonObject> Clone() const;
  // Replaces the engine by a fresh one holding an empty object. When no engine can be made the
  // one held before stays, and is reset the same way.
  virtual void InitEngine();
  // Replaces the document by the JSON text `json`; true when its value is neither null nor
  // undefined. A text that is not JSON leaves the document null and gives false.
  virtual bool Parse(std::string_view json);
  // The same for a text that may be very large: `json` is released as soon as the engine holds
  // it, and a stop request ends the conversion or the parse in progress (giving false and a null
  // document).
  bool Parse(std::string&& json, std::stop_token stop);
  // The whole document as compact JSON text; empty without an engine.
  virtual std::string ToJson();
  // Replaces the document by an empty object.
  virtual void Clear();
  // Sets the member at `path` to the text `value`, or, when `asObject`, to the value of the JSON
  // text `value` (empty stands for "{}").
  virtual void SetText(std::string_view path, std::string_view value, bool asObject = false);
  // Sets the member at `path` to the value of the script expression `value`.
  virtual void SetRaw(std::string_view path, std::string_view value);
  // Sets the member at `path` to a number, written with 13 significant digits; a number that is
  // not finite changes nothing.
  virtual void SetNumber(std::string_view path, double value);
  virtual double GetNumber(std::string_view path);
  // The value at `path` as JSON text.
  virtual std::string GetJson(std::string_view path);
  // The value at `path` as text (see platform::ValueForm::kText), or as JSON text when `asJson`.
  // A path beginning with "[" is joined to the root without a dot.
  virtual std::string GetText(std::string_view path, bool asJson = false);
  // A new object whose document is a copy of the value at `path`; it shares nothing with this
  // one. When the path names nothing its document is null.
  virtual std::unique_ptr<JsonObject> GetObject(std::string_view path);
  virtual void DeleteMember(std::string_view path);
  // The number of members of the object (elements of the array) at `path`; -2 for a missing last
  // member, 0 when the path cannot be evaluated.
  virtual int Count(std::string_view path = {});
  // Appends `value` (text, or a script expression when `raw`) to the array at `path`, first
  // making the target an empty array when it has no "map" member.
  virtual void Push(std::string_view value, std::string_view path = {}, bool raw = false);
  // Element `index` of the array at `path`, as text or as JSON text.
  virtual std::string GetElement(int index, std::string_view path = {}, bool asJson = false);
  virtual void SetElement(int index, std::string_view value, bool raw = false);
  virtual void RemoveElement(int index);
  // kResetNull, kResetObject or kResetArray; any other kind changes nothing.
  virtual void ResetRoot(int kind);
  virtual void SetRoot(std::string_view value, bool raw = false);
  // Whether the value at `path` exists and is not null.
  virtual bool Exists(std::string_view path);
  // Replaces `names` by the names a for-in loop over the value at `path` yields: its own names,
  // then "toJSONString" and "parseJSON".
  virtual void Keys(std::vector<std::string>& names, std::string_view path = {});
  virtual int TypeOf(std::string_view path = {});

  JsonObject& operator=(const JsonObject&) = delete;

  // The root name: the engine global that holds the document.
  const std::string& RootName() const { return rootName_; }

 private:
  JsonObject(const JsonObject& other);

  std::string Dotted(std::string_view path) const;
  std::string Optional(std::string_view path) const;
  std::string Bracketed(std::string_view path) const;
  platform::ScriptResult Eval(const std::string& text, platform::ValueForm form);
  void Run(const std::string& text);
  void AssignText(const std::string& target, std::string_view value);

  platform::ScriptHostFactory factory_;
  std::shared_ptr<platform::ScriptHost> scriptHost_;
  std::string rootName_;
  bool holdsApartment_ = false;
};

}  // namespace korvane
