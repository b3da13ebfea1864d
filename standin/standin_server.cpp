#include "standin/standin_server.h"

#include <httplib.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <stdlib.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <condition_variable>
#include <deque>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <set>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "standin/multipart.h"
#include "standin/sample_collections.h"
#include "standin/svg_renderer.h"
#include "standin/tls_certificates.h"
#include "standin/unicode_escapes.h"

namespace korvane::standin {
namespace {

namespace fs = std::filesystem;

// httplib parses multipart bodies itself (and rejects a body that opens with a preamble), so the
// upload's Content-Type is moved aside before routing and the raw body reaches our own parser.
constexpr char kRawContentType[] = "X-Standin-Raw-Content-Type";
constexpr size_t kMaxLoggedRequests = 10000;
constexpr size_t kMaxCollectionBytes = 64u << 20;

bool IsAlnum(std::string_view s) {
  return std::all_of(s.begin(), s.end(),
                     [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; });
}

// The page token: 16 letters or digits.
bool IsPageToken(std::string_view s) {
  return s.size() == 16 && IsAlnum(s);
}

// The upload id: "o_" and 28 letters or digits.
bool IsUploadId(std::string_view s) {
  return s.size() == 30 && s.substr(0, 2) == "o_" && IsAlnum(s.substr(2));
}

// The cache buster: 16 odd digits, after "0." where the request writes it as a fraction.
bool IsCacheBuster(std::string_view s, bool fraction) {
  if (fraction) {
    if (s.substr(0, 2) != "0.")
      return false;
    s.remove_prefix(2);
  }
  return s.size() == 16 && std::all_of(s.begin(), s.end(), [](char c) {
           return c == '1' || c == '3' || c == '5' || c == '7' || c == '9';
         });
}

// A collection id is looked up as a file name, so only plain names get that far.
bool IsCollectionId(std::string_view s) {
  return !s.empty() && s.size() <= 64 && std::all_of(s.begin(), s.end(), [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-';
  });
}

std::string ReadFile(const fs::path& path, size_t limit, bool& ok) {
  ok = false;
  std::ifstream in(path, std::ios::binary);
  if (!in)
    return {};
  std::error_code ec;
  const auto size = fs::file_size(path, ec);
  if (ec || size > limit)
    return {};
  std::string data(static_cast<size_t>(size), '\0');
  in.read(data.data(), static_cast<std::streamsize>(data.size()));
  ok = static_cast<bool>(in) || in.gcount() == static_cast<std::streamsize>(data.size());
  return data;
}

std::string HtmlEscape(std::string_view s) {
  std::string out;
  for (char c : s) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

void JsonError(httplib::Response& res, int status, std::string_view message) {
  res.status = status;
  res.set_content(
      "{\"code\":" + std::to_string(status) + ",\"message\":\"" + std::string(message) + "\"}",
      "application/json; charset=utf-8");
}

void TextError(httplib::Response& res, int status, std::string_view message) {
  res.status = status;
  res.set_content(std::string(message) + "\n", "text/plain; charset=utf-8");
}

using CertPtr = std::unique_ptr<X509, decltype(&X509_free)>;
using KeyPtr = std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)>;

CertPtr ParseCert(const std::string& pem) {
  std::unique_ptr<BIO, decltype(&BIO_free)> bio(
      BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())), &BIO_free);
  return CertPtr(bio ? PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr) : nullptr,
                 &X509_free);
}

KeyPtr ParseKey(const std::string& pem) {
  std::unique_ptr<BIO, decltype(&BIO_free)> bio(
      BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())), &BIO_free);
  return KeyPtr(bio ? PEM_read_bio_PrivateKey(bio.get(), nullptr, nullptr, nullptr) : nullptr,
                &EVP_PKEY_free);
}

}  // namespace

