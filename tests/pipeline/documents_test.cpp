#include <gtest/gtest.h>

#include "pipeline/conversion_service.h"
#include "pipeline/icon_documents.h"
#include "pipeline/run_conversion.h"

namespace korvane {
namespace {

TEST(DocumentTemplate, FillsNineLinesWithValidQuoting) {
  const std::string document =
      FillDocumentTemplate("\"M0 0h10v10z\" fill=\"#333333\"></path>", "0 0 1024 1024");
  EXPECT_EQ(document,
            "<?xml version=\"1.0\" standalone=\"no\"?>\r\n"
            "<!DOCTYPE svg PUBLIC \"-//W3C//DTD SVG 1.1//EN\" \r\n"
            "\"http://www.w3.org/Graphics/SVG/1.1/DTD/svg11.dtd\">\r\n"
            "\r\n"
            "<svg width=\"100%\" height=\"100%\" class=\"icon\" viewBox=\"0 0 1024 1024\" "
            "version=\"1.1\" xmlns=\"http://www.w3.org/2000/svg\">\r\n"
            "\r\n"
            "<path d=\"M0 0h10v10z\" fill=\"#333333\"></path>\r\n"
            "\r\n"
            "</svg>\r\n");
}

TEST(DocumentTemplate, CodeGoesInBeforeTheViewBox) {
  // A viewBox placeholder inside the path text takes the value too; code inside the viewBox
  // value stays as it is.
  const std::string document = FillDocumentTemplate("\"图标大小\"></path>", "代码");
  EXPECT_NE(document.find("<path d=\"代码\"></path>"), std::string::npos);
  EXPECT_NE(document.find("viewBox=\"代码\""), std::string::npos);
}

TEST(DocumentTemplate, DocumentsOverTheLimitAreNeverBuilt) {
  // Every viewBox placeholder in a run takes the whole viewBox: 1024 of them with a 4 KiB
  // viewBox would be exactly 4 MiB of placeholders alone.
  std::string run = "\"";
  for (int i = 0; i < 1024; ++i)
    run += "图标大小";
  run += "\"></path>";
  const std::string viewBox(4096, '1');
  EXPECT_FALSE(BuildDocument(run, viewBox).has_value());

  // Just under the limit, and an ordinary icon, the document is the template's.
  const std::string smaller(4000, '1');
  const auto document = BuildDocument(run, smaller);
  ASSERT_TRUE(document.has_value());
  EXPECT_LE(document->size(), kMaxDocumentBytes);
  EXPECT_EQ(*document, FillDocumentTemplate(run, smaller));
  EXPECT_EQ(BuildDocument("\"M0 0\"></path>", "0 0 8 8"),
            FillDocumentTemplate("\"M0 0\"></path>", "0 0 8 8"));
  // Placeholder bytes that begin inside another character are not a placeholder: B5 CD is one
  // character here, so the run stays as it is and the document stays small.
  const std::string split = "\xB5\xCD\xBC\xB1\xEA\xB4\xF3\xD0\xA1";
  const auto kept = BuildDocument(split, viewBox);
  ASSERT_TRUE(kept.has_value());
  EXPECT_NE(kept->find("<path d=" + split + "\r\n"), std::string::npos);
}

TEST(DocumentTemplate, PathRunsOfMarkup) {
  struct Case {
    std::string markup;
    int runs;
  };
  const Case cases[] = {
      {"<svg viewBox=\"0 0 8 8\"><path d=\"M0 0\"></path><path d=\"M1 1\"></path></svg>", 1},
      {"<svg><path d=\"M0 0\"></path></svg><svg><path d=\"M1 1\"></path></svg>", 2},
      {"<svg>\r\n<path d=\"M0 0\"\nfill=\"#000\"></path>\n</svg>", 1},  // spans lines
      {"<SVG><PATH D=\"M0 0\"></PATH></SVG>", 1},                       // letter case ignored
      {"<svg><circle r=\"3\"/></svg>", 0},
      {"", 0},
  };
  for (const auto& c : cases)
    EXPECT_EQ(CountPathRuns(c.markup), c.runs) << c.markup;
}

TEST(UploadBody, MatchesTheFormByteForByte) {
  const std::string body = FillUploadBody("140709.svg", "o_abc", "<svg/>\r\n");
  EXPECT_EQ(body,
            "\r\n"
            "------WebKitFormBoundaryNiSHR5Sz849aAU0E\r\n"
            "Content-Disposition: form-data; name=\"name\"\r\n"
            "\r\n"
            "140709.svg\r\n"
            "------WebKitFormBoundaryNiSHR5Sz849aAU0E\r\n"
            "Content-Disposition: form-data; name=\"id\"\r\n"
            "\r\n"
            "o_abc\r\n"
            "------WebKitFormBoundaryNiSHR5Sz849aAU0E\r\n"
            "Content-Disposition: form-data; name=\"file\"; filename=\"140709.svg\"\r\n"
            "Content-Type: image/svg+xml\r\n"
            "\r\n"
            "<svg/>\r\n\r\n\r\n"
            "------WebKitFormBoundaryNiSHR5Sz849aAU0E--");
}

TEST(ProgressReading, LeadingNumberOrZero) {
  struct Case {
    std::string text;
    int position;
  };
  const Case cases[] = {
      {"100", 100},   {"37", 37},   {"  42abc", 42},
      {"\"100\"", 0}, {"", 0},      {"abc", 0},
      {"-5", -5},     {"12.9", 12}, {"99999999999999", 2147483647},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ProgressPosition(c.text), c.position) << c.text;
}

TEST(CollectionAddress, IdIsTakenAsTyped) {
  ServiceEndpoints endpoints;
  endpoints.iconLibrary = "http://127.0.0.1:9";
  EXPECT_EQ(CollectionUrl(endpoints, "12527"),
            "http://127.0.0.1:9/api/collection/detail.json?id=12527");
  EXPECT_EQ(CollectionUrl(endpoints, " 12 "),
            "http://127.0.0.1:9/api/collection/detail.json?id= 12 ");
}

}  // namespace
}  // namespace korvane
