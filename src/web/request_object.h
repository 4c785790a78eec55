#pragma once
// The port through which SendWebRequest drives a request object. The Windows side wraps
// WinHttp.WinHttpRequest.5.1; tests use a recorder that scripts replies. Each operation
// reports whether the object accepted it; SendWebRequest ignores failures and goes on,
// and a failed read gives the empty value of its kind.

#include <memory>
#include <string>

#include "text/text.h"

namespace derov {

class RequestObject {
 public:
  virtual ~RequestObject() = default;
  virtual bool SetTimeouts(int resolveMs, int connectMs, int sendMs, int receiveMs) = 0;
  virtual bool SetProxy(int setting, const std::string& server) = 0;
  // After a synchronous Open, Send returns once the answer is complete or the receive
  // time-out has passed (the request is then abandoned and the reads give empty values).
  virtual bool Open(const std::string& verb, const std::string& url, bool async) = 0;
  virtual bool SetOption(int index, int value) = 0;
  virtual bool SetRequestHeader(const std::string& name, const std::string& value) = 0;
  virtual bool Send(const std::string& text) = 0;
  virtual bool SendBytes(const Bytes& body) = 0;
  virtual Bytes ResponseBody() = 0;
  virtual std::string GetAllResponseHeaders() = 0;
  virtual int Status() = 0;
};

class RequestObjectFactory {
 public:
  virtual ~RequestObjectFactory() = default;
  // Prepares the calling thread for one request (COM initialisation on Windows) for as long
  // as the returned guard lives; a null guard means there was nothing to undo.
  virtual std::shared_ptr<void> EnterThread() { return nullptr; }
  // A new request object, or null when it cannot be created.
  virtual std::shared_ptr<RequestObject> Create() = 0;
};

}  // namespace derov
