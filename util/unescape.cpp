#include "util/unescape.h"

#include "platform/com_apartment.h"
#include "util/char_set.h"
#include "util/gbk_text.h"

namespace korvane {
namespace {

// The right single quotation mark (GBK A1 AF): stands in for "'" while the text sits inside a
// single-quoted script literal.
constexpr std::string_view kQuoteStandIn = "\xA1\xAF";
constexpr std::string_view kLineBreakMarker = "{$}";

// Every occurrence of `from` that begins on a character boundary replaced by `to`.
std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to) {
  std::string out;
  out.reserve(text.size());
  size_t pos = 0;
  while (pos < text.size()) {
    const size_t hit = gbk::FindFromBoundary(text, from, pos);
    if (hit == gbk::npos)
      break;
    out.append(text, pos, hit - pos);
    out.append(to);
    pos = hit + from.size();
  }
  if (pos < text.size())
    out.append(text, pos);
  return out;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  return -1;
}

bool AllHex(std::string_view digits) {
  for (char c : digits) {
    if (HexDigit(c) < 0)
      return false;
  }
  return true;
}

std::string CharacterText(int64_t code) {
  const char bytes[2] = {static_cast<char>(code & 0xFF), static_cast<char>((code >> 8) & 0xFF)};
  return WideToAnsi(std::string_view(bytes, 2));
}

}  // namespace

std::string UnescapeText(std::string_view escapedText, const platform::ScriptHostFactory& factory) {
  std::string prepared = ReplaceAll(escapedText, "\r\n", kLineBreakMarker);
  if (!prepared.empty() && prepared.front() == '\r')
    prepared.erase(0, 1);
  prepared = ReplaceAll(prepared, "\\u", "%u");
  prepared = ReplaceAll(prepared, "'", kQuoteStandIn);

  std::string decoded;
  {
    platform::ComScope apartment;
    // A fresh engine per call: nothing of one reply's script survives into the next.
    std::shared_ptr<platform::ScriptHost> host = factory ? factory() : nullptr;
    if (host && host->AddCode("function xx(){var x='" + prepared + "';return unescape(x);}"))
      decoded = host->Call("xx", {}, platform::ValueForm::kText).text;
    // Computed on every call, whatever the script gave.
    std::string fallback = PercentDecode(prepared);
    if (decoded.empty())
      decoded = std::move(fallback);
  }
  decoded = ReplaceAll(decoded, kQuoteStandIn, "'");
  return ReplaceAll(decoded, kLineBreakMarker, "\r\n");
}

std::string PercentDecode(std::string_view escapedText) {
  std::string out;
  out.reserve(escapedText.size());
  const size_t n = escapedText.size();
  size_t i = 0;
  while (i < n) {
    const char c = escapedText[i];
    if (c != '%') {
      out.push_back(c);
      ++i;
      continue;
    }
    if (i + 1 < n && escapedText[i + 1] == 'u' && n - (i + 2) >= 4) {
      const std::string_view digits = escapedText.substr(i + 2, 4);
      if (AllHex(digits)) {
        out += CharacterText(HexValue(digits));
        i += 6;
        continue;
      }
      out.push_back('%');
      ++i;
      continue;
    }
    if (n - (i + 1) >= 2) {
      const std::string_view digits = escapedText.substr(i + 1, 2);
      if (AllHex(digits)) {
        out += CharacterText(HexValue(digits));
        i += 3;
        continue;
      }
    }
    out.push_back('%');
    ++i;
  }
  return out;
}

int64_t HexValue(std::string_view digits) {
  uint64_t value = 0;
  for (char c : digits) {
    const int digit = HexDigit(c);
    if (digit < 0)
      return -1;
    value = value * 16 + static_cast<uint64_t>(digit);
  }
  return static_cast<int64_t>(value);
}

}  // namespace korvane
