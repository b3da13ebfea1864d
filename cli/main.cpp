// korvane-cli: the conversion run without a window. Status lines go to standard output as UTF-8,
// message boxes to standard error; Ctrl-C cancels the run the way Pause does.
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <stop_token>
#include <thread>

#include "app/core/app_state.h"
#include "cli/cli_options.h"
#include "cli/console_ui.h"
#include "pipeline/batch_run.h"
#include "platform/http_trust.h"
#include "util/char_set.h"
#include "util/gbk_exact.h"

namespace {

constexpr int kExitFailures = 1;
constexpr int kExitUsage = 2;
constexpr int kExitCancelled = 130;

}  // namespace

int main(int argc, char** argv) {
  using namespace korvane;
  // Ctrl-C and termination are taken by a watcher thread, not by a handler in whatever thread
  // the signal happens to hit: the run is stopped cooperatively and nothing is left half-written.
  // They are blocked first of all, so one that comes while the options are read waits for the
  // watcher instead of ending the program.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);

  std::string error;
  const auto options = ParseCliOptions(std::vector<std::string>(argv + 1, argv + argc), error);
  if (!options) {
    std::fprintf(stderr, "korvane-cli: %s\n%s", error.c_str(), CliUsage().c_str());
    return kExitUsage;
  }
  if (options->help) {
    std::fputs(CliUsage().c_str(), stdout);
    return 0;
  }
  // The folder travels as GBK text: a name that GBK cannot spell would turn into another folder's
  // name ('?' for each such character), so it is refused before any request.
  const std::optional<std::string> folderGbk = ExactGbkFromUtf8(options->folder);
  if (!folderGbk) {
    std::fprintf(stderr,
                 "korvane-cli: the folder name has characters that cannot be handled (outside "
                 "GBK): %s\n",
                 options->folder.c_str());
    return kExitUsage;
  }
  std::error_code fsError;
  if (!std::filesystem::is_directory(options->folder, fsError)) {
    std::fprintf(stderr, "korvane-cli: not a folder: %s\n", options->folder.c_str());
    return kExitUsage;
  }
  if (!options->caFile.empty()) {
    if (!std::filesystem::is_regular_file(options->caFile, fsError)) {
      std::fprintf(stderr, "korvane-cli: no such CA file: %s\n", options->caFile.c_str());
      return kExitUsage;
    }
    platform::SetTrustedCaFile(options->caFile);
  }

  std::optional<std::string> collectionText;
  if (!options->collectionFile.empty()) {
    std::ifstream in(options->collectionFile, std::ios::binary);
    std::stringstream text;
    if (in)
      text << in.rdbuf();
    if (!in || in.bad()) {
      std::fprintf(stderr, "korvane-cli: cannot read collection file: %s\n",
                   options->collectionFile.c_str());
      return kExitUsage;
    }
    collectionText = text.str();
  }
  BatchOptions batch = options->batch;
  batch.collectionText = std::move(collectionText);
  std::unique_ptr<platform::SvgRenderer> renderer;
  if (batch.renderer == RendererKind::kLocal)
    renderer = platform::MakeLibrsvgRenderer();

  AppState state;
  std::stop_source stopSource;
  ConsoleUi ui(stdout, stderr, ::isatty(STDOUT_FILENO) == 1, Utf8ToAnsi(options->id), *folderGbk,
               stopSource.get_token());
  ServiceEndpoints endpoints;
  if (!options->iconLibrary.empty())
    endpoints.iconLibrary = options->iconLibrary;
  if (!options->converter.empty())
    endpoints.converter = options->converter;

  std::atomic<bool> finished = false;
  std::jthread watcher([&] {
    const timespec slice{0, 50 * 1000 * 1000};
    while (!finished.load()) {
      if (sigtimedwait(&signals, nullptr, &slice) > 0) {
        stopSource.request_stop();
        ui.Cancel("已经取消转换.");
        return;
      }
    }
  });

  ConversionContext context{state, ui, stopSource.get_token(), endpoints};
  context.limits = options->limits;
  const RunSummary summary = RunBatch(context, batch, renderer.get());
  finished = true;
  watcher.join();

  if (summary.cancelled || stopSource.stop_requested())
    return kExitCancelled;
  if (!summary.collectionRead) {
    if (batch.collectionText) {
      std::fprintf(stderr, "korvane-cli: not a collection: %s\n", options->collectionFile.c_str());
    } else {
      std::fprintf(stderr, "korvane-cli: could not read collection %s from %s\n",
                   options->id.c_str(), endpoints.iconLibrary.c_str());
    }
    return kExitUsage;
  }
  return summary.failed > 0 ? kExitFailures : 0;
}
