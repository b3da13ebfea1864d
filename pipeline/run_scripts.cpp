#include "pipeline/run_scripts.h"

#include <utility>

namespace korvane {

RunScripts::RunScripts(platform::ScriptHostFactory factory) : factory_(std::move(factory)) {
  auto kept = std::make_shared<Slot>();
  unescapeFactory_ = [factory = factory_, kept]() -> std::shared_ptr<platform::ScriptHost> {
    if (!kept->host || kept->host->Retired())
      kept->host = factory ? factory() : nullptr;
    return kept->host;
  };
}

JsonObject& RunScripts::StatusReader() {
  if (!statusReader_ || (statusSlot_->host && statusSlot_->host->Retired())) {
    statusReader_.reset();
    statusSlot_->host.reset();
    // The object's engine is remembered so that its retirement can be seen from here.
    statusReader_.emplace([factory = factory_, slot = statusSlot_] {
      slot->host = factory ? factory() : nullptr;
      return slot->host;
    });
  }
  return *statusReader_;
}

}  // namespace korvane
