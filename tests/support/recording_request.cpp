#include "support/recording_request.h"

namespace derov::test {
namespace {

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

}  // namespace

bool RecordingRequest::Record(const std::string& operation, const std::string& details) {
  log_.push_back(details.empty() ? operation : operation + " " + details);
  return reply_.failing.count(operation) == 0;
}

bool RecordingRequest::SetTimeouts(int resolveMs, int connectMs, int sendMs, int receiveMs) {
  return Record("SetTimeouts", std::to_string(resolveMs) + " " + std::to_string(connectMs) +
                                   " " + std::to_string(sendMs) + " " + std::to_string(receiveMs));
}

bool RecordingRequest::SetProxy(int setting, const std::string& server) {
  return Record("SetProxy", std::to_string(setting) + " " + Quoted(server));
}

bool RecordingRequest::Open(const std::string& verb, const std::string& url, bool async) {
  return Record("Open", Quoted(verb) + " " + Quoted(url) + (async ? " async" : " sync"));
}

bool RecordingRequest::SetOption(int index, int value) {
  return Record("Option", std::to_string(index) + " " + std::to_string(value));
}

bool RecordingRequest::SetRequestHeader(const std::string& name, const std::string& value) {
  return Record("Header", Quoted(name) + " " + Quoted(value));
}

bool RecordingRequest::Send(const std::string& text) { return Record("Send", Quoted(text)); }

bool RecordingRequest::SendBytes(const Bytes& body) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (unsigned char byte : body) {
    if (!hex.empty()) hex.push_back(' ');
    hex.push_back(kDigits[byte >> 4]);
    hex.push_back(kDigits[byte & 15]);
  }
  return Record("SendBytes", hex);
}

Bytes RecordingRequest::ResponseBody() {
  return Record("ResponseBody", "") ? reply_.body : Bytes();
}

std::string RecordingRequest::GetAllResponseHeaders() {
  return Record("GetAllResponseHeaders", "") ? reply_.responseHeaders : std::string();
}

int RecordingRequest::Status() { return Record("Status", "") ? reply_.status : 0; }

std::shared_ptr<void> RecordingRequestFactory::EnterThread() {
  log.push_back("EnterThread");
  return std::shared_ptr<void>(nullptr, [this](void*) { log.push_back("LeaveThread"); });
}

std::shared_ptr<RequestObject> RecordingRequestFactory::Create() {
  log.push_back(createFails ? "Create failed" : "Create");
  if (createFails) return nullptr;
  return std::make_shared<RecordingRequest>(log, reply);
}

std::vector<std::string> SentHeaders(const std::vector<std::string>& log) {
  std::vector<std::string> headers;
  for (const std::string& entry : log) {
    if (entry.rfind("Header \"", 0) != 0) continue;
    // Header "name" "value": names and values in these tests hold no quote characters.
    const size_t nameEnd = entry.find('"', 8);
    const std::string name = entry.substr(8, nameEnd - 8);
    const std::string value = entry.substr(nameEnd + 3, entry.size() - nameEnd - 4);
    headers.push_back(name + ": " + value);
  }
  return headers;
}

}  // namespace derov::test
