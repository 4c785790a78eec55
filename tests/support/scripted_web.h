#pragma once
// A request object factory for tests of the request's callers: every request is recorded
// whole, and a script decides the reply (it may block, to hold a fetch in flight).

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "web/request_object.h"

namespace derov::test {

struct SentRequest {
  std::string verb, url, body;
  std::vector<std::pair<std::string, std::string>> headers;
  std::vector<std::pair<int, int>> options;
  int timeoutMs = -1;
};

struct WebReply {
  int status = 0;  // 0: nothing arrived
  std::string body;
  std::string headers;
};

class ScriptedWeb : public RequestObjectFactory {
 public:
  using Script = std::function<WebReply(const SentRequest&)>;

  explicit ScriptedWeb(Script script = {}) : script_(std::move(script)) {}

  void SetScript(Script script) {
    std::lock_guard lock(mutex_);
    script_ = std::move(script);
  }
  std::vector<SentRequest> Sent() const {
    std::lock_guard lock(mutex_);
    return sent_;
  }

  std::shared_ptr<RequestObject> Create() override { return std::make_shared<Object>(*this); }

 private:
  class Object : public RequestObject {
   public:
    explicit Object(ScriptedWeb& owner) : owner_(owner) {}
    bool SetTimeouts(int resolveMs, int, int, int) override {
      request_.timeoutMs = resolveMs;
      return true;
    }
    bool SetProxy(int, const std::string&) override { return true; }
    bool Open(const std::string& verb, const std::string& url, bool) override {
      request_.verb = verb;
      request_.url = url;
      return true;
    }
    bool SetOption(int index, int value) override {
      request_.options.emplace_back(index, value);
      return true;
    }
    bool SetRequestHeader(const std::string& name, const std::string& value) override {
      request_.headers.emplace_back(name, value);
      return true;
    }
    bool Send(const std::string& text) override {
      request_.body = text;
      reply_ = owner_.Answer(request_);
      return reply_.status != 0;
    }
    bool SendBytes(const Bytes& body) override { return Send(std::string(body.begin(), body.end())); }
    Bytes ResponseBody() override { return Bytes(reply_.body.begin(), reply_.body.end()); }
    std::string GetAllResponseHeaders() override { return reply_.headers; }
    int Status() override { return reply_.status; }

   private:
    ScriptedWeb& owner_;
    SentRequest request_;
    WebReply reply_;
  };

  WebReply Answer(const SentRequest& request) {
    Script script;
    {
      std::lock_guard lock(mutex_);
      sent_.push_back(request);
      script = script_;
    }
    return script ? script(request) : WebReply{};
  }

  mutable std::mutex mutex_;
  Script script_;
  std::vector<SentRequest> sent_;
};

}  // namespace derov::test
