#include "pipeline_fixture.h"

#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <iterator>

#include "platform/http_trust.h"

namespace korvane::testing {

namespace fs = std::filesystem;

std::unique_ptr<standin::StandinServer> PipelineTest::server_;

void PipelineTest::SetUpTestSuite() {
  server_ = std::make_unique<standin::StandinServer>();
  platform::SetTrustedCaFile(server_->CaPath());
}

void PipelineTest::TearDownTestSuite() {
  platform::SetTrustedCaFile({});
  server_.reset();
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

RunSummary PipelineTest::Run(RecordingUi& ui, AppState& state, std::stop_token stop) {
  ConversionContext context{state, ui, std::move(stop), Endpoints()};
  context.waitScale = 0.001;  // a one-second pause lasts a millisecond
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

std::string PipelineTest::ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

}  // namespace korvane::testing
