// Re-encodes one UTF-8 source file as GB18030 for the clang fuzz build. clang only executes
// UTF-8 literals (it rejects -fexec-charset=GB18030) but copies the bytes of a narrow literal
// as they stand in the file, so a source already in GB18030 gives the same GBK literals that GCC
// makes from the UTF-8 original. Refuses a file whose converted bytes would not mean the same:
// a double-byte character with a trail byte 0x5C would read as a backslash (an escape in a
// literal, a line continuation in a comment), and a u8"" literal with non-ASCII text must stay
// UTF-8.
//
// Usage: gb18030_source INPUT OUTPUT

#include <iconv.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

namespace {

bool Convert(const std::string& in, std::string& out) {
  iconv_t cd = iconv_open("GB18030", "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1))
    return false;
  out.assign(in.size() * 4 + 16, '\0');
  char* inPtr = const_cast<char*>(in.data());
  size_t inLeft = in.size();
  char* outPtr = out.data();
  size_t outLeft = out.size();
  const size_t rc = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
  iconv_close(cd);
  if (rc == static_cast<size_t>(-1) || inLeft != 0)
    return false;
  out.resize(out.size() - outLeft);
  return true;
}

// The 1-based line of byte `pos`.
int LineOf(const std::string& text, size_t pos) {
  int line = 1;
  for (size_t i = 0; i < pos && i < text.size(); ++i)
    line += text[i] == '\n' ? 1 : 0;
  return line;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s INPUT OUTPUT\n", argv[0]);
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "%s: cannot read\n", argv[1]);
    return 1;
  }
  const std::string source{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};

  for (size_t pos = source.find("u8\""); pos != std::string::npos;
       pos = source.find("u8\"", pos + 3)) {
    const size_t end = source.find_first_of("\"\n", pos + 3);
    for (size_t i = pos + 3; i < end && i < source.size(); ++i) {
      if (static_cast<unsigned char>(source[i]) >= 0x80) {
        std::fprintf(stderr, "%s:%d: a u8 literal with non-ASCII text cannot be re-encoded\n",
                     argv[1], LineOf(source, pos));
        return 1;
      }
    }
  }

  std::string converted;
  if (!Convert(source, converted)) {
    std::fprintf(stderr, "%s: not valid UTF-8\n", argv[1]);
    return 1;
  }
  for (size_t i = 0; i < converted.size(); ++i) {
    const auto lead = static_cast<unsigned char>(converted[i]);
    if (lead < 0x81)
      continue;
    if (i + 1 < converted.size() && converted[i + 1] >= '0' && converted[i + 1] <= '9') {
      i += 3;  // a four-byte sequence: its second and fourth bytes are digits
      continue;
    }
    if (i + 1 < converted.size() && converted[i + 1] == '\\') {
      std::fprintf(stderr, "%s:%d: a character whose GB18030 form ends in a backslash\n", argv[1],
                   LineOf(converted, i));
      return 1;
    }
    ++i;
  }

  std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
  out.write(converted.data(), static_cast<std::streamsize>(converted.size()));
  return out ? 0 : 1;
}
