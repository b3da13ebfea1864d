#include "platform/code_page.h"

#include <iconv.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <optional>
#include <utility>
#include <vector>

namespace korvane::platform {
namespace {

constexpr char16_t kReplacement = 0xFFFD;

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

// Code page 936 as Windows has it: GBK plus the euro sign (which iconv's CP936 already
// holds) plus a private-use character for every lead and trail byte pair that GBK leaves empty.
// iconv rejects those pairs; without this a text keeping user-defined characters would lose them,
// and a decoder that stepped one byte at a time would take the trail byte for the next lead.
//
// The user-defined areas map by formula: AAA1-AFFE to U+E000, F8A1-FEFE to U+E234 (94 a row),
// A140-A7A0 to U+E4C6 (96 a row, trail bytes 40-7E and 80-A0).
constexpr char16_t kUserAreaFirst = 0xE000;
constexpr char16_t kLowRowsFirst = 0xE234;   // F8A1
constexpr char16_t kLowTrailFirst = 0xE4C6;  // A140
constexpr char16_t kGapFirst = 0xE766;
constexpr char16_t kGapLast = 0xE864;

struct GbkRange {
  unsigned short first;
  unsigned short last;  // same lead byte as `first`
};

// The other empty pairs, in code order, take U+E766 to U+E864 one after the other.
constexpr std::array<GbkRange, 27> kGbkGaps{{
    {0xA2AB, 0xA2B0}, {0xA2E3, 0xA2E4}, {0xA2EF, 0xA2F0}, {0xA2FD, 0xA2FE}, {0xA4F4, 0xA4FE},
    {0xA5F7, 0xA5FE}, {0xA6B9, 0xA6C0}, {0xA6D9, 0xA6DF}, {0xA6EC, 0xA6ED}, {0xA6F3, 0xA6F3},
    {0xA6F6, 0xA6FE}, {0xA7C2, 0xA7D0}, {0xA7F2, 0xA7FE}, {0xA896, 0xA8A0}, {0xA8BC, 0xA8BC},
    {0xA8BF, 0xA8BF}, {0xA8C1, 0xA8C4}, {0xA8EA, 0xA8FE}, {0xA958, 0xA958}, {0xA95B, 0xA95B},
    {0xA95D, 0xA95F}, {0xA989, 0xA995}, {0xA997, 0xA9A3}, {0xA9F0, 0xA9FE}, {0xD7FA, 0xD7FE},
    {0xFE50, 0xFE7E}, {0xFE80, 0xFEA0},
}};

bool IsGbkLead(unsigned char c) {
  return c >= 0x81 && c <= 0xFE;
}

bool IsGbkTrail(unsigned char c) {
  return (c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFE);
}

// The private-use character of the pair lead/trail, or 0 when the pair has none.
char16_t GbkPairToPrivateUse(unsigned char lead, unsigned char trail) {
  if (lead >= 0xAA && lead <= 0xAF && trail >= 0xA1 && trail <= 0xFE)
    return static_cast<char16_t>(kUserAreaFirst + (lead - 0xAA) * 94 + (trail - 0xA1));
  if (lead >= 0xF8 && lead <= 0xFE && trail >= 0xA1 && trail <= 0xFE)
    return static_cast<char16_t>(kLowRowsFirst + (lead - 0xF8) * 94 + (trail - 0xA1));
  if (lead >= 0xA1 && lead <= 0xA7 && trail >= 0x40 && trail <= 0xA0 && trail != 0x7F)
    return static_cast<char16_t>(kLowTrailFirst + (lead - 0xA1) * 96 + (trail - 0x40) -
                                 (trail > 0x7F ? 1 : 0));
  const unsigned code = lead << 8 | trail;
  unsigned offset = 0;
  for (const GbkRange& range : kGbkGaps) {
    if (code >= range.first && code <= range.last)
      return static_cast<char16_t>(kGapFirst + offset + (code - range.first));
    offset += range.last - range.first + 1;
  }
  return 0;
}

// The pair for a private-use character, or 0 when it is not one of code page 936's.
unsigned PrivateUseToGbkPair(char16_t unit) {
  if (unit >= kUserAreaFirst && unit < kLowRowsFirst) {
    const unsigned i = unit - kUserAreaFirst;
    return (0xAA + i / 94) << 8 | (0xA1 + i % 94);
  }
  if (unit >= kLowRowsFirst && unit < kLowTrailFirst) {
    const unsigned i = unit - kLowRowsFirst;
    return (0xF8 + i / 94) << 8 | (0xA1 + i % 94);
  }
  if (unit >= kLowTrailFirst && unit < kGapFirst) {
    const unsigned i = unit - kLowTrailFirst;
    const unsigned trail = 0x40 + i % 96;
    return (0xA1 + i / 96) << 8 | (trail >= 0x7F ? trail + 1 : trail);
  }
  if (unit >= kGapFirst && unit <= kGapLast) {
    unsigned i = unit - kGapFirst;
    for (const GbkRange& range : kGbkGaps) {
      const unsigned size = range.last - range.first + 1u;
      if (i < size)
        return range.first + i;
      i -= size;
    }
  }
  return 0;
}

// The iconv names under which this tool asks for code page 936.
bool IsCodePage936(std::string_view charset) {
  std::string upper(charset);
  for (char& c : upper) {
    if (c >= 'a' && c <= 'z')
      c = static_cast<char>(c - 'a' + 'A');
  }
  return upper == "CP936" || upper == "GBK" || upper == "MS936" || upper == "WINDOWS-936";
}

void AppendUnit(std::string& utf16, char16_t unit) {
  utf16.push_back(static_cast<char>(unit & 0xFF));
  utf16.push_back(static_cast<char>(unit >> 8));
}

// The converters a thread has opened, kept for its next conversion: opening one reads the
// charset's tables, which costs more than converting a short text. A converter is taken out while
// a conversion uses it (so a nested conversion between the same charsets opens its own) and comes
// back in its initial shift state. At most one is kept per pair and a few pairs in all, the
// longest unused going first.
class ConverterPool {
 public:
  struct Entry {
    std::string to;
    std::string from;
    iconv_t handle = reinterpret_cast<iconv_t>(-1);
  };

