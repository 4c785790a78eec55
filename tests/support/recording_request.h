#pragma once
// A request object that records every call in order and answers with scripted replies, and
// the factory that hands it out, for testing what SendWebRequest asks of the platform.

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "web/request_object.h"

namespace derov::test {

struct ScriptedReply {
  Bytes body;
  std::string responseHeaders;
  int status = 200;
  // Operation names ("Open", "Send", "ResponseBody", ...) that fail: a failed command
  // reports false, a failed read gives the empty value of its kind.
  std::set<std::string> failing;
};

// Calls are logged as one line each, texts quoted so that spaces and empties show:
//   SetTimeouts 15000 15000 15000 15000 | SetProxy 2 "p:8080" | Open "GET" "http://a/" sync
//   Option 6 0 | Header "Referer" "http://a/" | Send "text" | SendBytes 00 d6 61
//   ResponseBody | GetAllResponseHeaders | Status | Release
class RecordingRequest final : public RequestObject {
 public:
  RecordingRequest(std::vector<std::string>& log, ScriptedReply reply)
      : log_(log), reply_(std::move(reply)) {}
  ~RecordingRequest() override { log_.push_back("Release"); }

  bool SetTimeouts(int resolveMs, int connectMs, int sendMs, int receiveMs) override;
  bool SetProxy(int setting, const std::string& server) override;
  bool Open(const std::string& verb, const std::string& url, bool async) override;
  bool SetOption(int index, int value) override;
  bool SetRequestHeader(const std::string& name, const std::string& value) override;
  bool Send(const std::string& text) override;
  bool SendBytes(const Bytes& body) override;
  Bytes ResponseBody() override;
  std::string GetAllResponseHeaders() override;
  int Status() override;

 private:
  bool Record(const std::string& operation, const std::string& details);

  std::vector<std::string>& log_;
  ScriptedReply reply_;
};

// Logs "EnterThread" / "LeaveThread" around a request and "Create" for each object, so that
// the log shows the whole life of one call.
class RecordingRequestFactory final : public RequestObjectFactory {
 public:
  std::shared_ptr<void> EnterThread() override;
  std::shared_ptr<RequestObject> Create() override;

  std::vector<std::string> log;
  ScriptedReply reply;
  bool createFails = false;
};

// The header lines of a log, as "Name: value", in order.
std::vector<std::string> SentHeaders(const std::vector<std::string>& log);

}  // namespace derov::test
