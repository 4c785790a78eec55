#include "support/test_server.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>

#include "web/header_text.h"

namespace derov::test {
namespace {

// JSON, as the control channel speaks it: strings stand for bytes, one character per byte.

std::string JsonString(std::string_view bytes) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out = "\"";
  for (unsigned char c : bytes) {
    if (c == '"' || c == '\\') {
      out.push_back('\\');
      out.push_back(static_cast<char>(c));
    } else if (c < 0x20 || c >= 0x7f) {
      out.append("\\u00").push_back(kHex[c >> 4]);
      out.push_back(kHex[c & 15]);
    } else {
      out.push_back(static_cast<char>(c));
    }
  }
  return out + "\"";
}

struct Json {
  enum class Kind { kNull, kBool, kNumber, kString, kArray, kObject } kind = Kind::kNull;
  double number = 0;
  std::string text;
  std::vector<Json> items;
  std::map<std::string, Json> fields;

  const Json& operator[](const std::string& name) const {
    static const Json kMissing;
    const auto it = fields.find(name);
    return it == fields.end() ? kMissing : it->second;
  }
};

class JsonReader {
 public:
  explicit JsonReader(std::string_view text) : s_(text) {}

  bool Read(Json& out) {
    if (!Value(out)) return false;
    SkipSpace();
    return i_ == s_.size();
  }

 private:
  void SkipSpace() {
    while (i_ < s_.size() && (s_[i_] == ' ' || s_[i_] == '\n' || s_[i_] == '\r' || s_[i_] == '\t'))
      ++i_;
  }
  bool Take(char c) {
    SkipSpace();
    if (i_ < s_.size() && s_[i_] == c) {
      ++i_;
      return true;
    }
    return false;
  }
  bool Word(std::string_view word) {
    if (s_.substr(i_, word.size()) != word) return false;
    i_ += word.size();
    return true;
  }

  bool Value(Json& out) {
    SkipSpace();
    if (i_ >= s_.size()) return false;
    const char c = s_[i_];
    if (c == '{') return Object(out);
    if (c == '[') return Array(out);
    if (c == '"') {
      out.kind = Json::Kind::kString;
      return String(out.text);
    }
    if (Word("null")) return true;
    if (Word("true") || Word("false")) {
      out.kind = Json::Kind::kBool;
      out.number = s_[i_ - 4] == 't' ? 1 : 0;
      return true;
    }
    char* end = nullptr;
    const std::string rest(s_.substr(i_, 64));
    out.number = std::strtod(rest.c_str(), &end);
    if (end == rest.c_str()) return false;
    out.kind = Json::Kind::kNumber;
    i_ += static_cast<size_t>(end - rest.c_str());
    return true;
  }

  bool String(std::string& out) {
    ++i_;  // the opening quote
    while (i_ < s_.size()) {
      const char c = s_[i_++];
      if (c == '"') return true;
      if (c != '\\') {
        out.push_back(c);
        continue;
      }
      if (i_ >= s_.size()) return false;
      const char e = s_[i_++];
      switch (e) {
        case 'n': out.push_back('\n'); break;
        case 'r': out.push_back('\r'); break;
        case 't': out.push_back('\t'); break;
        case 'b': out.push_back('\b'); break;
        case 'f': out.push_back('\f'); break;
        case 'u': {
          if (i_ + 4 > s_.size()) return false;
          const unsigned long unit = std::strtoul(std::string(s_.substr(i_, 4)).c_str(), nullptr, 16);
          i_ += 4;
          out.push_back(unit <= 0xff ? static_cast<char>(unit) : '?');  // bytes only
          break;
        }
        default: out.push_back(e);
      }
    }
    return false;
  }

  bool Array(Json& out) {
    out.kind = Json::Kind::kArray;
    ++i_;
    if (Take(']')) return true;
    do {
      out.items.emplace_back();
      if (!Value(out.items.back())) return false;
    } while (Take(','));
    return Take(']');
  }

  bool Object(Json& out) {
    out.kind = Json::Kind::kObject;
    ++i_;
    if (Take('}')) return true;
    do {
      SkipSpace();
      std::string name;
      if (i_ >= s_.size() || s_[i_] != '"' || !String(name) || !Take(':')) return false;
      if (!Value(out.fields[name])) return false;
    } while (Take(','));
    return Take('}');
  }

  std::string_view s_;
  size_t i_ = 0;
};

std::string Base64Decode(std::string_view text) {
  std::string out;
  unsigned buffer = 0;
  int bits = 0;
  for (char c : text) {
    int value;
    if (c >= 'A' && c <= 'Z') value = c - 'A';
    else if (c >= 'a' && c <= 'z') value = c - 'a' + 26;
    else if (c >= '0' && c <= '9') value = c - '0' + 52;
    else if (c == '+') value = 62;
    else if (c == '/') value = 63;
    else continue;  // padding
    buffer = (buffer << 6) | static_cast<unsigned>(value);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      out.push_back(static_cast<char>((buffer >> bits) & 0xff));
    }
  }
  return out;
}

std::string ResponseJson(const ScriptedResponse& r) {
  std::string json = "{\"status\":" + std::to_string(r.status);
  if (!r.reason.empty()) json += ",\"reason\":" + JsonString(r.reason);
  json += ",\"headers\":[";
  for (size_t i = 0; i < r.headers.size(); ++i)
    json += (i ? ",[" : "[") + JsonString(r.headers[i].first) + "," +
            JsonString(r.headers[i].second) + "]";
  json += "],\"body_b64\":\"" + Base64Encode(r.body) + "\"";
  if (r.repeatTo >= 0) json += ",\"repeat_to\":" + std::to_string(r.repeatTo);
  json += ",\"delay_ms\":" + std::to_string(r.delayMs);
  if (r.stallAt >= 0)
    json += ",\"stall_at\":" + std::to_string(r.stallAt) + ",\"stall_ms\":" + std::to_string(r.stallMs);
  json += r.action == ScriptedResponse::Action::kClose   ? ",\"action\":\"close\""
          : r.action == ScriptedResponse::Action::kReset ? ",\"action\":\"reset\""
                                                         : "";
  return json + "}";
}

