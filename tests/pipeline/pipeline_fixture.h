// The stand-in services in process, a fresh download folder per test, and a run of the pipeline
// against them with a recording window.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <stop_token>
#include <string>
#include <vector>

#include "app/core/app_state.h"
#include "pipeline/run_conversion.h"
#include "recording_ui.h"
#include "standin/standin_server.h"

namespace korvane::testing {

class PipelineTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite();
  static void TearDownTestSuite();
  void SetUp() override;
  void TearDown() override;

  // The download folder as the window's folder field holds it: GBK, with a trailing '/'.
  std::string FolderText() const { return folder_.string() + "/"; }

  // Runs the pipeline against the stand-in with the collection ID and folder that `ui` holds,
  // and returns what it reported. `state` carries failureCount across runs.
  RunSummary Run(RecordingUi& ui, AppState& state, std::stop_token stop = {});

  // Makes the download folder empty again, for a test that runs several cases.
  void EmptyFolder();

  // The names in the download folder, sorted.
  std::vector<std::string> FolderNames() const;

 public:
  static std::string ReadFile(const std::filesystem::path& path);

 protected:
  static standin::StandinServer& Server() { return *server_; }
  ServiceEndpoints Endpoints() const;

  std::filesystem::path folder_;
  int requestTimeoutSeconds_ = 0;
  // Another icon library to fetch collections from (the conversion service stays the shared
  // stand-in's); empty: the shared stand-in's.
  std::string iconLibrary_;

 private:
  static std::unique_ptr<standin::StandinServer> server_;
};

}  // namespace korvane::testing