struct StandinServer::Impl {
  // The behaviour that requests read; guarded by mutex.
  struct Behaviour {
    Mode mode = Mode::kNormal;
    unsigned endpoints = 0;
    int polls = 2;
    int size = 256;
    size_t dripBytes = 32;
    std::chrono::milliseconds dripInterval{100};
    bool Active(Mode m, unsigned endpoint) const { return mode == m && (endpoints & endpoint); }
  };

  // One uploaded document and what became of it.
  struct Upload {
    std::string filename;  // as uploaded, "<stem>.svg"
    std::string svg;
    bool converted = false;
    bool rendered = false;
    std::string png;
    std::string renderError;
    int statusPolls = 0;    // status requests answered since the conversion
    bool finished = false;  // a status reply has read 100
  };

  StandinOptions options;
  TlsMaterial tls;
  std::string caPath;
  fs::path tempDir;  // removed on stop when the CA went there

  mutable std::mutex mutex;
  std::condition_variable wake;  // signalled on stop and on a mode change
  bool stopping = false;
  unsigned long modeGeneration = 0;
  Behaviour behaviour;
  std::map<std::string, Upload> uploads;  // key: token + "/" + id
  std::deque<std::string> uploadOrder;    // oldest first
  size_t storedBytes = 0;
  std::deque<LoggedRequest> log;

  httplib::Server library;
  std::unique_ptr<httplib::SSLServer> converter;
  int libraryPort = 0, servicePort = 0;
  std::thread libraryThread, converterThread;
  std::once_flag stopOnce;

  explicit Impl(StandinOptions opts) : options(std::move(opts)) {
    behaviour.mode = options.mode;
    behaviour.endpoints =
        options.modeEndpoints ? options.modeEndpoints : DefaultEndpoints(options.mode);
    behaviour.polls = std::max(0, options.polls);
    behaviour.size = options.size;
    behaviour.dripBytes = std::max<size_t>(1, options.dripBytes);
    behaviour.dripInterval = options.dripInterval;
  }

  Behaviour Snapshot() const {
    std::lock_guard lock(mutex);
    return behaviour;
  }

  void Log(const char* service, const httplib::Request& req) {
    std::lock_guard lock(mutex);
    log.push_back({service, req.method, req.path, req.target, std::chrono::system_clock::now()});
    while (log.size() > kMaxLoggedRequests)
      log.pop_front();
  }

  // Waits until the mode changes or the server stops (or the stall limit passes).
  void Stall() {
    std::unique_lock lock(mutex);
    const unsigned long generation = modeGeneration;
    wake.wait_for(lock, options.stallLimit,
                  [&] { return stopping || modeGeneration != generation; });
  }

  // The faults that apply to any request. True when the request has been answered by one.
  bool GenericFault(const Behaviour& b, unsigned endpoint, httplib::Response& res) {
    if (b.Active(Mode::kStall, endpoint)) {
      Stall();
      TextError(res, 503, "stalled request released");
      return true;
    }
    if (b.Active(Mode::kServerError, endpoint)) {
      TextError(res, 500, "Internal Server Error");
      return true;
    }
    return false;
  }

  static constexpr char kGarbage[] = "<html><body>}{ upstream said: \x01\x02 not json ]";

  // Turns a finished reply into one that trickles out when the drip applies.
  void MaybeDrip(const Behaviour& b, unsigned endpoint, httplib::Response& res) {
    if (!b.Active(Mode::kSlowDrip, endpoint) || res.body.empty())
      return;
    auto body = std::make_shared<std::string>(std::move(res.body));
    res.body.clear();
    const std::string type = res.get_header_value("Content-Type");
    res.headers.erase("Content-Type");
    const size_t piece = b.dripBytes;
    const auto interval = b.dripInterval;
    res.set_content_provider(
        body->size(), type,
        [this, body, piece, interval](size_t offset, size_t length, httplib::DataSink& sink) {
          const size_t n = std::min({piece, length, body->size() - offset});
          if (!sink.write(body->data() + offset, n))
            return false;
          std::unique_lock lock(mutex);
          return !wake.wait_for(lock, interval, [&] { return stopping; });
        });
  }

