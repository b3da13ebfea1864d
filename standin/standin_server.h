// The two stand-in services in one object: the icon library over plain HTTP and the SVG-to-PNG
// conversion service over HTTPS, both on 127.0.0.1, each on its own thread. Tests run it in
// process and steer its behaviour between requests; korvane-standin runs it standalone.
#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "standin/behaviour.h"

namespace korvane::standin {

struct StandinOptions {
  // Folders of <id>.json collections, searched in order before the bundled samples.
  std::vector<std::string> collectionDirs;
  bool includeBundled = true;
  int libraryPort = 0;  // 0: any free port
  int servicePort = 0;  // 0: any free port
  // Where the CA certificate is written; empty: a file in a fresh temporary folder that is
  // removed again when the server goes.
  std::string caOut;
  int size = 256;  // longer side of the rendered PNG, in pixels
  int polls = 2;   // status replies below 100 before the one that reads 100
  Mode mode = Mode::kNormal;
  unsigned modeEndpoints = 0;          // 0: DefaultEndpoints(mode)
  size_t maxUploadBytes = 8u << 20;    // a larger request body gets 413
  size_t maxStoredUploads = 2000;      // beyond this the oldest uploads are forgotten
  size_t maxStoredBytes = 256u << 20;  // ... and beyond this many bytes of SVG and PNG
  size_t dripBytes = 32;               // slow drip: bytes per piece
  std::chrono::milliseconds dripInterval{100};
  std::chrono::seconds stallLimit{120};  // a stalled request is let go after this at the latest
};

// One request as it arrived, logged before it is answered (so a stalled one is there too).
struct LoggedRequest {
  std::string service;  // "library" or "converter"
  std::string method;
  std::string path;    // without the query
  std::string target;  // path and query as sent
  std::chrono::system_clock::time_point time;
};

class StandinServer {
 public:
  // Makes the TLS material, binds both ports and starts serving. Throws std::runtime_error when
  // a port cannot be bound or the CA file cannot be written.
  explicit StandinServer(StandinOptions options = {});
  ~StandinServer();  // Stop()
  StandinServer(const StandinServer&) = delete;
  StandinServer& operator=(const StandinServer&) = delete;

  int LibraryPort() const;
  int ServicePort() const;
  std::string LibraryUrl() const;  // "http://127.0.0.1:PORT"
  std::string ServiceUrl() const;  // "https://127.0.0.1:PORT"
  std::string CaPath() const;
  std::string CaPem() const;

  // Behaviour, switchable at any time from any thread; it applies to requests that arrive
  // afterwards (and lets stalled requests go).
  void SetMode(Mode mode, unsigned endpoints = 0);  // 0: DefaultEndpoints(mode)
  void SetPolls(int polls);
  void SetSize(int longerSide);
  void SetDrip(size_t bytes, std::chrono::milliseconds interval);

  std::vector<LoggedRequest> RequestLog() const;
  void ClearRequestLog();
  // Uploads currently held (after eviction), for checks on bounded memory.
  size_t StoredUploads() const;

  // Ends both services: lets stalled requests go, stops the servers and joins their threads.
  // Safe to call more than once.
  void Stop();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace korvane::standin
