// The script engines that one run keeps across its documents. Making an engine costs more than
// everything a status poll does with it, so a run makes one for reading status replies and one
// for decoding their escapes, and keeps them while they work. A kept engine gives the same
// results as a fresh one: every reply is parsed into a document that replaces the last (a text
// that is not JSON leaves it null, as it would a new object), and the escape decoding defines
// nothing but its one function, whose text cannot leave its string literal.
#pragma once

#include <memory>
#include <optional>

#include "platform/script_host.h"
#include "script/json_object.h"

namespace korvane {

// Belongs to one thread: an engine is never used by two threads at once.
class RunScripts {
 public:
  explicit RunScripts(platform::ScriptHostFactory factory = platform::DefaultScriptHostFactory());
  RunScripts(const RunScripts&) = delete;
  RunScripts& operator=(const RunScripts&) = delete;

  // The object every status reply is parsed into. An engine retired by an internal failure is
  // replaced before the object is handed out again.
  JsonObject& StatusReader();

  // Makes nothing new while the kept engine works: hands it out for each escape decoding.
  const platform::ScriptHostFactory& UnescapeEngines() const { return unescapeFactory_; }

 private:
  struct Slot {
    std::shared_ptr<platform::ScriptHost> host;
  };

  platform::ScriptHostFactory factory_;
  std::shared_ptr<Slot> statusSlot_ = std::make_shared<Slot>();
  std::optional<JsonObject> statusReader_;
  platform::ScriptHostFactory unescapeFactory_;
};

}  // namespace korvane
