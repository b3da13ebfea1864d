// Reads a multipart/form-data request body the way a web server does: the boundary from the
// Content-Type header, then each part's Content-Disposition and Content-Type and its bytes.
// It is strict, so a client that writes a broken body is told so rather than half-understood.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace korvane::standin {

// One field of a form.
struct FormPart {
  std::string name;          // the Content-Disposition name
  bool hasFilename = false;  // whether the part named a filename (a file field)
  std::string filename;
  std::string contentType;  // the part's own Content-Type, empty when it has none
  std::string data;         // the part's bytes, without the CR LF that precedes the delimiter
};

struct MultipartResult {
  bool ok = false;
  std::string error;  // what was wrong, for the 400 reply; empty when ok
  std::vector<FormPart> parts;
};

// The boundary of a "multipart/form-data; boundary=..." header value (quoted or not); nothing
// when the type is another one or the boundary is missing, empty or longer than 70 characters.
std::optional<std::string> BoundaryFromContentType(std::string_view contentType);

// Splits a body at its delimiter lines. The body may start with a preamble (a client that opens
// with CR LF has one); it must end with the close delimiter. Each part needs a form-data
// Content-Disposition with a name. At most maxParts parts are accepted.
MultipartResult ParseMultipart(std::string_view body, std::string_view boundary,
                               size_t maxParts = 32);

// The first part with this field name, or nullptr.
const FormPart* FindPart(const std::vector<FormPart>& parts, std::string_view name);

}  // namespace korvane::standin