  // --- icon library ---------------------------------------------------------------------

  std::vector<fs::path> CollectionDirs() const {
    std::vector<fs::path> dirs(options.collectionDirs.begin(), options.collectionDirs.end());
    // An empty folder would mean the working directory: a program that cannot locate itself
    // serves no bundled samples rather than whatever lies there.
    if (options.includeBundled && !samples::BundledSamplesDir().empty())
      dirs.emplace_back(samples::BundledSamplesDir());
    return dirs;
  }

  void HandleCollection(const httplib::Request& req, httplib::Response& res) {
    const Behaviour b = Snapshot();
    if (GenericFault(b, kCollectionEndpoint, res))
      return;
    if (!req.has_param("id")) {
      JsonError(res, 400, "the query needs an id");
    } else if (b.Active(Mode::kGarbage, kCollectionEndpoint)) {
      res.set_content(kGarbage, "application/json; charset=utf-8");
    } else {
      const std::string id = req.get_param_value("id");
      bool found = false;
      std::string json;
      if (IsCollectionId(id)) {
        for (const fs::path& dir : CollectionDirs()) {
          json = ReadFile(dir / (id + ".json"), kMaxCollectionBytes, found);
          if (found)
            break;
        }
      }
      if (!found) {
        JsonError(res, 404, "no collection with this id");
      } else {
        if (b.Active(Mode::kUnicodeEscapes, kCollectionEndpoint))
          json = EscapeNonAscii(json);
        res.set_content(std::move(json), "application/json; charset=utf-8");
      }
    }
    MaybeDrip(b, kCollectionEndpoint, res);
  }

