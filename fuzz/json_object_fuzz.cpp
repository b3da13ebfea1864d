// The JSON object: a document from outside (a collection page, a status reply) parsed, then read
// and changed by a few operations the input chooses. Header lines: the operations (one letter
// each, see below), a value, then the JSON text.
//
// Paths are script text of the program's own, never outside input, so they come from a fixed
// table of the paths the program uses and a few odd ones; values and the document are the
// outside input and cross into the engine only as string data.

#include <array>
#include <cmath>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_input.h"
#include "script/json_object.h"

namespace {

constexpr std::array<std::string_view, 14> kPaths{{
    "",
    "data",
    "data.icons",
    "data.icons[0]",
    "data.icons[0].show_svg",
    "data.icons[1].name",
    "data.count",
    "progress",
    "status",
    "[0]",
    "[1].x",
    "a.b.c",
    "map",
    "toJSONString",
}};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using korvane::JsonObject;
  const auto [ops, value, json] = korvane::fuzz::SplitFields<3>(data, size);

  JsonObject object;
  if (!object.Parse(json))
    FUZZ_CHECK(object.ToJson() == "null");
  std::unique_ptr<JsonObject> other;
  std::vector<std::string> names;

  // Each operation letter takes the next byte, when there is one, as its path or index.
  for (size_t i = 0; i < ops.size() && i < 32; ++i) {
    const unsigned char arg = i + 1 < ops.size() ? static_cast<unsigned char>(ops[i + 1]) : 0;
    const std::string_view path = kPaths[arg % kPaths.size()];
    const int index = static_cast<int>(arg % 8) - 1;
    switch (ops[i]) {
      case 't':
        object.GetText(path, arg & 1);
        break;
      case 'j':
        object.GetJson(path);
        break;
      case 'n':
        object.GetNumber(path);
        break;
      case 'c':
        object.Count(path);
        break;
      case 'e':
        object.Exists(path);
        break;
      case 'y': {
        const int type = object.TypeOf(path);
        FUZZ_CHECK(type == JsonObject::kTypeNull || type == JsonObject::kTypeNumber ||
                   type == JsonObject::kTypeArray || type == JsonObject::kTypeObject ||
                   type == JsonObject::kTypeString || type == JsonObject::kTypeOther);
        break;
      }
      case 'k':
        object.Keys(names, path);
        break;
      case 'g':
        object.GetElement(index, path, arg & 1);
        break;
      case 'S':
        object.SetText(path, value, false);
        break;
      case 'O':
        object.SetText(path, value, true);
        break;
      case 'N':
        object.SetNumber(path, std::strtod(std::string(value).c_str(), nullptr));
        break;
      case 'D':
        object.DeleteMember(path);
        break;
      case 'P':
        object.Push(value, path, false);
        break;
      case 'E':
        object.SetElement(index, value, false);
        break;
      case 'R':
        object.RemoveElement(index);
        break;
      case 'T':
        object.SetRoot(value, false);
        break;
      case 'Z':
        object.ResetRoot(arg % 7);
        break;
      case 'C':
        other = object.Clone();
        break;
      case 'G':
        other = object.GetObject(path);
        if (other)
          other->ToJson();
        break;
      case 'J': {
        // What the document prints parses back to the same text.
        const std::string text = object.ToJson();
        JsonObject copy;
        if (copy.Parse(text))
          FUZZ_CHECK(copy.ToJson() == text);
        break;
      }
      default:
        break;
    }
  }
  object.ToJson();
  return 0;
}