  ConverterPool() = default;
  ConverterPool(const ConverterPool&) = delete;
  ConverterPool& operator=(const ConverterPool&) = delete;
  ~ConverterPool() {
    for (Entry& entry : free_)
      iconv_close(entry.handle);
  }

  // A converter from `from` to `to`; its handle is (iconv_t)-1 when iconv does not know either.
  Entry Take(std::string_view to, std::string_view from) {
    for (auto it = free_.begin(); it != free_.end(); ++it) {
      if (it->to == to && it->from == from) {
        Entry entry = std::move(*it);
        free_.erase(it);
        return entry;
      }
    }
    Entry entry{std::string(to), std::string(from), {}};
    entry.handle = iconv_open(entry.to.c_str(), entry.from.c_str());
    return entry;
  }

  void Give(Entry entry) {
    if (entry.handle == reinterpret_cast<iconv_t>(-1))
      return;
    const bool kept = std::any_of(free_.begin(), free_.end(), [&](const Entry& other) {
      return other.to == entry.to && other.from == entry.from;
    });
    if (kept) {
      iconv_close(entry.handle);
      return;
    }
    iconv(entry.handle, nullptr, nullptr, nullptr, nullptr);  // back to the initial state
    if (free_.size() >= kMaxKept) {
      iconv_close(free_.front().handle);
      free_.erase(free_.begin());
    }
    free_.push_back(std::move(entry));
  }

 private:
  static constexpr size_t kMaxKept = 16;
  std::vector<Entry> free_;  // the most recently used last
};

ConverterPool& ThreadConverters() {
  thread_local ConverterPool pool;
  return pool;
}

class Converter {
 public:
  Converter(std::string_view to, std::string_view from)
      : entry_(ThreadConverters().Take(to, from)), handle_(entry_.handle) {}
  ~Converter() { ThreadConverters().Give(std::move(entry_)); }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  bool ok() const { return handle_ != reinterpret_cast<iconv_t>(-1); }
  iconv_t handle() const { return handle_; }

