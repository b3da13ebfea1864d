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
#include "platform/clock_locale.h"
#include "recording_ui.h"
#include "standin/standin_server.h"

namespace korvane::testing {

// A clock that always reads 14:07:09 on a 24-hour clock. Installed for a run, it gives every
// document the same time of day, so the names its pictures collide on are known beforehand
// instead of depending on whether two documents happen to begin within one second.
class FixedClock : public platform::ClockLocale {
 public:
  static constexpr std::string_view kTimeText = "140709";
  double NowDateTime() const override {
    return platform::DateTimeFromCivil(2026, 12, 11, 14, 7, 9);
  }
  std::string TimeSettingText() const override { return "1"; }
};

// Saved file names in the order the file store handed them out: by stem, then "name.png" before
// "name_2.png" before "name_10.png" (a plain sort puts "_10" before "_2").
std::vector<std::string> InSavingOrder(std::vector<std::string> names);

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
  RunSummary Run(UiPort& ui, AppState& state, std::stop_token stop = {});

  // Makes the download folder empty again, for a test that runs several cases.
  void EmptyFolder();

  // The names in the download folder, sorted.
  std::vector<std::string> FolderNames() const;

 public:
  static std::string ReadFile(const std::filesystem::path& path);
  // The JSON text of a collection the stand-in serves: one of the test's own below, or a bundled
  // sample.
  static std::string CollectionJson(std::string_view id);

  // The test's own collection: one icon whose markup holds twelve svg elements, each a square in
  // its own cell of a four-by-three grid, so twelve documents with twelve different pictures.
  static constexpr std::string_view kTwelveDocumentsId = "91012";
  static constexpr int kTwelveDocuments = 12;

 protected:
  static standin::StandinServer& Server() { return *server_; }
  ServiceEndpoints Endpoints() const;

  std::filesystem::path folder_;
  int requestTimeoutSeconds_ = 0;
  // Another icon library to fetch collections from (the conversion service stays the shared
  // stand-in's); empty: the shared stand-in's.
  std::string iconLibrary_;
  // A one-second pause between status polls lasts a millisecond unless a test needs it real.
  double waitScale_ = 0.001;

 private:
  static std::unique_ptr<standin::StandinServer> server_;
  static std::filesystem::path collections_;
};

}  // namespace korvane::testing
