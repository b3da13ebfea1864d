#include "standin/multipart.h"

#include <gtest/gtest.h>

#include "standin_test_support.h"

namespace korvane::standin {
namespace {

using testing::kBoundary;

TEST(Multipart, ReadsTheToolsUploadBody) {
  const std::string document = testing::ToolDocument("\"M0 0L10 10Z\\\" fill=\"#000\\\"></path>");
  const std::string body =
      testing::UploadBody("101530.svg", "o_abcdefghijklmnopqrstuvwxyz12", document);
  const MultipartResult r = ParseMultipart(body, kBoundary);
  ASSERT_TRUE(r.ok) << r.error;
  ASSERT_EQ(r.parts.size(), 3u);
  EXPECT_EQ(r.parts[0].name, "name");
  EXPECT_FALSE(r.parts[0].hasFilename);
  EXPECT_EQ(r.parts[0].data, "101530.svg");
  EXPECT_EQ(r.parts[1].name, "id");
  EXPECT_EQ(r.parts[1].data, "o_abcdefghijklmnopqrstuvwxyz12");
  const FormPart* file = FindPart(r.parts, "file");
  ASSERT_NE(file, nullptr);
  EXPECT_TRUE(file->hasFilename);
  EXPECT_EQ(file->filename, "101530.svg");
  EXPECT_EQ(file->contentType, "image/svg+xml");
  // The document's own CR LF and the one that ends the file's line stay with the file; the CR LF
  // of the empty line before the closing delimiter belongs to the delimiter.
  EXPECT_EQ(file->data, document + "\r\n");
  EXPECT_EQ(FindPart(r.parts, "other"), nullptr);
}

TEST(Multipart, BoundaryFromContentType) {
  const struct {
    const char* header;
    const char* boundary;  // nullptr: none
  } cases[] = {
      {testing::kUploadContentType, kBoundary},
      {"Multipart/Form-Data;boundary=\"a b\"", "a b"},
      {"multipart/form-data; charset=utf-8; boundary=xyz", "xyz"},
      {"multipart/form-data", nullptr},
      {"multipart/form-data; boundary=", nullptr},
      {"multipart/form-data; boundary=\"unterminated", nullptr},
      {"multipart/mixed; boundary=xyz", nullptr},
      {"application/x-www-form-urlencoded", nullptr},
      {"", nullptr},
  };
  for (const auto& c : cases) {
    const auto b = BoundaryFromContentType(c.header);
    if (c.boundary) {
      ASSERT_TRUE(b) << c.header;
      EXPECT_EQ(*b, c.boundary) << c.header;
    } else {
      EXPECT_FALSE(b) << c.header;
    }
  }
  EXPECT_FALSE(BoundaryFromContentType("multipart/form-data; boundary=" + std::string(71, 'x')));
}

TEST(Multipart, RejectsMalformedBodies) {
  const std::string d = "--XX";
  const std::string cd = "Content-Disposition: form-data; name=\"a\"\r\n\r\n";
  const struct {
    const char* what;
    std::string body;
  } cases[] = {
      {"empty body", ""},
      {"no boundary line", "hello world"},
      {"another boundary", "--YY\r\n" + cd + "v\r\n--YY--"},
      {"no closing delimiter", d + "\r\n" + cd + "v\r\n"},
      {"cut after the delimiter", d},
      {"text after the boundary", d + "junk\r\n" + cd + "v\r\n" + d + "--"},
      {"headers never end", d + "\r\nContent-Disposition: form-data; name=\"a\"\r\nv"},
      {"a part without headers", d + "\r\n\r\nv\r\n" + d + "--"},
      {"header without colon", d + "\r\nContent-Disposition form-data\r\n\r\nv\r\n" + d + "--"},
      {"no disposition", d + "\r\nContent-Type: text/plain\r\n\r\nv\r\n" + d + "--"},
      {"not form-data",
       d + "\r\nContent-Disposition: attachment; name=\"a\"\r\n\r\nv\r\n" + d + "--"},
      {"no field name",
       d + "\r\nContent-Disposition: form-data; filename=\"f\"\r\n\r\nv\r\n" + d + "--"},
      {"unterminated quote",
       d + "\r\nContent-Disposition: form-data; name=\"a\r\n\r\nv\r\n" + d + "--"},
      {"two dispositions",
       d + "\r\n" + "Content-Disposition: form-data; name=\"b\"\r\n" + cd + "v\r\n" + d + "--"},
      {"delimiter inside a line only", "x--XX\r\n" + cd + "v"},
  };
  for (const auto& c : cases) {
    const MultipartResult r = ParseMultipart(c.body, "XX");
    EXPECT_FALSE(r.ok) << c.what;
    EXPECT_FALSE(r.error.empty()) << c.what;
  }
}

TEST(Multipart, AcceptsBodiesAServerMustAccept) {
  // No preamble, transport padding after a delimiter, an epilogue, an empty value, binary data.
  const std::string binary("\0\r\n--X\xff", 7);
  const std::string body =
      "--XX  \r\nContent-Disposition: form-data; name=\"a\"\r\n\r\n\r\n--XX\r\n"
      "content-disposition: form-data; name=b; filename=\"f.bin\"\r\n\r\n" +
      binary + "\r\n--XX--\r\nepilogue";
  const MultipartResult r = ParseMultipart(body, "XX");
  ASSERT_TRUE(r.ok) << r.error;
  ASSERT_EQ(r.parts.size(), 2u);
  EXPECT_EQ(r.parts[0].data, "");
  EXPECT_EQ(r.parts[1].name, "b");
  EXPECT_EQ(r.parts[1].filename, "f.bin");
  EXPECT_EQ(r.parts[1].data, binary);
}

TEST(Multipart, CapsTheNumberOfParts) {
  std::string body;
  for (int i = 0; i < 5; ++i)
    body += "--XX\r\nContent-Disposition: form-data; name=\"p\"\r\n\r\nv\r\n";
  body += "--XX--";
  EXPECT_TRUE(ParseMultipart(body, "XX", 5).ok);
  EXPECT_FALSE(ParseMultipart(body, "XX", 4).ok);
}

}  // namespace
}  // namespace korvane::standin