  // Converts input[pos, end) as far as it can, appending to `out`, and moves `pos` to where the
  // converter stopped. Returns the errno of the stop, 0 when everything was converted (then the
  // shift state is also closed when `finish`). Not every converter stops where POSIX says: some
  // report an invalid sequence after having consumed it. `pos` therefore only ever moves forward
  // and never past the end, whatever the converter reports.
  int Run(std::string_view input, size_t& pos, std::string& out, bool finish = true) {
    std::array<char, 8192> buffer;
    while (pos < input.size()) {
      const char* start = input.data() + pos;
      char* inPtr = const_cast<char*>(start);
      size_t inLeft = input.size() - pos;
      char* outPtr = buffer.data();
      size_t outLeft = buffer.size();
      const size_t rc = iconv(handle_, &inPtr, &inLeft, &outPtr, &outLeft);
      const int error = rc == static_cast<size_t>(-1) ? errno : 0;
      const size_t written = buffer.size() - outLeft;
      out.append(buffer.data(), written);
      const size_t consumed = inPtr > start ? static_cast<size_t>(inPtr - start) : 0;
      pos += std::min(consumed, input.size() - pos);
      if (error == E2BIG && (consumed > 0 || written > 0))
        continue;
      if (error != 0)
        return error;
    }
    if (finish) {
      // Close any shift state (stateful encodings such as ISO-2022 or HZ).
      char* outPtr = buffer.data();
      size_t outLeft = buffer.size();
      iconv(handle_, nullptr, nullptr, &outPtr, &outLeft);
      out.append(buffer.data(), buffer.size() - outLeft);
    }
    return 0;
  }

