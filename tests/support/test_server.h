#pragma once
// The Windows tests' side of the scripted HTTP test server (tests/support/http_server.py,
// whose header documents the control interface). ctest starts one server for the whole run
// and names its state file in the environment variable DEROV_TEST_SERVER; each TestServer
// works under a path prefix of its own, so tests running at once do not meet, and resets
// that prefix when it goes.

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace derov::test {

struct ScriptedResponse {
  enum class Action { kAnswer, kClose, kReset };

  int status = 200;
  std::string reason;  // "" gives the standard phrase
  std::vector<std::pair<std::string, std::string>> headers;  // in order; names may repeat
  std::string body;                                          // bytes
  long long repeatTo = -1;  // when 0 or more, the body repeated and cut to this many bytes
  int delayMs = 0;           // before anything is sent
  long long stallAt = -1;    // when 0 or more: the headers and this many body bytes are sent,
  int stallMs = 0;           // then the rest after stallMs
  Action action = Action::kAnswer;  // kClose / kReset: the page is down
};

struct RecordedRequest {
  std::string method;
  std::string target;  // as in the request line, query included
  std::string path;
  std::string version;
  std::vector<std::string> headerLines;  // raw, in the order received
  std::string body;                      // bytes
  int connection = 0;                    // equal for requests that shared a connection

  // The value of the first header line of that name (ignoring ASCII case), trimmed; "" if none.
  std::string Header(std::string_view name) const;
  int CountHeader(std::string_view name) const;
};

class TestServer {
 public:
  TestServer();
  ~TestServer();
  TestServer(const TestServer&) = delete;
  TestServer& operator=(const TestServer&) = delete;

  // False, with the reason in problem(), when the shared server cannot be reached.
  bool ready() const { return problem_.empty(); }
  const std::string& problem() const { return problem_; }
  int port() const { return port_; }

  // The address of a page of this test: "http://127.0.0.1:port/t/<id>/" + name.
  std::string Url(std::string_view name) const;
  std::string Path(std::string_view name) const { return prefix_ + std::string(name); }

  // The n-th request for the page gets the n-th response, the last one repeating.
  bool Script(std::string_view name, const std::vector<ScriptedResponse>& responses);
  bool Script(std::string_view name, const ScriptedResponse& response) {
    return Script(name, std::vector<ScriptedResponse>{response});
  }
  // Every request this test's pages received, in order of arrival.
  std::vector<RecordedRequest> Requests();
  // A loopback port on which nothing listens (a connection is refused); 0 on failure.
  int UnusedPort();

 private:
  // One control exchange; the reply body, or "" with problem_ set when it failed.
  std::string Control(std::string_view method, std::string_view target, std::string_view json);

  std::string problem_;
  int port_ = 0;
  std::string prefix_;
  bool socketsStarted_ = false;
};

}  // namespace derov::test
