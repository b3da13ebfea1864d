#include "script/json_object.h"

#include <charconv>
#include <cmath>
#include <limits>

#include "platform/com_apartment.h"
#include "script/json_startup_script.h"

namespace korvane {
namespace {

using platform::ValueForm;

// The parameter through which a text value reaches the script that stores it. The name keeps
// clear of anything a caller's path is likely to mention.
constexpr std::string_view kValueParam = "korvane$value";

std::string ValueFunction(std::string_view body) {
  std::string text = "(function(";
  text += kValueParam;
  text += "){";
  text += body;
  text += "})";
  return text;
}

}  // namespace

JsonObject::JsonObject(platform::ScriptHostFactory factory) : factory_(std::move(factory)) {
  rootName_ = "da";
  InitEngine();
}

JsonObject::JsonObject(const JsonObject& other)
    : factory_(other.factory_), scriptHost_(other.scriptHost_), rootName_(other.rootName_) {
  platform::CoInitialize();
  holdsApartment_ = true;
}

JsonObject::~JsonObject() {
  scriptHost_.reset();
  if (holdsApartment_)
    platform::CoUninitialize();
}

std::unique_ptr<JsonObject> JsonObject::Clone() const {
  return std::unique_ptr<JsonObject>(new JsonObject(*this));
}

void JsonObject::InitEngine() {
  if (!holdsApartment_) {
    platform::CoInitialize();
    holdsApartment_ = true;
  }
  if (factory_) {
    if (auto fresh = factory_())
      scriptHost_ = std::move(fresh);
  }
  if (!scriptHost_)
    return;
  RunJsonStartup(*scriptHost_);
  Run("var " + rootName_ + "={}");
}

bool JsonObject::Parse(std::string_view json) {
  if (!scriptHost_)
    return false;
  Run("var " + rootName_ + "=null");
  scriptHost_->Call(ValueFunction(rootName_ + "=JSON.parse(" + std::string(kValueParam) + ")"),
                    {json}, ValueForm::kDiscard);
  return Eval("null !=" + rootName_, ValueForm::kBoolean).boolean;
}

bool JsonObject::Parse(std::string&& json, std::stop_token stop) {
  if (!scriptHost_)
    return false;
  Run("var " + rootName_ + "=null");
  std::string engineText = platform::GbkToEngineText(json, stop);
  std::string().swap(json);
  if (stop.stop_requested())
    return false;
  scriptHost_->CallWithEngineText(
      ValueFunction(rootName_ + "=JSON.parse(" + std::string(kValueParam) + ")"),
      std::move(engineText), ValueForm::kDiscard, stop);
  return !stop.stop_requested() && Eval("null !=" + rootName_, ValueForm::kBoolean).boolean;
}

std::string JsonObject::ToJson() {
  return Eval("JSON.stringify(" + rootName_ + ")", ValueForm::kText).text;
}

void JsonObject::Clear() {
  Run(rootName_ + "={}");
}

void JsonObject::SetText(std::string_view path, std::string_view value, bool asObject) {
  const std::string target = Dotted(path);
  if (!asObject) {
    AssignText(target, value);
    return;
  }
  if (!scriptHost_)
    return;
  scriptHost_->Call(ValueFunction(target + "=JSON.parse(" + std::string(kValueParam) + ")"),
                    {value.empty() ? std::string_view("{}") : value}, ValueForm::kDiscard);
}

void JsonObject::SetRaw(std::string_view path, std::string_view value) {
  Run(Dotted(path) + "=" + std::string(value));
}

void JsonObject::SetNumber(std::string_view path, double value) {
  if (!std::isfinite(value))
    return;
  char digits[64];
  const auto [end, ec] =
      std::to_chars(digits, digits + sizeof digits, value, std::chars_format::general, 13);
  if (ec != std::errc())
    return;
  Run(Dotted(path) + "=" + std::string(digits, end));
}

double JsonObject::GetNumber(std::string_view path) {
  return Eval(Dotted(path), ValueForm::kNumber).number;
}

std::string JsonObject::GetJson(std::string_view path) {
  return Eval("JSON.stringify(" + Dotted(path) + ")", ValueForm::kText).text;
}

std::string JsonObject::GetText(std::string_view path, bool asJson) {
  const std::string target = Bracketed(path);
  return Eval(asJson ? "JSON.stringify(" + target + ")" : target, ValueForm::kText).text;
}

std::unique_ptr<JsonObject> JsonObject::GetObject(std::string_view path) {
  auto copy = std::make_unique<JsonObject>(factory_);
  copy->Parse(Eval("JSON.stringify(" + Bracketed(path) + ")", ValueForm::kText).text);
  return copy;
}

void JsonObject::DeleteMember(std::string_view path) {
  Run("delete " + Dotted(path));
}

int JsonObject::Count(std::string_view path) {
  const double count = Eval("get__count(" + Optional(path) + ")", ValueForm::kNumber).number;
  if (!(std::fabs(count) < static_cast<double>(std::numeric_limits<int>::max())))
    return 0;
  return static_cast<int>(count);
}

void JsonObject::Push(std::string_view value, std::string_view path, bool raw) {
  const std::string target = Optional(path);
  // A missing or null target is replaced like any other target without "map", instead of
  // failing on reading "map" of nothing.
  const std::string prepare = "if(!(" + target + "&&" + target + ".map)){" + target + "=[]} ";
  if (raw) {
    Run(prepare + target + ".push(" + std::string(value) + ")");
    return;
  }
  if (!scriptHost_)
    return;
  scriptHost_->Call(ValueFunction(prepare + target + ".push(" + std::string(kValueParam) + ")"),
                    {value}, ValueForm::kDiscard);
}

std::string JsonObject::GetElement(int index, std::string_view path, bool asJson) {
  const std::string element = Optional(path) + "[" + std::to_string(index) + "]";
  return Eval(asJson ? "JSON.stringify(" + element + ")" : element, ValueForm::kText).text;
}

void JsonObject::SetElement(int index, std::string_view value, bool raw) {
  const std::string element = rootName_ + "[" + std::to_string(index) + "]";
  if (raw)
    Run(element + "=" + std::string(value));
  else
    AssignText(element, value);
}

void JsonObject::RemoveElement(int index) {
  Run(rootName_ + ".splice(" + std::to_string(index) + ",1)");
}

void JsonObject::ResetRoot(int kind) {
  switch (kind) {
    case kResetNull:
      Run("var " + rootName_ + "=null");
      break;
    case kResetObject:
      Run("var " + rootName_ + "={}");
      break;
    case kResetArray:
      Run("var " + rootName_ + "=new Array()");
      break;
    default:
      break;
  }
}

void JsonObject::SetRoot(std::string_view value, bool raw) {
  if (raw)
    Run(rootName_ + "=" + std::string(value));
  else
    AssignText(rootName_, value);
}

bool JsonObject::Exists(std::string_view path) {
  return Eval(Dotted(path) + " !=null", ValueForm::kBoolean).boolean;
}

void JsonObject::Keys(std::vector<std::string>& names, std::string_view path) {
  // The names come back as a list, not joined into one text, so a name holding a comma stays
  // one name.
  names = Eval("(function(o){var names=[];for(var name in o){names.push(name)}return names})(" +
                   Optional(path) + ")",
               ValueForm::kTextList)
              .texts;
}

int JsonObject::TypeOf(std::string_view path) {
  const std::string target = Optional(path);
  if (Eval(target + "==null", ValueForm::kBoolean).boolean)
    return kTypeNull;
  const std::string type = Eval("typeof (" + target + ")", ValueForm::kText).text;
  if (type == "string")
    return kTypeString;
  if (type == "number")
    return kTypeNumber;
  if (type != "object")
    return kTypeOther;
  return Eval("!" + target + ".map", ValueForm::kBoolean).boolean ? kTypeObject : kTypeArray;
}

std::string JsonObject::Dotted(std::string_view path) const {
  return rootName_ + "." + std::string(path);
}

std::string JsonObject::Optional(std::string_view path) const {
  return path.empty() ? rootName_ : Dotted(path);
}

std::string JsonObject::Bracketed(std::string_view path) const {
  if (!path.empty() && path.front() == '[')
    return rootName_ + std::string(path);
  return Dotted(path);
}

platform::ScriptResult JsonObject::Eval(const std::string& text, platform::ValueForm form) {
  if (!scriptHost_)
    return {};
  return scriptHost_->Eval(text, form);
}

void JsonObject::Run(const std::string& text) {
  Eval(text, ValueForm::kDiscard);
}

void JsonObject::AssignText(const std::string& target, std::string_view value) {
  if (!scriptHost_)
    return;
  scriptHost_->Call(ValueFunction(target + "=" + std::string(kValueParam)), {value},
                    ValueForm::kDiscard);
}

}  // namespace korvane
