#include "pipeline/full_document.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace korvane {
namespace {

constexpr std::string_view kSvgNamespace = "http://www.w3.org/2000/svg";
constexpr std::string_view kXlinkNamespace = "http://www.w3.org/1999/xlink";

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool IsNameChar(char c) {
  return !IsBlank(c) && c != '=' && c != '>' && c != '/' && c != '"' && c != '\'' && c != '<';
}

struct Attribute {
  std::string name;
  std::string value;  // as written, entities and all
  char quote = '"';
};

// A start tag taken apart: `<name attributes...>` or `<name .../>`.
struct StartTag {
  std::string name;
  std::vector<Attribute> attributes;
  bool selfClosing = false;
  size_t end = 0;  // one past the closing '>'
};

// Parses the start tag beginning at text[at] == '<'. Returns nullopt for a tag that does not end
// or whose attributes are not name="value" pairs.
std::optional<StartTag> ParseStartTag(std::string_view text, size_t at) {
  StartTag tag;
  size_t i = at + 1;
  while (i < text.size() && IsNameChar(text[i]))
    tag.name.push_back(text[i++]);
  if (tag.name.empty())
    return std::nullopt;
  for (;;) {
    while (i < text.size() && IsBlank(text[i]))
      ++i;
    if (i >= text.size())
      return std::nullopt;
    if (text[i] == '>') {
      tag.end = i + 1;
      return tag;
    }
    if (text[i] == '/' && i + 1 < text.size() && text[i + 1] == '>') {
      tag.selfClosing = true;
      tag.end = i + 2;
      return tag;
    }
    Attribute attribute;
    while (i < text.size() && IsNameChar(text[i]))
      attribute.name.push_back(text[i++]);
    while (i < text.size() && IsBlank(text[i]))
      ++i;
    if (attribute.name.empty() || i >= text.size() || text[i] != '=')
      return std::nullopt;
    ++i;
    while (i < text.size() && IsBlank(text[i]))
      ++i;
    if (i >= text.size() || (text[i] != '"' && text[i] != '\''))
      return std::nullopt;
    attribute.quote = text[i++];
    const size_t close = text.find(attribute.quote, i);
    if (close == std::string_view::npos)
      return std::nullopt;
    attribute.value = std::string(text.substr(i, close - i));
    i = close + 1;
    tag.attributes.push_back(std::move(attribute));
  }
}

std::string WriteStartTag(const StartTag& tag) {
  std::string out = "<" + tag.name;
  for (const Attribute& a : tag.attributes) {
    const char quote = a.value.find(a.quote) == std::string::npos ? a.quote : '"';
    out += " " + a.name + "=" + quote + a.value + quote;
  }
  out += tag.selfClosing ? "/>" : ">";
  return out;
}

Attribute* Find(StartTag& tag, std::string_view name) {
  for (Attribute& a : tag.attributes) {
    if (a.name == name)
      return &a;
  }
  return nullptr;
}

void Remove(StartTag& tag, std::string_view name) {
  std::erase_if(tag.attributes, [&](const Attribute& a) { return a.name == name; });
}

void Set(StartTag& tag, std::string_view name, std::string_view value) {
  if (Attribute* a = Find(tag, name)) {
    a->value = std::string(value);
  } else {
    tag.attributes.push_back({std::string(name), std::string(value), '"'});
  }
}

// Where the element of the name `name` that starts at text[at] begins (`<svg` followed by a blank,
// '>' or '/'); false for a longer name such as "<svgx".
bool StartsElement(std::string_view text, size_t at, std::string_view name) {
  if (text.substr(at, name.size() + 1) != std::string("<") + std::string(name))
    return false;
  const size_t after = at + 1 + name.size();
  return after < text.size() && (IsBlank(text[after]) || text[after] == '>' || text[after] == '/');
}

std::string FormatNumber(double value) {
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "%.6g", value);
  return buffer;
}

bool IsNone(std::string_view value) {
  while (!value.empty() && IsBlank(value.front()))
    value.remove_prefix(1);
  while (!value.empty() && IsBlank(value.back()))
    value.remove_suffix(1);
  return value == "none";
}

bool IsPaintName(std::string_view name) {
  return name == "fill" || name == "stroke" || name == "stop-color";
}

// A style attribute's declarations with every paint property set to `color`.
std::string RecolorStyle(std::string_view style, std::string_view color) {
  std::string out;
  size_t start = 0;
  while (start <= style.size()) {
    size_t end = style.find(';', start);
    if (end == std::string_view::npos)
      end = style.size();
    std::string_view declaration = style.substr(start, end - start);
    const size_t colon = declaration.find(':');
    if (colon != std::string_view::npos) {
      std::string_view property = declaration.substr(0, colon);
      while (!property.empty() && IsBlank(property.front()))
        property.remove_prefix(1);
      while (!property.empty() && IsBlank(property.back()))
        property.remove_suffix(1);
      if (IsPaintName(property) && !IsNone(declaration.substr(colon + 1))) {
        out += std::string(declaration.substr(0, colon + 1)) + std::string(color);
      } else {
        out += declaration;
      }
    } else {
      out += declaration;
    }
    if (end < style.size())
      out += ';';
    start = end + 1;
  }
  return out;
}