 private:
  ConverterPool::Entry entry_;
  iconv_t handle_;
};

// Converts all of `input`. Every sequence the converter stops at goes to `onBad`, which appends
// what stands for it and returns how many bytes it takes (at least one); `onSwallowed` appends
// the stand-in for a sequence the converter consumed before it stopped.
//
// Where the converter stopped right where it began, the bad sequence starts there. Where it had
// consumed some bytes first, it may have swallowed the bad sequence (iconv's CP949/UHC and
// ISO-2022-CN-EXT do): asking it again over the next few bytes tells which. If it goes on, the
// swallowed sequence gets its stand-in and nothing after it is lost; if it stops again at once,
// the bad sequence starts there after all. The question costs one short call, however long the
// text: no character is longer than the few bytes asked about.
template <typename OnBad, typename OnSwallowed>
void ConvertAll(Converter& converter, std::string_view input, std::string& out, OnBad onBad,
                OnSwallowed onSwallowed) {
  constexpr size_t kProbeBytes = 16;
  size_t start = 0;
  size_t pos = 0;
  int error = converter.Run(input, pos, out);
  while (error != 0) {
    if (pos >= input.size()) {
      onSwallowed(out);  // at the very end
      break;
    }
    if (pos != start) {
      size_t probe = pos;
      std::string more;
      converter.Run(input.substr(0, std::min(input.size(), pos + kProbeBytes)), probe, more, false);
      if (probe != pos) {
        onSwallowed(out);
        out += more;
        start = pos = probe;
        error = converter.Run(input, pos, out);
        continue;
      }
    }
    pos += std::max<size_t>(1, onBad(input, pos, out));
    start = pos;
    error = converter.Run(input, pos, out);
  }
}

// Decoding: a replacement character for each byte that cannot start a character. In code page
// 936 a lead byte with a trail byte is one character even where GBK has none for it.
size_t DecodeBadSequence(bool cp936, std::string_view in, size_t pos, std::string& utf16) {
  const auto lead = static_cast<unsigned char>(in[pos]);
  if (cp936 && pos + 1 < in.size() && IsGbkLead(lead) &&
      IsGbkTrail(static_cast<unsigned char>(in[pos + 1]))) {
    const char16_t unit = GbkPairToPrivateUse(lead, static_cast<unsigned char>(in[pos + 1]));
    AppendUnit(utf16, unit != 0 ? unit : kReplacement);
    return 2;
  }
  AppendUnit(utf16, kReplacement);
  return 1;
}

char16_t UnitAt(std::string_view utf16, size_t pos) {
  return static_cast<char16_t>(static_cast<unsigned char>(utf16[pos]) |
                               static_cast<unsigned char>(utf16[pos + 1]) << 8);
}

// The default character as `charset` writes it: '?' in every code page, two bytes in UTF-16.
std::string DefaultCharacter(std::string_view charset) {
  Converter converter(charset, "UTF-16LE");
  std::string text;
  size_t pos = 0;
  if (!converter.ok() || converter.Run(std::string_view("?\0", 2), pos, text, false) != 0 ||
      text.empty())
    return "?";
  return text;
}

// Encoding: a code page 936 private-use character becomes its pair; anything else the target
// lacks, and a lone surrogate, becomes the default character and is skipped (both units of a
// valid surrogate pair).
size_t EncodeBadUnit(bool cp936, const std::string& defaultCharacter, std::string_view in,
                     size_t pos, std::string& out) {
  const size_t left = in.size() - pos;
  if (left < 2) {
    out += defaultCharacter;
    return left;
  }
  const char16_t unit = UnitAt(in, pos);
  if (cp936) {
    if (const unsigned pair = PrivateUseToGbkPair(unit); pair != 0) {
      out.push_back(static_cast<char>(pair >> 8));
      out.push_back(static_cast<char>(pair & 0xFF));
      return 2;
    }
  }
  out += defaultCharacter;
  if (left >= 4 && unit >= 0xD800 && unit <= 0xDBFF) {
    const char16_t next = UnitAt(in, pos + 2);
    if (next >= 0xDC00 && next <= 0xDFFF)
      return 4;
  }
  return 2;
}

// Text in a charset that stores ASCII as itself can skip its converter while it stays ASCII.
bool IsAscii(char c) {
  return (static_cast<unsigned char>(c) & 0x80) == 0;
}

// The end of the run of ASCII bytes that starts at `pos`, eight bytes at a time.
size_t AsciiEnd(std::string_view text, size_t pos) {
  constexpr uint64_t kHighBits = 0x8080808080808080u;
  while (pos + 8 <= text.size()) {
    uint64_t word;
    std::memcpy(&word, text.data() + pos, sizeof word);
    if ((word & kHighBits) != 0)
      break;
    pos += 8;
  }
  while (pos < text.size() && IsAscii(text[pos]))
    ++pos;
  return pos;
}

// The end of the stretch that starts at `pos` (a non-ASCII byte) and goes to the converter: the
// first run of kAsciiRun ASCII bytes or more, or the end. Shorter runs stay inside, so a text of
// mostly non-ASCII characters costs few converter calls; ASCII never changes meaning there.
size_t StretchEnd(std::string_view text, size_t pos) {
  constexpr size_t kAsciiRun = 16;
  while (pos < text.size()) {
    while (pos < text.size() && !IsAscii(text[pos]))
      ++pos;
    const size_t run = AsciiEnd(text, pos);
    if (run - pos >= kAsciiRun || run == text.size())
      return pos;
    pos = run;
  }
  return pos;
}

// The code pages whose text keeps every ASCII byte as the same character.
bool KeepsAscii(unsigned codePage) {
  return codePage == kCodePageAnsi || codePage == kCodePageGbk || codePage == kCodePageUtf8;
}

}  // namespace

std::string CharsetForCodePage(unsigned codePage) {
  for (const auto& entry : kCodePages) {
    if (entry.codePage == codePage)
      return entry.charset;
  }
  return IsoCharset(codePage);
}

std::optional<std::u16string> DecodeCharset(std::string_view charset, std::string_view bytes) {
  Converter converter("UTF-16LE", charset);
  if (!converter.ok())
    return std::nullopt;
  const bool cp936 = IsCodePage936(charset);
  std::string utf16;
  utf16.reserve(bytes.size() * 2);
  ConvertAll(
      converter, bytes, utf16,
      [cp936](std::string_view in, size_t pos, std::string& out) {
        return DecodeBadSequence(cp936, in, pos, out);
      },
      [](std::string& out) { AppendUnit(out, kReplacement); });
  return BytesToUtf16(utf16);
}

std::optional<std::string> EncodeCharset(std::string_view charset, std::u16string_view units) {
  Converter converter(charset, "UTF-16LE");
  if (!converter.ok())
    return std::nullopt;
  const bool cp936 = IsCodePage936(charset);
  std::string defaultCharacter;  // looked up at the first character that needs it
  const auto replacement = [&]() -> const std::string& {
    if (defaultCharacter.empty())
      defaultCharacter = DefaultCharacter(charset);
    return defaultCharacter;
  };
  const std::string bytes = Utf16ToBytes(units);
  std::string out;
  out.reserve(units.size() * 2);
  ConvertAll(
      converter, bytes, out,
      [&](std::string_view in, size_t pos, std::string& text) {
        return EncodeBadUnit(cp936, replacement(), in, pos, text);
      },
      [&](std::string& text) { text += replacement(); });
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

namespace {

// How many bytes the UTF-8 character starting with `lead` claims (1 for a byte that cannot start
// one: the decoder refuses it alone).
size_t Utf8Length(unsigned char lead) {
  if ((lead & 0xE0) == 0xC0)
    return 2;
  if ((lead & 0xF0) == 0xE0)
    return 3;
  if ((lead & 0xF8) == 0xF0)
    return 4;
  return 1;
}

// What the two-step path (UTF-8 to UTF-16, then to code page 936) writes for the sequence at
// `pos`, where the direct converter stopped; returns how many bytes it stands for. The UTF-8
// decoder itself says whether a character starts there: if so, GBK lacks it, and it becomes its
// private-use pair or the default character, as EncodeCharset makes it; if not, the byte becomes
// a U+FFFD, which GBK writes as the default character too.
size_t AppendStandIn(Converter& decoder, std::string_view text, size_t pos, std::string& out,
                     size_t& used) {
  static const std::string kDefault = DefaultCharacter("CP936");
  static const std::string kBadByte =
      EncodeCharset("CP936", std::u16string(1, kReplacement)).value_or("?");
  const size_t length =
      std::min(Utf8Length(static_cast<unsigned char>(text[pos])), text.size() - pos);
  char* in = const_cast<char*>(text.data() + pos);
  size_t inLeft = length;
  std::array<char, 4> units{};
  char* unitsPtr = units.data();
  size_t unitsLeft = units.size();
  const bool whole =
      decoder.ok() &&
      iconv(decoder.handle(), &in, &inLeft, &unitsPtr, &unitsLeft) != static_cast<size_t>(-1) &&
      inLeft == 0 && unitsLeft < units.size();
  iconv(decoder.handle(), nullptr, nullptr, nullptr, nullptr);
  std::string standIn = kBadByte;
  size_t taken = 1;
  if (whole) {
    standIn = kDefault;
    taken = length;
    if (unitsLeft == 2) {  // one unit: a character of the basic plane
      if (const unsigned pair = PrivateUseToGbkPair(UnitAt(std::string_view(units.data(), 2), 0));
          pair != 0) {
        standIn = {static_cast<char>(pair >> 8), static_cast<char>(pair & 0xFF)};
      }
    }
  }
  if (out.size() - used < standIn.size())
    out.resize(used + standIn.size());
  std::memcpy(out.data() + used, standIn.data(), standIn.size());
  used += standIn.size();
  return taken;
}

// UTF-8 straight to code page 936, with the same result as decoding to UTF-16 and encoding that:
// ASCII is copied, everything else goes through one UTF-8 to CP936 converter, and where it stops,
// AppendStandIn writes what the two steps would have written. Nothing is held but the input and
// the result, which is never longer (GBK takes at most as many bytes as UTF-8 for a character,
// and every stand-in at most as many as it stands for).
std::string Utf8ToCp936(std::string_view text) {
  std::string out(text.size(), '\0');
  size_t used = 0;
  size_t pos = 0;
  std::optional<Converter> converter;  // opened at the first non-ASCII byte
  std::optional<Converter> decoder;    // at the first stop
  while (pos < text.size()) {
    const size_t ascii = AsciiEnd(text, pos);
    std::memcpy(out.data() + used, text.data() + pos, ascii - pos);
    used += ascii - pos;
    pos = ascii;
    if (pos == text.size())
      break;
    const size_t end = StretchEnd(text, pos);
    if (!converter)
      converter.emplace("CP936", "UTF-8");
    if (!converter->ok())
      return {};
    while (pos < end) {
      char* in = const_cast<char*>(text.data() + pos);
      size_t inLeft = end - pos;
      if (out.size() - used < inLeft)
        out.resize(used + inLeft);
      char* outPtr = out.data() + used;
      size_t outLeft = out.size() - used;
      const size_t rc = iconv(converter->handle(), &in, &inLeft, &outPtr, &outLeft);
      const int error = rc == static_cast<size_t>(-1) ? errno : 0;
      used = static_cast<size_t>(outPtr - out.data());
      pos = std::clamp(static_cast<size_t>(in - text.data()), pos, end);
      if (error == 0)
        break;
      if (error == E2BIG) {
        out.resize(out.size() + (end - pos) + 16);
        continue;
      }
      if (!decoder)
        decoder.emplace("UTF-16LE", "UTF-8");
      pos += AppendStandIn(*decoder, text, pos, out, used);
    }
  }
  out.resize(used);
  return out;
}

}  // namespace

std::string RecodeText(std::string_view text, unsigned from, unsigned to) {
  if (from == kCodePageUtf8 && (to == kCodePageGbk || to == kCodePageAnsi)) {
    if (std::string direct = Utf8ToCp936(text); !direct.empty() || text.empty())
      return direct;
  } else if (KeepsAscii(from) && KeepsAscii(to) && AsciiEnd(text, 0) == text.size()) {
    return std::string(text);
  }
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
