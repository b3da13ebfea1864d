#include "standin/standin_server.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <random>
#include <thread>

#include "standin/sample_collections.h"
#include "standin_test_support.h"
#include "util/png_check.h"

namespace korvane::standin {
namespace {

namespace fs = std::filesystem;
using testing::kUploadContentType;

// A green square over the middle of the icon, as the tool cuts it out of the markup.
const std::string kPathRun = "\"M256 256H768V768H256Z\" fill=\"#00ff00\"></path>";

std::string Random(const std::string& alphabet, size_t n) {
  static thread_local std::mt19937 rng(std::random_device{}());
  std::string s;
  for (size_t i = 0; i < n; ++i)
    s += alphabet[rng() % alphabet.size()];
  return s;
}
const std::string kAlnum = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
std::string Token() {
  return Random(kAlnum, 16);
}
std::string UploadId() {
  return "o_" + Random(kAlnum, 28);
}
std::string Rnd() {
  return Random("13579", 16);
}

// One document's trip through the service, as the tool's client makes it.
struct Job {
  std::string token = Token(), id = UploadId(), stem = "101530";
  std::string ConvertPath() const { return "/zh/convert/" + token + "/" + id + "?rnd=" + Rnd(); }
  std::string StatusPath() const { return "/zh/status/" + token + "/" + id + "?rnd=0." + Rnd(); }
  std::string DownloadPath() const {
    return "/download/" + token + "/" + id + "/" + stem + ".png?rnd=0." + Rnd();
  }
  std::string Body(const std::string& document) const {
    return testing::UploadBody(stem + ".svg", id, document);
  }
};

class StandinServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("korvane_standin_test_" + std::to_string(getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
    std::ofstream(dir_ / "777.json") << "{\"code\":200,\"data\":{\"icons\":[]}}";
    std::ofstream(dir_ / (std::string(samples::kEmptyIcons.id) + ".json")) << "{\"mine\":1}";
    StandinOptions options;
    options.collectionDirs = {dir_.string()};
    options.maxUploadBytes = 64 * 1024;
    options.dripInterval = std::chrono::milliseconds(10);
    options.dripBytes = 4;
    Start(options);
  }
  void TearDown() override {
    server_.reset();
    fs::remove_all(dir_);
  }
  void Start(const StandinOptions& options) {
    server_.reset();
    server_ = std::make_unique<StandinServer>(options);
  }

  httplib::Client Library() { return httplib::Client("127.0.0.1", server_->LibraryPort()); }
  std::unique_ptr<httplib::SSLClient> Service() {
    auto c = std::make_unique<httplib::SSLClient>("127.0.0.1", server_->ServicePort());
    c->set_ca_cert_path(server_->CaPath().c_str());
    c->enable_server_certificate_verification(true);
    c->set_read_timeout(std::chrono::seconds(20));
    return c;
  }
  httplib::Result Upload(const Job& job, const std::string& body,
                         const std::string& type = kUploadContentType) {
    return Service()->Post(("/upload/" + job.token).c_str(), body, type.c_str());
  }
  // Upload, convert and poll until 100 (or the given number of polls); returns the last reply.
  std::string RunUntilDone(const Job& job, const std::string& document, int maxPolls = 5) {
    auto c = Service();
    EXPECT_EQ(
        c->Post(("/upload/" + job.token).c_str(), job.Body(document), kUploadContentType)->status,
        200);
    EXPECT_EQ(c->Get(job.ConvertPath().c_str())->status, 200);
    std::string reply;
    for (int i = 0; i < maxPolls; ++i) {
      auto r = c->Get(job.StatusPath().c_str());
      if (!r)
        return "no reply";
      reply = r->body;
      if (reply == "{\"progress\":100}")
        break;
    }
    return reply;
  }

  fs::path dir_;
  std::unique_ptr<StandinServer> server_;
};

TEST_F(StandinServerTest, CollectionEndpoint) {
  auto lib = Library();
  auto ok = lib.Get("/api/collection/detail.json?id=12527");
  ASSERT_TRUE(ok);
  EXPECT_EQ(ok->status, 200);
  EXPECT_EQ(ok->get_header_value("Content-Type"), "application/json; charset=utf-8");
  EXPECT_EQ(ok->body.rfind("{\"code\":200,\"data\":{", 0), 0u);
  size_t icons = 0;
  for (size_t p = 0; (p = ok->body.find("\"show_svg\":\"<svg class=\\\"icon\\\" viewBox=", p)) !=
                     std::string::npos;
       ++p) {
    ++icons;
  }
  EXPECT_EQ(icons, size_t(samples::kDefault.icons));

  // Chinese text arrives as UTF-8.
  auto chinese = lib.Get("/api/collection/detail.json?id=90007");
  ASSERT_TRUE(chinese);
  EXPECT_NE(chinese->body.find("<title>红色的房子</title>"), std::string::npos);

  // The folder given beside the samples adds collections and wins over a sample of the same id.
  EXPECT_EQ(lib.Get("/api/collection/detail.json?id=777")->body,
            "{\"code\":200,\"data\":{\"icons\":[]}}");
  EXPECT_EQ(lib.Get("/api/collection/detail.json?id=90009")->body, "{\"mine\":1}");

  const struct {
    const char* target;
    int status;
  } errors[] = {
      {"/api/collection/detail.json?id=424242", 404},
      {"/api/collection/detail.json?id=..%2F..%2Fetc%2Fpasswd", 404},
      {"/api/collection/detail.json?id=", 404},
      {"/api/collection/detail.json", 400},
      {"/api/collection/detail.json?ID=12527", 400},
  };
  for (const auto& e : errors) {
    auto r = lib.Get(e.target);
    ASSERT_TRUE(r) << e.target;
    EXPECT_EQ(r->status, e.status) << e.target;
    EXPECT_EQ(r->body.rfind("{\"code\":" + std::to_string(e.status), 0), 0u) << r->body;
    EXPECT_EQ(r->body.find("data"), std::string::npos) << r->body;
  }
  EXPECT_EQ(lib.Get("/api/collection/other.json?id=12527")->status, 404);
}

TEST_F(StandinServerTest, CollectionsPageListsWhatIsServed) {
  auto r = Library().Get("/collections/index?type=3");
  ASSERT_TRUE(r);
  EXPECT_EQ(r->status, 200);
  EXPECT_EQ(r->get_header_value("Content-Type"), "text/html; charset=utf-8");
  for (const auto& s : samples::kAll) {
    EXPECT_NE(r->body.find("detail.json?id=" + std::string(s.id) + "\""), std::string::npos)
        << s.id;
  }
  EXPECT_NE(r->body.find("detail.json?id=777\""), std::string::npos);
}

TEST_F(StandinServerTest, ConvertsTheToolsDocumentIntoAPngOfTheIcon) {
  const Job job;
  auto c = Service();
  server_->ClearRequestLog();
  ASSERT_EQ(c->Post(("/upload/" + job.token).c_str(), job.Body(testing::ToolDocument(kPathRun)),
                    kUploadContentType)
                ->status,
            200);
  ASSERT_EQ(c->Get(job.ConvertPath().c_str())->status, 200);
  // The default: two replies below 100, then 100.
  std::vector<std::string> replies;
  for (int i = 0; i < 3; ++i)
    replies.push_back(c->Get(job.StatusPath().c_str())->body);
  EXPECT_EQ(replies, (std::vector<std::string>{"{\"progress\":33}", "{\"progress\":66}",
                                               "{\"progress\":100}"}));
  auto png = c->Get(job.DownloadPath().c_str());
  ASSERT_TRUE(png);
  EXPECT_EQ(png->status, 200);
  EXPECT_EQ(png->get_header_value("Content-Type"), "image/png");
  const testing::Picture p = testing::DecodePng(png->body);
  ASSERT_TRUE(p.ok);
  EXPECT_EQ(p.width, 256);
  EXPECT_EQ(p.height, 256);
  EXPECT_EQ(p.At(128, 128), 0xFF00FF00u);
  EXPECT_EQ(p.Alpha(2, 2), 0);

  const std::vector<LoggedRequest> log = server_->RequestLog();
  ASSERT_EQ(log.size(), 6u);
  const char* expected[] = {"POST", "GET", "GET", "GET", "GET", "GET"};
  for (size_t i = 0; i < log.size(); ++i) {
    EXPECT_EQ(log[i].service, "converter");
    EXPECT_EQ(log[i].method, expected[i]);
    if (i) {
      EXPECT_LE(log[i - 1].time, log[i].time);
    }
  }
  EXPECT_EQ(log[0].path, "/upload/" + job.token);
  EXPECT_EQ(log[1].target.rfind("/zh/convert/" + job.token + "/" + job.id + "?rnd=", 0), 0u);
}

TEST_F(StandinServerTest, PollsAndSizeFollowTheSettings) {
  server_->SetPolls(0);
  server_->SetSize(100);
  const Job job;
  EXPECT_EQ(RunUntilDone(job, testing::ToolDocument(kPathRun), 1), "{\"progress\":100}");
  const testing::Picture p = testing::DecodePng(Service()->Get(job.DownloadPath().c_str())->body);
  ASSERT_TRUE(p.ok);
  EXPECT_EQ(p.width, 100);

  server_->SetPolls(4);
  const Job slow;
  auto c = Service();
  c->Post(("/upload/" + slow.token).c_str(), slow.Body(testing::ToolDocument(kPathRun)),
          kUploadContentType);
  c->Get(slow.ConvertPath().c_str());
  std::vector<std::string> replies;
  for (int i = 0; i < 5; ++i)
    replies.push_back(c->Get(slow.StatusPath().c_str())->body);
  EXPECT_EQ(replies,
            (std::vector<std::string>{"{\"progress\":20}", "{\"progress\":40}", "{\"progress\":60}",
                                      "{\"progress\":80}", "{\"progress\":100}"}));
}

TEST_F(StandinServerTest, RejectsUploadsTheToolWouldNeverSend) {
  const Job job;
  const std::string doc = testing::ToolDocument(kPathRun);
  const std::string good = job.Body(doc);
  const auto replace = [&](const std::string& from, const std::string& to) {
    std::string b = good;
    b.replace(b.find(from), from.size(), to);
    return b;
  };
  const struct {
    const char* what;
    std::string token, body, type;
    int status;
  } cases[] = {
      {"short token", "abc", good, kUploadContentType, 404},
      {"token with a dash", "abcdefgh-jklmnop", good, kUploadContentType, 404},
      {"no content type", job.token, good, "", 400},
      {"not multipart", job.token, good, "text/plain", 400},
      {"other boundary", job.token, good, "multipart/form-data; boundary=other", 400},
      {"truncated body", job.token, good.substr(0, good.size() - 10), kUploadContentType, 400},
      {"missing id", job.token, replace("name=\"id\"", "name=\"idx\""), kUploadContentType, 400},
      {"malformed id", job.token, replace(job.id, "o_short"), kUploadContentType, 400},
      {"filename differs from name", job.token,
       replace("filename=\"101530.svg\"", "filename=\"x.svg\""), kUploadContentType, 400},
      {"file without filename", job.token, replace("; filename=\"101530.svg\"", ""),
       kUploadContentType, 400},
      {"wrong file type", job.token, replace("image/svg+xml", "text/plain"), kUploadContentType,
       400},
      {"name not .svg", job.token, testing::UploadBody("101530.png", job.id, doc),
       kUploadContentType, 400},
  };
  for (const auto& c : cases) {
    auto svc = Service();
    auto r = c.type.empty() ? svc->Post(("/upload/" + c.token).c_str(), c.body, "")
                            : svc->Post(("/upload/" + c.token).c_str(), c.body, c.type.c_str());
    ASSERT_TRUE(r) << c.what;
    EXPECT_EQ(r->status, c.status) << c.what << ": " << r->body;
  }
  // A body above the cap is refused before it is stored.
  const std::string huge = job.Body(doc + std::string(70 * 1024, ' '));
  auto r = Upload(job, huge);
  ASSERT_TRUE(r);
  EXPECT_EQ(r->status, 413);
  EXPECT_EQ(Service()->Get(job.ConvertPath().c_str())->status, 404);
}

TEST_F(StandinServerTest, ConvertStatusAndDownloadNeedAKnownUploadAndTheRightQuery) {
  const Job job;
  RunUntilDone(job, testing::ToolDocument(kPathRun), 0);  // uploaded and converted, not polled
  const std::string base = job.token + "/" + job.id;
  const struct {
    std::string target;
    int status;
  } cases[] = {
      {"/zh/convert/" + Token() + "/" + job.id + "?rnd=" + Rnd(), 404},
      {"/zh/convert/" + job.token + "/" + UploadId() + "?rnd=" + Rnd(), 404},
      {"/zh/convert/" + base + "?rnd=0." + Rnd(), 400},
      {"/zh/convert/" + base + "?rnd=1234567890123456", 400},
      {"/zh/convert/" + base, 400},
      {"/zh/status/" + base + "?rnd=" + Rnd(), 400},
      {"/zh/status/" + Token() + "/" + job.id + "?rnd=0." + Rnd(), 404},
      {"/zh/status/" + base + "/extra?rnd=0." + Rnd(), 404},
      // Not finished yet: no status has read 100.
      {"/download/" + base + "/101530.png?rnd=0." + Rnd(), 404},
      {"/download/" + base + "/999999.png?rnd=0." + Rnd(), 404},
      {"/download/" + base + "/101530.png?rnd=" + Rnd(), 400},
      {"/download/" + base + "/101530.svg?rnd=0." + Rnd(), 404},
  };
  auto c = Service();
  for (const auto& e : cases) {
    auto r = c->Get(e.target.c_str());
    ASSERT_TRUE(r) << e.target;
    EXPECT_EQ(r->status, e.status) << e.target << ": " << r->body;
  }
  // A status before the conversion reads 0 and does not count as a poll.
  const Job fresh;
  ASSERT_EQ(Upload(fresh, fresh.Body(testing::ToolDocument(kPathRun)))->status, 200);
  EXPECT_EQ(c->Get(fresh.StatusPath().c_str())->body, "{\"progress\":0}");
  EXPECT_EQ(c->Post(("/zh/status/" + base + "?rnd=0." + Rnd()).c_str(), "", "text/plain")->status,
            404);
}

TEST_F(StandinServerTest, ADocumentTheRendererRejectsNeverFinishes) {
  const Job job;
  const std::string broken = testing::ToolDocument(kPathRun + "<g>");
  EXPECT_EQ(RunUntilDone(job, broken, 12), "{\"progress\":0}");
  EXPECT_EQ(Service()->Get(job.DownloadPath().c_str())->status, 404);
}

TEST_F(StandinServerTest, BehaviourModes) {
  const std::string doc = testing::ToolDocument(kPathRun);
  const struct {
    Mode mode;
    std::string lastStatus;  // the reply to the third status request
    int downloadStatus;
    std::string downloadType;
  } cases[] = {
      {Mode::kNeverFinish, "{\"progress\":99}", 404, ""},
      {Mode::kStringProgress, "{\"progress\":\"100\"}", 200, "image/png"},
      {Mode::kUnicodeEscapes,
       "{\"\\u0070\\u0072\\u006f\\u0067\\u0072\\u0065\\u0073\\u0073\":100,\"message\":"
       "\"\\u8f6c\\u6362\\u5b8c\\u6210\"}",
       200, "image/png"},
      {Mode::kServerError, "Internal Server Error\n", 500, ""},
      // Only the reply is garbled: the conversion itself finished.
      {Mode::kGarbage, "<html><body>}{ upstream said: \x01\x02 not json ]", 200, "image/png"},
  };
  for (const auto& c : cases) {
    server_->SetMode(c.mode);
    const Job job;
    auto svc = Service();
    svc->Post(("/upload/" + job.token).c_str(), job.Body(doc), kUploadContentType);
    svc->Get(job.ConvertPath().c_str());
    svc->Get(job.StatusPath().c_str());
    svc->Get(job.StatusPath().c_str());
    auto last = svc->Get(job.StatusPath().c_str());
    ASSERT_TRUE(last);
    EXPECT_EQ(last->body, c.lastStatus) << ModeName(c.mode);
    auto dl = svc->Get(job.DownloadPath().c_str());
    ASSERT_TRUE(dl);
    EXPECT_EQ(dl->status, c.downloadStatus) << ModeName(c.mode);
    if (!c.downloadType.empty()) {
      EXPECT_EQ(dl->get_header_value("Content-Type"), c.downloadType);
      EXPECT_TRUE(testing::DecodePng(dl->body).ok) << ModeName(c.mode);
    }
  }

  // The download faults: the conversion finishes, then the bytes are wrong, each in its own way.
  const struct {
    Mode mode;
    PngFault fault;
  } downloadFaults[] = {
      {Mode::kEmptyDownload, PngFault::kNoSignature},
      {Mode::kNotPng, PngFault::kNoSignature},
      {Mode::kTruncatedPng, PngFault::kTruncatedChunk},
      {Mode::kBadCrc, PngFault::kBadCrc},
      {Mode::kNoIend, PngFault::kNoIend},
  };
  for (const auto& c : downloadFaults) {
    server_->SetMode(Mode::kNormal);
    const Job job;
    EXPECT_EQ(RunUntilDone(job, doc), "{\"progress\":100}");
    const std::string whole = Service()->Get(job.DownloadPath().c_str())->body;
    server_->SetMode(c.mode);
    auto dl = Service()->Get(job.DownloadPath().c_str());
    ASSERT_TRUE(dl);
    EXPECT_EQ(dl->status, 200);
    EXPECT_EQ(CheckPngStructure(dl->body), c.fault) << ModeName(c.mode);
    EXPECT_EQ(dl->body.empty(), c.mode == Mode::kEmptyDownload);
    if (c.mode == Mode::kNoIend || c.mode == Mode::kTruncatedPng) {
      EXPECT_EQ(whole.rfind(dl->body, 0), 0u) << "the start of the real picture";
    }
  }

  // The JSON faults reach the collection too, and escapes keep it the same JSON.
  server_->SetMode(Mode::kUnicodeEscapes);
  const std::string escaped = Library().Get("/api/collection/detail.json?id=90007")->body;
  EXPECT_EQ(escaped.find("红"), std::string::npos);
  EXPECT_NE(escaped.find("<title>\\u7ea2\\u8272\\u7684\\u623f\\u5b50</title>"), std::string::npos);
  server_->SetMode(Mode::kGarbage);
  EXPECT_EQ(Library().Get("/api/collection/detail.json?id=90007")->body.rfind("<html>", 0), 0u);
  // A mode limited to some requests leaves the others alone.
  server_->SetMode(Mode::kServerError, kDownloadEndpoint);
  EXPECT_EQ(Library().Get("/api/collection/detail.json?id=12527")->status, 200);
  server_->SetMode(Mode::kNormal);
  EXPECT_EQ(Library().Get("/api/collection/detail.json?id=90007")->body.find("<html>"),
            std::string::npos);
}

TEST_F(StandinServerTest, SlowDripDeliversTheWholeReplyInPieces) {
  server_->SetMode(Mode::kSlowDrip);
  server_->SetDrip(4, std::chrono::milliseconds(20));
  const auto start = std::chrono::steady_clock::now();
  auto r = Library().Get("/api/collection/detail.json?id=777");
  const auto elapsed = std::chrono::steady_clock::now() - start;
  ASSERT_TRUE(r);
  EXPECT_EQ(r->body, "{\"code\":200,\"data\":{\"icons\":[]}}");
  // 31 bytes in 4-byte pieces: at least seven pauses of 20 ms between them.
  EXPECT_GE(elapsed, std::chrono::milliseconds(140));
}

TEST_F(StandinServerTest, StallGivesNoAnswerUntilReleased) {
  server_->SetMode(Mode::kStall);
  auto lib = Library();
  lib.set_read_timeout(std::chrono::milliseconds(300));
  auto stalled = lib.Get("/api/collection/detail.json?id=12527");
  EXPECT_FALSE(stalled);
  EXPECT_EQ(stalled.error(), httplib::Error::Read);

  // A stalled request is let go by a mode change; new requests are answered again.
  std::atomic<bool> answered{false};
  std::thread waiter([&] {
    auto c = Library();
    auto r = c.Get("/collections/index");
    answered = r && r->status == 503;
  });
  while (server_->RequestLog().size() < 2)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  server_->SetMode(Mode::kNormal);
  waiter.join();
  EXPECT_TRUE(answered);
  EXPECT_EQ(Library().Get("/collections/index")->status, 200);

  // Stopping ends a stalled request at once rather than after the stall limit (120 s) or the
  // client's own read timeout (20 s).
  server_->SetMode(Mode::kStall);
  server_->ClearRequestLog();
  std::atomic<bool> returned{false};
  std::thread last([&] {
    auto c = Service();
    c->Get("/zh/status/x/y");
    returned = true;
  });
  const auto waitingSince = std::chrono::steady_clock::now();
  while (server_->RequestLog().empty()) {
    ASSERT_LT(std::chrono::steady_clock::now() - waitingSince, std::chrono::seconds(60));
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  const auto stopping = std::chrono::steady_clock::now();
  server_->Stop();
  last.join();
  // Loose enough for a loaded machine, far below either limit.
  EXPECT_LT(std::chrono::steady_clock::now() - stopping, std::chrono::seconds(5));
  EXPECT_TRUE(returned);
}

TEST_F(StandinServerTest, ConcurrentLoadLosesNothing) {
  // 40 documents, each uploaded, converted and polled three times: 200 requests from 8 threads.
  constexpr int kThreads = 8, kJobs = 40;
  server_->ClearRequestLog();
  std::atomic<int> next{0}, finished{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&] {
      auto c = Service();
      for (int i = next++; i < kJobs; i = next++) {
        Job job;
        job.stem = std::to_string(100000 + i);
        auto up = c->Post(("/upload/" + job.token).c_str(),
                          job.Body(testing::ToolDocument(kPathRun)), kUploadContentType);
        auto conv = c->Get(job.ConvertPath().c_str());
        std::string last;
        for (int k = 0; k < 3; ++k) {
          auto st = c->Get(job.StatusPath().c_str());
          last = st ? st->body : "";
        }
        if (up && up->status == 200 && conv && conv->status == 200 &&
            last == "{\"progress\":100}") {
          ++finished;
        }
      }
    });
  }
  for (auto& t : threads)
    t.join();
  EXPECT_EQ(finished, kJobs);
  EXPECT_EQ(server_->RequestLog().size(), size_t(kJobs * 5));
  EXPECT_EQ(server_->StoredUploads(), size_t(kJobs));
}

TEST_F(StandinServerTest, StoredUploadsAreBounded) {
  StandinOptions options;
  options.maxStoredUploads = 3;
  Start(options);
  std::vector<Job> jobs(5);
  for (const Job& job : jobs) {
    ASSERT_EQ(Upload(job, job.Body(testing::ToolDocument(kPathRun)))->status, 200);
  }
  EXPECT_EQ(server_->StoredUploads(), 3u);
  EXPECT_EQ(Service()->Get(jobs[0].ConvertPath().c_str())->status, 404);
  EXPECT_EQ(Service()->Get(jobs[4].ConvertPath().c_str())->status, 200);
}

TEST_F(StandinServerTest, SurvivesMalformedRequests) {
  // Raw bytes on both ports: broken request lines, huge headers, a lying Content-Length.
  const std::string inputs[] = {
      "GARBAGE\r\n\r\n",
      "GET /api/collection/detail.json?id=1 HTTP/1.1\r\nHost: x\r\n" + std::string(20000, 'a') +
          "\r\n\r\n",
      "POST /upload/abcdefghijklmnop HTTP/1.1\r\nContent-Length: 99999999999999999999\r\n\r\n",
      "POST /upload/abcdefghijklmnop HTTP/1.1\r\nContent-Length: 100\r\n\r\nshort",
      std::string("\0\xff\r\n\r\n", 6),
  };
  for (const std::string& input : inputs) {
    // Sent through a plain socket so nothing tidies the bytes on the way.
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(server_->LibraryPort()));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    (void)!send(fd, input.data(), input.size(), MSG_NOSIGNAL);
    shutdown(fd, SHUT_WR);
    char buf[512];
    while (recv(fd, buf, sizeof buf, 0) > 0) {
    }
    close(fd);
  }
  // Binary junk as an upload body is a bad request, not a crash.
  auto c = Service();
  EXPECT_EQ(
      c->Post("/upload/abcdefghijklmnop", std::string(1000, '\0'), kUploadContentType)->status,
      400);
  EXPECT_EQ(Library().Get("/collections/index")->status, 200);
  EXPECT_EQ(RunUntilDone(Job(), testing::ToolDocument(kPathRun)), "{\"progress\":100}");
}

TEST(StandinServerStartup, BusyPortAndUnwritableCaAreErrors) {
  StandinServer first;
  StandinOptions sameLibraryPort;
  sameLibraryPort.libraryPort = first.LibraryPort();
  EXPECT_THROW(StandinServer{sameLibraryPort}, std::runtime_error);
  StandinOptions badCa;
  badCa.caOut = "/nonexistent-folder/ca.pem";
  EXPECT_THROW(StandinServer{badCa}, std::runtime_error);
  // The temporary CA file is there while the server runs and gone after.
  std::string caPath;
  {
    StandinServer temp;
    caPath = temp.CaPath();
    EXPECT_TRUE(fs::exists(caPath));
  }
  EXPECT_FALSE(fs::exists(caPath));
}

}  // namespace
}  // namespace korvane::standin
