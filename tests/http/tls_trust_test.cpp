// Which HTTPS servers a request accepts: only those whose certificate chains to the system's CAs
// or to the extra CA file in force, with the setting taking effect for the next request.
#include <gtest/gtest.h>
#include <httplib.h>
#include <openssl/ssl.h>

#include <atomic>
#include <fstream>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <thread>
#include <vector>

#include "http/support/loopback.h"
#include "http/win_http_fetch.h"
#include "platform/http_transfer.h"
#include "platform/http_trust.h"
#include "standin/tls_certificates.h"

namespace korvane {
namespace {

using testing::TempDir;

// An HTTPS server on 127.0.0.1 with a CA of its own; its CA file is written beside its
// certificate and key. It answers "/" with `name`.
class CaServer {
 public:
  explicit CaServer(std::string name) {
    const standin::TlsMaterial material = standin::MakeTlsMaterial();
    caFile_ = (dir_.path() / "ca.pem").string();
    const std::string cert = (dir_.path() / "cert.pem").string();
    const std::string key = (dir_.path() / "key.pem").string();
    if (!standin::WritePemFile(caFile_, material.caCertPem) ||
        !standin::WritePemFile(cert, material.serverCertPem) ||
        !standin::WritePemFile(key, material.serverKeyPem))
      throw std::runtime_error("cannot write the TLS files");
    server_ = std::make_unique<httplib::SSLServer>(cert.c_str(), key.c_str());
    server_->Get("/", [this, name](const httplib::Request& req, httplib::Response& res) {
      {
        const std::lock_guard lock(mutex_);
        resumed_.push_back(req.ssl != nullptr && SSL_session_reused(const_cast<SSL*>(req.ssl)));
      }
      res.set_content(name, "text/plain");
    });
    port_ = server_->bind_to_any_port("127.0.0.1");
    if (port_ <= 0)
      throw std::runtime_error("cannot bind");
    thread_ = std::thread([this] { server_->listen_after_bind(); });
    while (!server_->is_running())
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ~CaServer() {
    server_->stop();
    thread_.join();
  }
  const std::string& CaFile() const { return caFile_; }
  // For each request answered so far: whether its TLS session was a resumed one.
  std::vector<bool> Resumed() {
    const std::lock_guard lock(mutex_);
    return resumed_;
  }
  std::string Url() const { return "https://127.0.0.1:" + std::to_string(port_) + "/"; }

 private:
  TempDir dir_;
  std::string caFile_;
  std::unique_ptr<httplib::SSLServer> server_;
  std::thread thread_;
  int port_ = 0;
  std::mutex mutex_;
  std::vector<bool> resumed_;
};

// The body of a GET on the libcurl exchange, or nothing when it failed.
std::optional<std::string> Get(const std::string& url) {
  platform::TransferSettings settings;
  settings.url = url;
  settings.verb = "GET";
  settings.connectTimeout = std::chrono::seconds(5);
  settings.idleTimeout = std::chrono::seconds(5);
  platform::Transfer transfer(std::move(settings));
  if (!transfer.Send(std::stop_token{}) || !transfer.WaitForResponse())
    return std::nullopt;
  std::string body;
  char buffer[4096];
  size_t read = 0;
  do {
    if (!transfer.Read(buffer, sizeof buffer, read))
      return std::nullopt;
    body.append(buffer, read);
  } while (read > 0);
  return body;
}

// Leaves the run's own CA trusted for the other tests of this program.
class TlsTrust : public ::testing::Test {
 protected:
  void TearDown() override { platform::SetTrustedCaFile(testing::RunTlsFiles().caFile); }
};

TEST_F(TlsTrust, OnlyTheCaFileInForceIsTrustedAndASwitchTakesEffectAtOnce) {
  CaServer a("server a"), b("server b");
  struct Step {
    std::string caFile;
    bool aTrusted, bTrusted;
  };
  const Step steps[] = {
      {a.CaFile(), true, false},
      {b.CaFile(), false, true},  // a's CA is no longer trusted once b's replaces it
      {a.CaFile(), true, false},
      {"", false, false},  // the system's CAs know neither
  };
  for (const Step& step : steps) {
    SCOPED_TRACE("trusted file: " + step.caFile);
    platform::SetTrustedCaFile(step.caFile);
    EXPECT_EQ(Get(a.Url()), step.aTrusted ? std::optional<std::string>("server a") : std::nullopt);
    EXPECT_EQ(Get(b.Url()), step.bTrusted ? std::optional<std::string>("server b") : std::nullopt);
  }

  // Through the request routine an untrusted server is a send failure with an empty page.
  platform::SetTrustedCaFile(a.CaFile());
  std::string status;
  EXPECT_EQ(WinHttpFetch(b.Url(), 0, {}, {}, {}, {}, {}, false, {}, {}, {}, {}, {}, 5, {}, status),
            "");
  EXPECT_EQ(status, kWinHttpSendFailed);
  EXPECT_EQ(WinHttpFetch(a.Url(), 0, {}, {}, {}, {}, {}, false, {}, {}, {}, {}, {}, 5, {}, status),
            "server a");
  EXPECT_EQ(status, "200 OK");
}

// Each request still makes a connection of its own, but a server met before is greeted with the
// TLS session of the last handshake, until the trust setting changes.
TEST_F(TlsTrust, SessionsAreResumedAcrossRequestsUntilTheSettingChanges) {
  CaServer a("server a"), b("server b");
  platform::SetTrustedCaFile(a.CaFile());
  for (int i = 0; i < 3; ++i)
    EXPECT_EQ(Get(a.Url()), "server a");
  EXPECT_EQ(a.Resumed(), (std::vector<bool>{false, true, true}));

  // Setting even the same file again starts afresh: the next handshake is a full one.
  platform::SetTrustedCaFile(a.CaFile());
  EXPECT_EQ(Get(a.Url()), "server a");
  EXPECT_EQ(Get(a.Url()), "server a");
  EXPECT_EQ(a.Resumed(), (std::vector<bool>{false, true, true, false, true}));

  // A session made under a's CA is never offered once that CA is no longer trusted, so the
  // refusal of a full handshake stands; and b's first handshake is a full one as well.
  platform::SetTrustedCaFile(b.CaFile());
  EXPECT_EQ(Get(a.Url()), std::nullopt);
  EXPECT_EQ(Get(b.Url()), "server b");
  EXPECT_EQ(a.Resumed().size(), 5u);
  EXPECT_EQ(b.Resumed(), (std::vector<bool>{false}));
}

TEST_F(TlsTrust, AnUnusableCaFileFailsSecureRequestsUntilItIsSetAgain) {
  CaServer a("server a");
  testing::LoopbackServer plain(false);
  plain.server().Get("/", [](const httplib::Request&, httplib::Response& res) {
    res.set_content("plain", "text/plain");
  });
  plain.Start();
  TempDir dir;
  const std::string path = (dir.path() / "ca.pem").string();

  platform::SetTrustedCaFile(path);  // missing
  EXPECT_EQ(Get(a.Url()), std::nullopt);
  EXPECT_EQ(Get(plain.Url()), "plain");  // plain HTTP never needs the store

  std::ofstream(path) << "no certificate here\n";
  platform::SetTrustedCaFile(path);
  EXPECT_EQ(Get(a.Url()), std::nullopt);

  // The same path set again after the file was fixed is read afresh.
  std::ifstream in(a.CaFile());
  std::ofstream(path) << in.rdbuf();
  platform::SetTrustedCaFile(path);
  EXPECT_EQ(Get(a.Url()), "server a");
}

TEST_F(TlsTrust, ConnectionsOnSeveralThreadsWhileTheSettingIsSetAgain) {
  CaServer a("server a");
  platform::SetTrustedCaFile(a.CaFile());
  std::atomic<int> failures{0};
  std::atomic<bool> running{true};
  std::vector<std::thread> clients;
  for (int t = 0; t < 3; ++t) {
    clients.emplace_back([&] {
      for (int i = 0; i < 6; ++i) {
        if (Get(a.Url()) != "server a")
          ++failures;
      }
    });
  }
  // Each call drops the shared store while handshakes may hold it.
  std::thread setter([&] {
    while (running) {
      platform::SetTrustedCaFile(a.CaFile());
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
  });
  for (std::thread& client : clients)
    client.join();
  running = false;
  setter.join();
  EXPECT_EQ(failures, 0);
}

}  // namespace
}  // namespace korvane
