#include "pipeline_fixture.h"

#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <iterator>

#include "platform/http_trust.h"
#include "standin/sample_collections.h"

namespace korvane::testing {

namespace fs = std::filesystem;

std::unique_ptr<standin::StandinServer> PipelineTest::server_;
fs::path PipelineTest::collections_;

namespace {

std::string TwelveDocumentsJson() {
  std::string markup;
  for (int i = 0; i < PipelineTest::kTwelveDocuments; ++i) {
    const int x = 32 + (i % 4) * 248, y = 32 + (i / 4) * 330;
    markup +=
        "<svg class=\\\"icon\\\" viewBox=\\\"0 0 1024 1024\\\" version=\\\"1.1\\\" "
        "xmlns=\\\"http://www.w3.org/2000/svg\\\"><path d=\\\"M" +
        std::to_string(x) + " " + std::to_string(y) + "H" + std::to_string(x + 200) + "V" +
        std::to_string(y + 200) + "H" + std::to_string(x) +
        "Z\\\" fill=\\\"#2f6fde\\\"></path></svg>";
  }
  return "{\"code\":200,\"data\":{\"icons\":[{\"id\":1,\"name\":\"twelve\",\"show_svg\":\"" +
         markup + "\"}]}}";
}

// Splits "140709_12.png" into its stem "140709" and number 12; a name without a number is the
// first of its stem.
std::pair<std::string, int> StemAndNumber(const std::string& name) {
  const size_t dot = std::min(name.rfind('.'), name.size());
  const size_t underscore = name.rfind('_', dot);
  if (underscore == std::string::npos || underscore + 1 >= dot ||
      !std::all_of(name.begin() + static_cast<long>(underscore) + 1,
                   name.begin() + static_cast<long>(dot),
                   [](char c) { return c >= '0' && c <= '9'; }))
    return {name.substr(0, dot), 1};
  return {name.substr(0, underscore), std::stoi(name.substr(underscore + 1, dot - underscore - 1))};
}

}  // namespace

std::vector<std::string> InSavingOrder(std::vector<std::string> names) {
  std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    return StemAndNumber(a) < StemAndNumber(b);
  });
  return names;
}

void PipelineTest::SetUpTestSuite() {
  collections_ =
      fs::temp_directory_path() / ("korvane-pipeline-collections-" + std::to_string(::getpid()));
  fs::create_directories(collections_);
  std::ofstream(collections_ / (std::string(kTwelveDocumentsId) + ".json"), std::ios::binary)
      << TwelveDocumentsJson();
  standin::StandinOptions options;
  options.collectionDirs = {collections_.string()};
  server_ = std::make_unique<standin::StandinServer>(options);
  platform::SetTrustedCaFile(server_->CaPath());
}

void PipelineTest::TearDownTestSuite() {
  platform::SetTrustedCaFile({});
  server_.reset();
  fs::remove_all(collections_);
}

void PipelineTest::SetUp() {
  server_->SetMode(standin::Mode::kNormal);
  server_->SetPolls(2);
  server_->ClearRequestLog();
  folder_ =
      fs::temp_directory_path() / ("korvane-pipeline-" + std::to_string(::getpid()) + "-" +
                                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
  EmptyFolder();
}

void PipelineTest::EmptyFolder() {
  fs::remove_all(folder_);
  fs::create_directories(folder_);
}

void PipelineTest::TearDown() {
  server_->SetMode(standin::Mode::kNormal);  // lets any stalled request go
  fs::remove_all(folder_);
}

ServiceEndpoints PipelineTest::Endpoints() const {
  ServiceEndpoints endpoints;
  endpoints.iconLibrary = iconLibrary_.empty() ? server_->LibraryUrl() : iconLibrary_;
  endpoints.converter = server_->ServiceUrl();
  return endpoints;
}

RunSummary PipelineTest::Run(UiPort& ui, AppState& state, std::stop_token stop) {
  ConversionContext context{state, ui, std::move(stop), Endpoints()};
  context.waitScale = waitScale_;
  context.requestTimeoutSeconds = requestTimeoutSeconds_;
  return RunConversion(context);
}

std::vector<std::string> PipelineTest::FolderNames() const {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder_))
    names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

std::string PipelineTest::CollectionJson(std::string_view id) {
  const fs::path own = collections_ / (std::string(id) + ".json");
  if (fs::exists(own))
    return ReadFile(own);
  return ReadFile(standin::samples::BundledSamplesDir() + "/" + std::string(id) + ".json");
}

std::string PipelineTest::ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

}  // namespace korvane::testing