  void HandleIndex(const httplib::Request&, httplib::Response& res) {
    const Behaviour b = Snapshot();
    if (GenericFault(b, kIndexEndpoint, res))
      return;
    std::set<std::string> ids;
    for (const fs::path& dir : CollectionDirs()) {
      std::error_code ec;
      for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        const fs::path& p = it->path();
        if (p.extension() == ".json" && IsCollectionId(p.stem().string())) {
          ids.insert(p.stem().string());
        }
      }
    }
    std::string html =
        "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
        "<title>Collections</title></head><body>\n<h1>Collections</h1>\n"
        "<p>The number after a name is the collection's id: type it into Korvane.</p>\n<ul>\n";
    for (const std::string& id : ids) {
      std::string name;
      for (const auto& s : samples::kAll) {
        if (s.id == id)
          name = std::string(s.name) + " ";
      }
      html += "<li><a href=\"/api/collection/detail.json?id=" + HtmlEscape(id) + "\">" +
              HtmlEscape(name) + HtmlEscape(id) + "</a></li>\n";
    }
    html += "</ul>\n</body></html>\n";
    res.set_content(std::move(html), "text/html; charset=utf-8");
    MaybeDrip(b, kIndexEndpoint, res);
  }

  // --- conversion service ---------------------------------------------------------------

  void Store(const std::string& key, Upload upload) {
    std::lock_guard lock(mutex);
    if (auto it = uploads.find(key); it != uploads.end()) {
      storedBytes -= it->second.svg.size() + it->second.png.size();
      uploads.erase(it);
      uploadOrder.erase(std::find(uploadOrder.begin(), uploadOrder.end(), key));
    }
    storedBytes += upload.svg.size();
    uploads.emplace(key, std::move(upload));
    uploadOrder.push_back(key);
    EvictLocked();
  }

  void EvictLocked() {
    while (uploadOrder.size() > 1 && (uploadOrder.size() > options.maxStoredUploads ||
                                      storedBytes > options.maxStoredBytes)) {
      auto it = uploads.find(uploadOrder.front());
      storedBytes -= it->second.svg.size() + it->second.png.size();
      uploads.erase(it);
      uploadOrder.pop_front();
    }
  }

  void HandleUpload(const httplib::Request& req, httplib::Response& res) {
    const Behaviour b = Snapshot();
    if (GenericFault(b, kUploadEndpoint, res))
      return;
    const std::string token = req.matches[1];
    if (!IsPageToken(token))
      return TextError(res, 404, "unknown page token");
    const auto boundary = BoundaryFromContentType(req.get_header_value(kRawContentType));
    if (!boundary)
      return TextError(res, 400, "expected multipart/form-data with a boundary");
    MultipartResult form = ParseMultipart(req.body, *boundary);
    if (!form.ok)
      return TextError(res, 400, "malformed form body: " + form.error);
    for (const FormPart& part : form.parts) {
      if (part.name != "name" && part.name != "id" && part.name != "file") {
        return TextError(res, 400, "unexpected field " + part.name);
      }
      if (std::count_if(form.parts.begin(), form.parts.end(),
                        [&](const FormPart& p) { return p.name == part.name; }) > 1) {
        return TextError(res, 400, "field " + part.name + " given twice");
      }
    }
    const FormPart* name = FindPart(form.parts, "name");
    const FormPart* id = FindPart(form.parts, "id");
    const FormPart* file = FindPart(form.parts, "file");
    if (!name || !id || !file)
      return TextError(res, 400, "the fields name, id and file are needed");
    if (!IsUploadId(id->data))
      return TextError(res, 400, "malformed upload id");
    const std::string& filename = name->data;
    if (filename.size() < 5 || filename.compare(filename.size() - 4, 4, ".svg") != 0 ||
        filename.find_first_of("/\\\r\n\"") != std::string::npos) {
      return TextError(res, 400, "the name must be a plain file name ending in .svg");
    }
    if (!file->hasFilename || file->filename != filename) {
      return TextError(res, 400, "the file's filename must be the name field");
    }
    if (file->contentType != "image/svg+xml") {
      return TextError(res, 400, "the file must be image/svg+xml");
    }
    if (file->data.empty())
      return TextError(res, 400, "the file is empty");

    Upload upload;
    upload.filename = filename;
    upload.svg = file->data;
    Store(token + "/" + id->data, std::move(upload));
    res.set_content("{\"status\":\"uploaded\",\"id\":\"" + id->data + "\"}",
                    "application/json; charset=utf-8");
    MaybeDrip(b, kUploadEndpoint, res);
  }

  // Checks the token, id and cache buster of a convert, status or download request. Returns the
  // upload key, or an empty text when the request has been answered with an error.
  std::string CheckTarget(const httplib::Request& req, httplib::Response& res, bool fraction) {
    const std::string token = req.matches[1], id = req.matches[2];
    if (!IsCacheBuster(req.get_param_value("rnd"), fraction) ||
        req.get_param_value_count("rnd") != 1) {
      TextError(res, 400, "missing or malformed rnd");
      return {};
    }
    const std::string key = token + "/" + id;
    std::lock_guard lock(mutex);
    if (!IsPageToken(token) || !IsUploadId(id) || !uploads.count(key)) {
      TextError(res, 404, "unknown page token or upload id");
      return {};
    }
    return key;
  }

  void HandleConvert(const httplib::Request& req, httplib::Response& res) {
    const Behaviour b = Snapshot();
    if (GenericFault(b, kConvertEndpoint, res))
      return;
    const std::string key = CheckTarget(req, res, false);
    if (key.empty())
      return;
    std::string svg;
    {
      std::lock_guard lock(mutex);
      svg = uploads[key].svg;
    }
    // Render outside the lock: conversions of different documents run side by side.
    RenderResult rendered = RenderSvgToPng(svg, b.size);
    {
      std::lock_guard lock(mutex);
      auto it = uploads.find(key);
      if (it != uploads.end()) {  // it may have been evicted meanwhile
        Upload& u = it->second;
        storedBytes -= u.png.size();
        u.converted = true;
        u.rendered = rendered.ok;
        u.png = std::move(rendered.png);
        u.renderError = rendered.error;
        u.statusPolls = 0;
        u.finished = false;
        storedBytes += u.png.size();
        EvictLocked();
      }
    }
    res.set_content("{\"status\":\"converting\"}", "application/json; charset=utf-8");
    MaybeDrip(b, kConvertEndpoint, res);
  }

  void HandleStatus(const httplib::Request& req, httplib::Response& res) {
    const Behaviour b = Snapshot();
    if (GenericFault(b, kStatusEndpoint, res))
      return;
    const std::string key = CheckTarget(req, res, true);
    if (key.empty())
      return;
    int progress = 0;
    {
      std::lock_guard lock(mutex);
      auto it = uploads.find(key);
      if (it == uploads.end())
        return TextError(res, 404, "unknown page token or upload id");
      Upload& u = it->second;
      if (u.converted && u.rendered) {
        const int k = u.statusPolls++;
        progress = k >= b.polls ? 100 : 100 * (k + 1) / (b.polls + 1);
        if (b.Active(Mode::kNeverFinish, kStatusEndpoint)) {
          progress = std::min(99, 100 * (k + 1) / (b.polls + 1));
        }
        if (progress == 100)
          u.finished = true;
      }
    }
    std::string value = std::to_string(progress);
    if (b.Active(Mode::kStringProgress, kStatusEndpoint))
      value = "\"" + value + "\"";
    std::string json;
    if (b.Active(Mode::kGarbage, kStatusEndpoint)) {
      json = kGarbage;
    } else if (b.Active(Mode::kUnicodeEscapes, kStatusEndpoint)) {
      // Still valid JSON, but only a reader that decodes the escapes finds "progress".
      json = "{\"" + EscapeEveryCharacter("progress") + "\":" + value + ",\"message\":\"" +
             EscapeNonAscii(progress == 100 ? "转换完成" : "正在转换") + "\"}";
    } else {
      json = "{\"progress\":" + value + "}";
    }
    res.set_content(std::move(json), "application/json; charset=utf-8");
    MaybeDrip(b, kStatusEndpoint, res);
  }

  void HandleDownload(const httplib::Request& req, httplib::Response& res) {
    const Behaviour b = Snapshot();
    if (GenericFault(b, kDownloadEndpoint, res))
      return;
    const std::string key = CheckTarget(req, res, true);
    if (key.empty())
      return;
    std::string png;
    {
      std::lock_guard lock(mutex);
      auto it = uploads.find(key);
      if (it == uploads.end())
        return TextError(res, 404, "unknown page token or upload id");
      const Upload& u = it->second;
      const std::string stem = u.filename.substr(0, u.filename.size() - 4);
      if (req.matches[3] != stem)
        return TextError(res, 404, "no such file: " + std::string(req.matches[3]) + ".png");
      if (!u.finished)
        return TextError(res, 404, "the conversion has not finished");
      png = u.png;
    }
    if (b.Active(Mode::kEmptyDownload, kDownloadEndpoint)) {
      res.set_content("", "image/png");
    } else if (b.Active(Mode::kNotPng, kDownloadEndpoint)) {
      res.set_content("<!DOCTYPE html><html><body><h1>File expired</h1></body></html>\n",
                      "text/html; charset=utf-8");
    } else if (b.Active(Mode::kTruncatedPng, kDownloadEndpoint)) {
      // A renderer that died half-way through writing: the signature and IHDR are whole.
      png.resize(std::max<size_t>(33 + 1, png.size() / 2));
      res.set_content(std::move(png), "image/png");
    } else if (b.Active(Mode::kBadCrc, kDownloadEndpoint)) {
      // One flipped bit in the middle of the image data, as a damaged copy would have it.
      if (png.size() > 45)
        png[png.size() / 2] = static_cast<char>(png[png.size() / 2] ^ 0x10);
      res.set_content(std::move(png), "image/png");
    } else if (b.Active(Mode::kNoIend, kDownloadEndpoint)) {
      png.resize(png.size() >= 12 ? png.size() - 12 : 0);  // IEND is the last 12 bytes
      res.set_content(std::move(png), "image/png");
    } else {
      res.set_content(std::move(png), "image/png");
    }
    MaybeDrip(b, kDownloadEndpoint, res);
  }

  // --- lifecycle ------------------------------------------------------------------------

  void WriteCa() {
    caPath = options.caOut;
    if (caPath.empty()) {
      std::string pattern = (fs::temp_directory_path() / "korvane-standin-XXXXXX").string();
      if (!mkdtemp(pattern.data()))
        throw std::runtime_error("cannot make a temporary folder");
      tempDir = pattern;
      caPath = (tempDir / "ca.pem").string();
    }
    if (!WritePemFile(caPath, tls.caCertPem)) {
      throw std::runtime_error("cannot write the CA certificate to " + caPath);
    }
  }

  static void Configure(httplib::Server& server, size_t threads) {
    server.new_task_queue = [threads] { return new httplib::ThreadPool(threads); };
    server.set_keep_alive_max_count(100);
    // A reply goes out in several writes; without this each small one waits for the peer's
    // delayed acknowledgement (some 40 ms).
    server.set_tcp_nodelay(true);
    server.set_read_timeout(std::chrono::seconds(10));
    // httplib's default also sets SO_REUSEPORT, which lets a second stand-in bind a port that is
    // taken and share its connections; a taken port must be an error instead.
    server.set_socket_options([](socket_t sock) {
      int yes = 1;
      setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    });
    server.set_write_timeout(std::chrono::seconds(10));
  }

  void Start() {
    tls = MakeTlsMaterial();
    WriteCa();

    Configure(library, 4);
    library.set_pre_routing_handler([this](const httplib::Request& req, httplib::Response&) {
      Log("library", req);
      return httplib::Server::HandlerResponse::Unhandled;
    });
    library.Get(
        "/api/collection/detail.json",
        [this](const httplib::Request& q, httplib::Response& r) { HandleCollection(q, r); });
    library.Get("/collections/index",
                [this](const httplib::Request& q, httplib::Response& r) { HandleIndex(q, r); });

    {
      CertPtr cert = ParseCert(tls.serverCertPem);
      KeyPtr key = ParseKey(tls.serverKeyPem);
      if (!cert || !key)
        throw std::runtime_error("cannot read the server's TLS material");
      converter = std::make_unique<httplib::SSLServer>(cert.get(), key.get());
    }
    if (!converter->is_valid())
      throw std::runtime_error("cannot set up TLS for the converter");
    Configure(*converter, 8);
    converter->set_payload_max_length(options.maxUploadBytes);
    converter->set_pre_routing_handler([this](const httplib::Request& creq, httplib::Response&) {
      Log("converter", creq);
      // The server owns the request object; only its constness is ours to drop here.
      auto& req = const_cast<httplib::Request&>(creq);
      if (auto it = req.headers.find("Content-Type"); it != req.headers.end()) {
        std::string value = it->second;
        req.headers.erase(it);
        req.headers.emplace(kRawContentType, std::move(value));
      }
      return httplib::Server::HandlerResponse::Unhandled;
    });
    converter->Post(R"(/upload/([^/]*))", [this](const httplib::Request& q, httplib::Response& r) {
      HandleUpload(q, r);
    });
    converter->Get(
        R"(/zh/convert/([^/]*)/([^/]*))",
        [this](const httplib::Request& q, httplib::Response& r) { HandleConvert(q, r); });
    converter->Get(R"(/zh/status/([^/]*)/([^/]*))",
                   [this](const httplib::Request& q, httplib::Response& r) { HandleStatus(q, r); });
    converter->Get(
        R"(/download/([^/]*)/([^/]*)/([^/]*)\.png)",
        [this](const httplib::Request& q, httplib::Response& r) { HandleDownload(q, r); });

    libraryPort = Bind(library, options.libraryPort, "icon library");
    servicePort = Bind(*converter, options.servicePort, "converter");
    libraryThread = std::thread([this] { library.listen_after_bind(); });
    converterThread = std::thread([this] { converter->listen_after_bind(); });
    // stop() does nothing to a server whose loop has not begun yet, so a server stopped at once
    // would serve on forever: wait until both loops run.
    while (!library.is_running() || !converter->is_running()) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }

  static int Bind(httplib::Server& server, int port, const char* what) {
    if (port == 0) {
      const int bound = server.bind_to_any_port("127.0.0.1");
      if (bound <= 0)
        throw std::runtime_error(std::string("cannot bind the ") + what);
      return bound;
    }
    if (!server.bind_to_port("127.0.0.1", port)) {
      throw std::runtime_error(std::string("cannot bind the ") + what + " to port " +
                               std::to_string(port));
    }
    return port;
  }

  void Stop() {
    std::call_once(stopOnce, [this] {
      {
        std::lock_guard lock(mutex);
        stopping = true;
      }
      wake.notify_all();
      library.stop();
      if (converter)
        converter->stop();
      if (libraryThread.joinable())
        libraryThread.join();
      if (converterThread.joinable())
        converterThread.join();
      if (!tempDir.empty()) {
        std::error_code ec;
        fs::remove_all(tempDir, ec);
      }
    });
  }
};

