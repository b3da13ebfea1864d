// The program's options: none keeps the services' own hosts; each option in both spellings; every
// malformed use an error.
#include "app/command_line.h"

#include <gtest/gtest.h>

namespace korvane {
namespace {

TEST(CommandLineTest, NoArgumentsKeepTheDefaults) {
  const CommandLine parsed = ParseCommandLine({});
  const ServiceEndpoints defaults;
  EXPECT_TRUE(parsed.error.empty());
  EXPECT_EQ(parsed.endpoints.iconLibrary, defaults.iconLibrary);
  EXPECT_EQ(parsed.endpoints.converter, defaults.converter);
  EXPECT_TRUE(parsed.caFile.empty());
}

TEST(CommandLineTest, ReadsEveryOptionInBothSpellings) {
  const CommandLine parsed =
      ParseCommandLine({"--icon-library", "http://127.0.0.1:8080/",
                        "--converter=https://localhost:8443", "--ca-file", "/tmp/ca.pem"});
  EXPECT_TRUE(parsed.error.empty()) << parsed.error;
  EXPECT_EQ(parsed.endpoints.iconLibrary, "http://127.0.0.1:8080");
  EXPECT_EQ(parsed.endpoints.converter, "https://localhost:8443");
  EXPECT_EQ(parsed.caFile, "/tmp/ca.pem");
}

TEST(CommandLineTest, MalformedUseIsAnError) {
  const std::vector<std::vector<std::string>> cases = {
      {"--bogus"},
      {"12527"},
      {"--icon-library"},
      {"--converter", "ftp://host"},
      {"--icon-library=localhost:8080"},
      {"--icon-library", "http://"},
      {"--ca-file="},
  };
  for (const auto& args : cases) {
    SCOPED_TRACE(args.front());
    EXPECT_FALSE(ParseCommandLine(args).error.empty());
  }
}

}  // namespace
}  // namespace korvane
