// The structure check every PNG passes before it is saved: a picture that a converter cut short,
// or one whose bytes were damaged on the way, never lands in the folder as if it were whole.
#pragma once

#include <cstdint>
#include <stop_token>
#include <string_view>

namespace korvane {

// What is wrong with a would-be PNG, the first fault found from the start of the data.
enum class PngFault {
  kNone,            // a whole PNG: signature, IHDR first, every chunk complete, IEND last
  kNoSignature,     // the data does not start with the eight-byte PNG signature
  kTruncatedChunk,  // a chunk's header, data or CRC runs past the end of the data
  kBadLength,       // a chunk length above 2^31 - 1
  kBadChunkType,    // a chunk type that is not four ASCII letters
  kBadCrc,          // a chunk's CRC does not match its type and data
  kIhdrNotFirst,    // the first chunk is not a 13-byte IHDR
  kNoImageData,     // no IDAT chunk before IEND
  kNoIend,          // the data ends without an IEND chunk
  kDataAfterIend,   // bytes follow the IEND chunk
  kStopped,         // a stop request ended the check before it was done
};

// Checks the chunk structure of `bytes`: the signature, IHDR (13 bytes of data) as the first
// chunk, each chunk's length within the data and its CRC right, at least one IDAT, and IEND as
// the last chunk with nothing after it. The pixels themselves are not decoded. `stop` is checked
// at least once a megabyte, so a stop is not held up by a large picture.
PngFault CheckPngStructure(std::string_view bytes, std::stop_token stop = {});

// A short English description of a fault ("truncated chunk", ...), for failure reports.
std::string_view PngFaultText(PngFault fault);

// The CRC-32 of PNG chunks (ISO 3309, as zlib computes it), continued from `crc` (0 to start).
uint32_t PngCrc32(std::string_view bytes, uint32_t crc = 0);

}  // namespace korvane
