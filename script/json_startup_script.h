// The start-up every JSON document engine runs before anything else: the member counter that the
// path queries use, and JSON support for engines that lack it, each piece added only where the
// engine does not already have it.
#pragma once

#include <string_view>

#include "platform/script_host.h"

namespace korvane {

// The part every engine runs: get__count, the guard that makes JSON an object, and the
// enumerable toJSONString and parseJSON members of Object.prototype. CR LF line ends.
std::string_view JsonStartupCore();

// JSON.stringify, JSON.parse and the toJSON methods of Date, String, Number and Boolean, each
// added only where missing. Runs after the core. CR LF line ends.
std::string_view JsonStartupFallback();

// Whether the engine lacks JSON.stringify, JSON.parse or Date.prototype.toJSON, so the fallback
// has something to add.
bool NeedsJsonFallback(platform::ScriptHost& host);

// Runs the core on `host`, then the fallback only when NeedsJsonFallback says so. False when a
// text fails to run.
bool RunJsonStartup(platform::ScriptHost& host);

}  // namespace korvane