void RecolorTag(StartTag& tag, std::string_view color) {
  for (Attribute& a : tag.attributes) {
    if (IsPaintName(a.name) && !IsNone(a.value)) {
      a.value = std::string(color);
    } else if (a.name == "style") {
      a.value = RecolorStyle(a.value, color);
    }
  }
}

}  // namespace

std::optional<std::pair<double, double>> ViewBoxSize(std::string_view viewBox) {
  std::string text(viewBox);
  for (char& c : text) {
    if (c == ',' || IsBlank(c))
      c = ' ';
  }
  double numbers[4];
  const char* at = text.c_str();
  for (double& number : numbers) {
    char* end = nullptr;
    number = std::strtod(at, &end);
    if (end == at || !std::isfinite(number))
      return std::nullopt;
    at = end;
  }
  while (*at == ' ')
    ++at;
  if (*at != '\0' || numbers[2] <= 0 || numbers[3] <= 0)
    return std::nullopt;
  return std::make_pair(numbers[2], numbers[3]);
}

bool IsHexColor(std::string_view color) {
  if (color.size() != 7 || color[0] != '#')
    return false;
  for (char c : color.substr(1)) {
    const bool hex = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
    if (!hex)
      return false;
  }
  return true;
}

std::optional<std::string> BuildFullDocument(std::string_view markup) {
  size_t start = 0;
  while ((start = markup.find("<svg", start)) != std::string_view::npos &&
         !StartsElement(markup, start, "svg")) {
    ++start;
  }
  if (start == std::string_view::npos)
    return std::nullopt;
  std::optional<StartTag> root = ParseStartTag(markup, start);
  if (!root)
    return std::string(markup.substr(start));

  // The element ends at the "</svg>" that balances it; nested svg elements open and close their
  // own. Without one the rest of the markup is kept, and the renderer judges it.
  size_t bodyEnd = markup.size();
  size_t closeEnd = markup.size();
  if (!root->selfClosing) {
    int depth = 1;
    size_t i = root->end;
    while ((i = markup.find('<', i)) != std::string_view::npos) {
      if (StartsElement(markup, i, "svg")) {
        const std::optional<StartTag> inner = ParseStartTag(markup, i);
        if (inner && !inner->selfClosing)
          ++depth;
        i = inner ? inner->end : i + 1;
      } else if (markup.substr(i, 5) == "</svg") {
        const size_t gt = markup.find('>', i);
        if (--depth == 0) {
          bodyEnd = i;
          closeEnd = gt == std::string_view::npos ? markup.size() : gt + 1;
          break;
        }
        i = gt == std::string_view::npos ? markup.size() : gt + 1;
      } else {
        ++i;
      }
    }
  }
  const std::string_view body =
      root->selfClosing ? std::string_view() : markup.substr(root->end, bodyEnd - root->end);

  StartTag tag = *root;
  if (!Find(tag, "xmlns"))
    Set(tag, "xmlns", kSvgNamespace);
  if (!Find(tag, "xmlns:xlink") && body.find("xlink:") != std::string_view::npos)
    Set(tag, "xmlns:xlink", kXlinkNamespace);
  if (const Attribute* viewBox = Find(tag, "viewBox")) {
    if (const auto size = ViewBoxSize(viewBox->value)) {
      Remove(tag, "width");
      Remove(tag, "height");
      Set(tag, "width", FormatNumber(size->first));
      Set(tag, "height", FormatNumber(size->second));
    }
  }
  std::string document = WriteStartTag(tag);
  if (!root->selfClosing) {
    document += body;
    document += closeEnd > bodyEnd ? std::string(markup.substr(bodyEnd, closeEnd - bodyEnd))
                                   : std::string("</svg>");
  }
  return document;
}

std::string RecolorDocument(std::string_view document, std::string_view color) {
  std::string out;
  out.reserve(document.size() + 64);
  bool rootSeen = false;
  size_t i = 0;
  while (i < document.size()) {
    const size_t lt = document.find('<', i);
    if (lt == std::string_view::npos) {
      out += document.substr(i);
      break;
    }
    out += document.substr(i, lt - i);
    // Comments, declarations, processing instructions, CDATA and end tags pass unchanged.
    const char next = lt + 1 < document.size() ? document[lt + 1] : '\0';
    if (next == '!' || next == '?' || next == '/') {
      std::string_view closer = ">";
      if (document.substr(lt, 4) == "<!--")
        closer = "-->";
      else if (document.substr(lt, 9) == "<![CDATA[")
        closer = "]]>";
      const size_t end = document.find(closer, lt + 1);
      const size_t stop = end == std::string_view::npos ? document.size() : end + closer.size();
      out += document.substr(lt, stop - lt);
      i = stop;
      continue;
    }
    std::optional<StartTag> tag = ParseStartTag(document, lt);
    if (!tag) {
      out += '<';
      i = lt + 1;
      continue;
    }
    RecolorTag(*tag, color);
    if (!rootSeen && tag->name == "svg") {
      rootSeen = true;
      if (!Find(*tag, "fill"))
        Set(*tag, "fill", color);
      Set(*tag, "color", color);
    }
    out += WriteStartTag(*tag);
    i = tag->end;
  }
  return out;
}

}  // namespace korvane
