// What one conversion run works with: the application state, the window's port, the stop request
// and the two services' addresses.
#pragma once

#include <stop_token>
#include <string>

#include "app/core/app_state.h"
#include "pipeline/ui_port.h"

namespace korvane {

class RunScripts;

// Where the two services live. The defaults are the tool's own; the front ends may point them at
// the local stand-ins or at a self-hosted service (base URLs without a trailing slash).
struct ServiceEndpoints {
  std::string iconLibrary = "http://icons.example.com";
  std::string converter = "https://svg2png.example.com";
};

struct ConversionContext {
  AppState& state;
  UiPort& ui;
  // Pause or shutdown: checked before every request, write and caption; ends waits and
  // transfers in progress.
  std::stop_token stop;
  ServiceEndpoints endpoints;
  // Stretches the one-second pause between status polls (1.0: real time; tests shrink it).
  double waitScale = 1.0;
  // Timeout of each request in seconds; 0 keeps the request routines' own (30 s).
  int requestTimeoutSeconds = 0;
  // The engines kept across the documents of the run on this thread; RunConversion provides
  // them when the caller does not. Without them each document makes its own.
  RunScripts* scripts = nullptr;
};

// The collections page that the window opens in the browser.
inline std::string CollectionsPageUrl(const ServiceEndpoints& endpoints) {
  return endpoints.iconLibrary + "/collections/index?type=3";
}

}  // namespace korvane
