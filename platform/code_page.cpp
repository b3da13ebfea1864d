#include "platform/code_page.h"

#include <iconv.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <utility>

namespace korvane::platform {
namespace {

struct CodePageName {
  unsigned codePage;
  const char* charset;
};

// The Windows code pages a caller may name, with the iconv charset that holds the same table.
constexpr std::array<CodePageName, 44> kCodePages{{
    {0, "CP936"},      {437, "CP437"},    {708, "ISO-8859-6"},  {737, "CP737"},
    {775, "CP775"},    {850, "CP850"},    {852, "CP852"},       {855, "CP855"},
    {857, "CP857"},    {860, "CP860"},    {861, "CP861"},       {862, "CP862"},
    {863, "CP863"},    {864, "CP864"},    {865, "CP865"},       {866, "CP866"},
    {869, "CP869"},    {874, "CP874"},    {932, "CP932"},       {936, "CP936"},
    {949, "CP949"},    {950, "CP950"},    {1200, "UTF-16LE"},   {1201, "UTF-16BE"},
    {1250, "CP1250"},  {1251, "CP1251"},  {1252, "CP1252"},     {1253, "CP1253"},
    {1254, "CP1254"},  {1255, "CP1255"},  {1256, "CP1256"},     {1257, "CP1257"},
    {1258, "CP1258"},  {1361, "JOHAB"},   {10000, "MACINTOSH"}, {20127, "ASCII"},
    {20866, "KOI8-R"}, {20936, "GB2312"}, {21866, "KOI8-U"},    {28591, "ISO-8859-1"},
    {51932, "EUC-JP"}, {51949, "EUC-KR"}, {54936, "GB18030"},   {65001, "UTF-8"},
}};

// ISO-8859-2 to -15 follow one numbering rule (28592 to 28605).
std::string IsoCharset(unsigned codePage) {
  if (codePage >= 28592 && codePage <= 28605 && codePage != 28600 && codePage != 28601 &&
      codePage != 28602 && codePage != 28604) {
    return "ISO-8859-" + std::to_string(codePage - 28590);
  }
  return {};
}

class Converter {
 public:
  Converter(const char* to, const char* from) : handle_(iconv_open(to, from)) {}
  ~Converter() {
    if (ok())
      iconv_close(handle_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  bool ok() const { return handle_ != reinterpret_cast<iconv_t>(-1); }

  // Converts as much of [in, in + inLeft) as it can, appending to `out`. Returns errno of the
  // stop (0 when everything was converted) and leaves `in`/`inLeft` at the first unconverted byte.
  int Run(const char*& in, size_t& inLeft, std::string& out) {
    std::array<char, 8192> buffer;
    while (inLeft > 0) {
      char* outPtr = buffer.data();
      size_t outLeft = buffer.size();
      char* inPtr = const_cast<char*>(in);
      size_t rc = iconv(handle_, &inPtr, &inLeft, &outPtr, &outLeft);
      int error = rc == static_cast<size_t>(-1) ? errno : 0;
      in = inPtr;
      out.append(buffer.data(), buffer.size() - outLeft);
      if (error == E2BIG)
        continue;
      if (error != 0)
        return error;
    }
    // Flush any shift state (stateful encodings such as UTF-7 or HZ).
    char* outPtr = buffer.data();
    size_t outLeft = buffer.size();
    iconv(handle_, nullptr, nullptr, &outPtr, &outLeft);
    out.append(buffer.data(), buffer.size() - outLeft);
    return 0;
  }

 private:
  iconv_t handle_;
};

}  // namespace

std::string CharsetForCodePage(unsigned codePage) {
  for (const auto& entry : kCodePages) {
    if (entry.codePage == codePage)
      return entry.charset;
  }
  return IsoCharset(codePage);
}

std::optional<std::u16string> DecodeCharset(std::string_view charset, std::string_view bytes) {
  Converter converter("UTF-16LE", std::string(charset).c_str());
  if (!converter.ok())
    return std::nullopt;
  std::string utf16;
  utf16.reserve(bytes.size() * 2);
  const char* in = bytes.data();
  size_t inLeft = bytes.size();
  while (inLeft > 0) {
    if (converter.Run(in, inLeft, utf16) == 0)
      break;
    // Invalid or truncated sequence: one replacement character for the byte, then go on.
    utf16.append("\xFD\xFF", 2);
    ++in;
    --inLeft;
  }
  return BytesToUtf16(utf16);
}

std::optional<std::string> EncodeCharset(std::string_view charset, std::u16string_view units) {
  Converter converter(std::string(charset).c_str(), "UTF-16LE");
  if (!converter.ok())
    return std::nullopt;
  const std::string bytes = Utf16ToBytes(units);
  std::string out;
  out.reserve(units.size() * 2);
  const char* in = bytes.data();
  size_t inLeft = bytes.size();
  while (inLeft > 0) {
    if (converter.Run(in, inLeft, out) == 0)
      break;
    // A character the target lacks or a lone surrogate: the default character, then skip the
    // code unit (both units of a valid surrogate pair).
    out.push_back('?');
    size_t skip = 2;
    if (inLeft >= 4) {
      const auto high = static_cast<unsigned char>(in[1]);
      const auto nextHigh = static_cast<unsigned char>(in[3]);
      if (high >= 0xD8 && high <= 0xDB && nextHigh >= 0xDC && nextHigh <= 0xDF)
        skip = 4;
    }
    skip = std::min(skip, inLeft);
    in += skip;
    inLeft -= skip;
  }
  return out;
}

std::optional<std::u16string> DecodeCodePage(unsigned codePage, std::string_view bytes) {
  const std::string charset = CharsetForCodePage(codePage);
  if (charset.empty())
    return std::nullopt;
  return DecodeCharset(charset, bytes);
}

std::optional<std::string> EncodeCodePage(unsigned codePage, std::u16string_view units) {
  const std::string charset = CharsetForCodePage(codePage);
  if (charset.empty())
    return std::nullopt;
  return EncodeCharset(charset, units);
}

std::string RecodeText(std::string_view text, unsigned from, unsigned to) {
  const auto units = DecodeCodePage(from, text);
  if (!units)
    return {};
  return EncodeCodePage(to, *units).value_or(std::string());
}

std::string Utf16ToBytes(std::u16string_view units) {
  std::string bytes;
  bytes.resize(units.size() * 2);
  for (size_t i = 0; i < units.size(); ++i) {
    bytes[2 * i] = static_cast<char>(units[i] & 0xFF);
    bytes[2 * i + 1] = static_cast<char>(units[i] >> 8);
  }
  return bytes;
}

std::u16string BytesToUtf16(std::string_view bytes) {
  std::u16string units(bytes.size() / 2, u'\0');
  for (size_t i = 0; i < units.size(); ++i) {
    units[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                     (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
  }
  return units;
}

}  // namespace korvane::platform