// The state file's Unix path as the Windows side sees it (Wine maps the root to Z:).
std::string WindowsPath(std::string path) {
  if (path.empty() || path[0] != '/') return path;
  for (char& c : path)
    if (c == '/') c = '\\';
  return "Z:" + path;
}

class Socket {
 public:
  Socket() : s_(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP)) {}
  ~Socket() {
    if (s_ != INVALID_SOCKET) closesocket(s_);
  }
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;
  SOCKET get() const { return s_; }

 private:
  SOCKET s_;
};

std::atomic<int> prefixCounter{0};

bool SameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && (a.empty() || FindText(a, b, 1, true) == 1);
}

}  // namespace

std::string RecordedRequest::Header(std::string_view name) const {
  for (const std::string& line : headerLines)
    if (SameName(HeaderName(line), name)) return HeaderValue(line);
  return {};
}

int RecordedRequest::CountHeader(std::string_view name) const {
  int count = 0;
  for (const std::string& line : headerLines) count += SameName(HeaderName(line), name) ? 1 : 0;
  return count;
}

TestServer::TestServer() {
  WSADATA data;
  socketsStarted_ = WSAStartup(MAKEWORD(2, 2), &data) == 0;
  if (!socketsStarted_) {
    problem_ = "WSAStartup failed";
    return;
  }
  const char* stateFile = std::getenv("DEROV_TEST_SERVER");
  if (!stateFile || !*stateFile) {
    problem_ = "DEROV_TEST_SERVER is not set: run the Windows tests through ctest, which "
               "starts the test server";
    return;
  }
  std::ifstream in(WindowsPath(stateFile));
  if (!(in >> port_) || port_ <= 0) {
    problem_ = std::string("no test server port in ") + stateFile;
    return;
  }
  prefix_ = "/t/" + std::to_string(GetCurrentProcessId()) + "-" +
            std::to_string(++prefixCounter) + "/";
  if (Control("GET", "/_control/ping", "").find("\"ok\": true") == std::string::npos &&
      problem_.empty())
    problem_ = "the test server does not answer its ping";
}

TestServer::~TestServer() {
  if (ready()) Control("POST", "/_control/reset", "{\"prefix\":" + JsonString(prefix_) + "}");
  if (socketsStarted_) WSACleanup();
}

std::string TestServer::Url(std::string_view name) const {
  return "http://127.0.0.1:" + std::to_string(port_) + Path(name);
}

bool TestServer::Script(std::string_view name, const std::vector<ScriptedResponse>& responses) {
  std::string json = "{\"path\":" + JsonString(Path(name)) + ",\"responses\":[";
  for (size_t i = 0; i < responses.size(); ++i) {
    if (i > 0) json += ",";
    json += ResponseJson(responses[i]);
  }
  json += "]}";
  return Control("POST", "/_control/script", json).find("\"ok\": true") != std::string::npos;
}

std::vector<RecordedRequest> TestServer::Requests() {
  Json reply;
  // The prefix holds only characters that need no escaping in a query.
  const std::string text = Control("GET", "/_control/requests?prefix=" + prefix_, "");
  std::vector<RecordedRequest> requests;
  if (!JsonReader(text).Read(reply)) return requests;
  for (const Json& item : reply["requests"].items) {
    RecordedRequest r;
    r.method = item["method"].text;
    r.target = item["target"].text;
    r.path = item["path"].text;
    r.version = item["version"].text;
    for (const Json& line : item["headers"].items) r.headerLines.push_back(line.text);
    r.body = Base64Decode(item["body_b64"].text);
    r.connection = static_cast<int>(item["connection"].number);
    requests.push_back(std::move(r));
  }
  return requests;
}

int TestServer::UnusedPort() {
  Json reply;
  if (!JsonReader(Control("GET", "/_control/unused_port", "")).Read(reply)) return 0;
  return static_cast<int>(reply["port"].number);
}

std::string TestServer::Control(std::string_view method, std::string_view target,
                                std::string_view json) {
  Socket s;
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<u_short>(port_));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (s.get() == INVALID_SOCKET ||
      connect(s.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    problem_ = "cannot connect to the test server on port " + std::to_string(port_);
    return {};
  }
  std::string request = std::string(method) + " " + std::string(target) +
                        " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\nContent-Length: " +
                        std::to_string(json.size()) + "\r\n\r\n" + std::string(json);
  for (size_t sent = 0; sent < request.size();) {
    const int n = send(s.get(), request.data() + sent, static_cast<int>(request.size() - sent), 0);
    if (n <= 0) return {};
    sent += static_cast<size_t>(n);
  }
  std::string reply;
  char buffer[65536];
  for (int n; (n = recv(s.get(), buffer, sizeof buffer, 0)) > 0;) reply.append(buffer, static_cast<size_t>(n));
  const size_t bodyStart = reply.find("\r\n\r\n");
  if (reply.rfind("HTTP/1.1 200 ", 0) != 0 || bodyStart == std::string::npos) return {};
  return reply.substr(bodyStart + 4);
}

}  // namespace derov::test