StandinServer::StandinServer(StandinOptions options)
    : impl_(std::make_unique<Impl>(std::move(options))) {
  try {
    impl_->Start();
  } catch (...) {
    impl_->Stop();
    throw;
  }
}

StandinServer::~StandinServer() {
  Stop();
}

int StandinServer::LibraryPort() const {
  return impl_->libraryPort;
}
int StandinServer::ServicePort() const {
  return impl_->servicePort;
}
std::string StandinServer::LibraryUrl() const {
  return "http://127.0.0.1:" + std::to_string(impl_->libraryPort);
}
std::string StandinServer::ServiceUrl() const {
  return "https://127.0.0.1:" + std::to_string(impl_->servicePort);
}
std::string StandinServer::CaPath() const {
  return impl_->caPath;
}
std::string StandinServer::CaPem() const {
  return impl_->tls.caCertPem;
}

void StandinServer::SetMode(Mode mode, unsigned endpoints) {
  {
    std::lock_guard lock(impl_->mutex);
    impl_->behaviour.mode = mode;
    impl_->behaviour.endpoints = endpoints ? endpoints : DefaultEndpoints(mode);
    ++impl_->modeGeneration;
  }
  impl_->wake.notify_all();
}

void StandinServer::SetPolls(int polls) {
  std::lock_guard lock(impl_->mutex);
  impl_->behaviour.polls = std::max(0, polls);
}

void StandinServer::SetSize(int longerSide) {
  std::lock_guard lock(impl_->mutex);
  impl_->behaviour.size = longerSide;
}

void StandinServer::SetDrip(size_t bytes, std::chrono::milliseconds interval) {
  std::lock_guard lock(impl_->mutex);
  impl_->behaviour.dripBytes = std::max<size_t>(1, bytes);
  impl_->behaviour.dripInterval = interval;
}

std::vector<LoggedRequest> StandinServer::RequestLog() const {
  std::lock_guard lock(impl_->mutex);
  return {impl_->log.begin(), impl_->log.end()};
}

void StandinServer::ClearRequestLog() {
  std::lock_guard lock(impl_->mutex);
  impl_->log.clear();
}

size_t StandinServer::StoredUploads() const {
  std::lock_guard lock(impl_->mutex);
  return impl_->uploads.size();
}

void StandinServer::Stop() {
  impl_->Stop();
}

}  // namespace korvane::standin
