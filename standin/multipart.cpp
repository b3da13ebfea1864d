#include "standin/multipart.h"

#include <algorithm>
#include <cctype>

namespace korvane::standin {
namespace {

constexpr std::string_view kCrlf = "\r\n";

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
    s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
    s.remove_suffix(1);
  return s;
}

// Header parameters: `; key=value` or `; key="value"` pairs after the main value. Returns false
// on a malformed list (an unterminated quote, a pair without '=').
struct Param {
  std::string key, value;
};
bool ParseParams(std::string_view text, std::string& main, std::vector<Param>& params) {
  const size_t semi = text.find(';');
  main = std::string(Trim(text.substr(0, semi)));
  if (semi == std::string_view::npos)
    return true;
  std::string_view rest = text.substr(semi + 1);
  while (true) {
    rest = Trim(rest);
    if (rest.empty())
      return true;
    const size_t eq = rest.find('=');
    if (eq == std::string_view::npos)
      return false;
    Param p;
    p.key = std::string(Trim(rest.substr(0, eq)));
    if (p.key.empty())
      return false;
    rest = Trim(rest.substr(eq + 1));
    if (!rest.empty() && rest.front() == '"') {
      size_t i = 1;
      for (; i < rest.size() && rest[i] != '"'; ++i) {
        if (rest[i] == '\\' && i + 1 < rest.size())
          ++i;
        p.value.push_back(rest[i]);
      }
      if (i >= rest.size())
        return false;
      rest.remove_prefix(i + 1);
      rest = Trim(rest);
      if (!rest.empty() && rest.front() != ';')
        return false;
    } else {
      const size_t end = rest.find(';');
      p.value = std::string(Trim(rest.substr(0, end)));
      rest = end == std::string_view::npos ? std::string_view() : rest.substr(end);
    }
    if (!rest.empty())
      rest.remove_prefix(1);
    params.push_back(std::move(p));
  }
}

const Param* FindParam(const std::vector<Param>& params, std::string_view key) {
  for (const Param& p : params) {
    if (EqualsIgnoreCase(p.key, key))
      return &p;
  }
  return nullptr;
}

MultipartResult Fail(std::string error) {
  MultipartResult r;
  r.error = std::move(error);
  return r;
}

// Parses the header block of one part (the lines before the empty line) into the part.
std::string ParsePartHeaders(std::string_view block, FormPart& part) {
  bool haveDisposition = false;
  while (!block.empty()) {
    const size_t eol = block.find(kCrlf);
    const std::string_view line = block.substr(0, eol);
    block = eol == std::string_view::npos ? std::string_view() : block.substr(eol + 2);
    const size_t colon = line.find(':');
    if (colon == std::string_view::npos || colon == 0)
      return "a part header without a colon";
    const std::string_view name = line.substr(0, colon);
    const std::string_view value = Trim(line.substr(colon + 1));
    std::string main;
    std::vector<Param> params;
    if (!ParseParams(value, main, params))
      return "a malformed part header";
    if (EqualsIgnoreCase(name, "Content-Disposition")) {
      if (haveDisposition)
        return "two Content-Disposition headers in one part";
      haveDisposition = true;
      if (!EqualsIgnoreCase(main, "form-data"))
        return "a part that is not form-data";
      const Param* fieldName = FindParam(params, "name");
      if (!fieldName || fieldName->value.empty())
        return "a part without a field name";
      part.name = fieldName->value;
      if (const Param* filename = FindParam(params, "filename")) {
        part.hasFilename = true;
        part.filename = filename->value;
      }
    } else if (EqualsIgnoreCase(name, "Content-Type")) {
      part.contentType = std::string(value);
    }
  }
  if (!haveDisposition)
    return "a part without Content-Disposition";
  return {};
}

}  // namespace

std::optional<std::string> BoundaryFromContentType(std::string_view contentType) {
  std::string main;
  std::vector<Param> params;
  if (!ParseParams(contentType, main, params) || !EqualsIgnoreCase(main, "multipart/form-data")) {
    return std::nullopt;
  }
  const Param* boundary = FindParam(params, "boundary");
  // RFC 2046 limits a boundary to 70 characters.
  if (!boundary || boundary->value.empty() || boundary->value.size() > 70)
    return std::nullopt;
  return boundary->value;
}

MultipartResult ParseMultipart(std::string_view body, std::string_view boundary, size_t maxParts) {
  if (boundary.empty())
    return Fail("no boundary");
  const std::string dash = "--" + std::string(boundary);
  const std::string delimiter = std::string(kCrlf) + dash;

  // The first delimiter either opens the body or follows a CR LF that ends the preamble.
  size_t pos;
  if (body.substr(0, dash.size()) == dash) {
    pos = dash.size();
  } else {
    const size_t first = body.find(delimiter);
    if (first == std::string_view::npos)
      return Fail("the body holds no boundary line");
    pos = first + delimiter.size();
  }

  MultipartResult result;
  while (true) {
    // After a delimiter: "--" closes the body, otherwise optional padding and a line end.
    if (body.substr(pos, 2) == "--") {
      result.ok = true;
      return result;
    }
    while (pos < body.size() && (body[pos] == ' ' || body[pos] == '\t'))
      ++pos;
    if (body.substr(pos, 2) != kCrlf)
      return Fail("a boundary line with text after it");
    pos += 2;

    if (result.parts.size() >= maxParts)
      return Fail("too many parts");
    // A form-data part needs at least its Content-Disposition line.
    if (body.substr(pos, 2) == kCrlf)
      return Fail("a part without headers");
    const size_t headersEnd = body.find("\r\n\r\n", pos);
    if (headersEnd == std::string_view::npos)
      return Fail("a part whose headers never end");
    FormPart part;
    std::string error = ParsePartHeaders(body.substr(pos, headersEnd - pos), part);
    if (!error.empty())
      return Fail(std::move(error));
    const size_t dataStart = headersEnd + 4;
    const size_t next = body.find(delimiter, dataStart);
    if (next == std::string_view::npos)
      return Fail("a part without a closing boundary");
    part.data = std::string(body.substr(dataStart, next - dataStart));
    result.parts.push_back(std::move(part));
    pos = next + delimiter.size();
  }
}

const FormPart* FindPart(const std::vector<FormPart>& parts, std::string_view name) {
  for (const FormPart& p : parts) {
    if (p.name == name)
      return &p;
  }
  return nullptr;
}

}  // namespace korvane::standin
