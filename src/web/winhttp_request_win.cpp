#include "web/winhttp_request_win.h"

#include <windows.h>
#include <httprequestid.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <mutex>
#include <vector>

#include "platform/com_win.h"
#include "platform/wide_text_win.h"

namespace derov {
namespace {

constexpr wchar_t kProgId[] = L"WinHttp.WinHttpRequest.5.1";
constexpr int kDefaultReceiveMs = 30000;  // the object's own receive time-out

// The error details an object raises through Invoke, freed when the call is done.
struct ExceptionInfo : EXCEPINFO {
  ExceptionInfo() : EXCEPINFO() {}
  ~ExceptionInfo() {
    SysFreeString(bstrSource);
    SysFreeString(bstrDescription);
    SysFreeString(bstrHelpFile);
  }
  ExceptionInfo(const ExceptionInfo&) = delete;
  ExceptionInfo& operator=(const ExceptionInfo&) = delete;
};

class WinHttpRequest final : public RequestObject {
 public:
  explicit WinHttpRequest(ComPtr<IDispatch> dispatch) : dispatch_(std::move(dispatch)) {}

  bool SetTimeouts(int resolveMs, int connectMs, int sendMs, int receiveMs) override {
    receiveMs_ = receiveMs;
    return Call(DISPID_HTTPREQUEST_SETTIMEOUTS,
                Args(Variant::Long(resolveMs), Variant::Long(connectMs), Variant::Long(sendMs),
                     Variant::Long(receiveMs)));
  }
  bool SetProxy(int setting, const std::string& server) override {
    return Call(DISPID_HTTPREQUEST_SETPROXY,
                Args(Variant::Long(setting), Variant::Text(AnsiToWide(server))));
  }
  // The object is always opened asynchronously; for a synchronous request Send then waits
  // for the answer itself (see Finish), which is what bounds it by the time-out.
  bool Open(const std::string& verb, const std::string& url, bool async) override {
    waitAfterSend_ = !async;
    return Call(DISPID_HTTPREQUEST_OPEN, Args(Variant::Text(AnsiToWide(verb)),
                                              Variant::Text(AnsiToWide(url)), Variant::Bool(true)));
  }
  bool SetOption(int index, int value) override {
    return Invoke(DISPID_HTTPREQUEST_OPTION, DISPATCH_PROPERTYPUT,
                  Args(Variant::Long(index), Variant::Long(value)), nullptr);
  }
  bool SetRequestHeader(const std::string& name, const std::string& value) override {
    return Call(DISPID_HTTPREQUEST_SETREQUESTHEADER,
                Args(Variant::Text(AnsiToWide(name)), Variant::Text(AnsiToWide(value))));
  }
  bool Send(const std::string& text) override {
    return Finish(Call(DISPID_HTTPREQUEST_SEND, Args(Variant::Text(AnsiToWide(text)))));
  }
  bool SendBytes(const Bytes& body) override {
    return Finish(
        Call(DISPID_HTTPREQUEST_SEND, Args(Variant::ByteArray(body.data(), body.size()))));
  }
  Bytes ResponseBody() override {
    Variant body;
    if (!Get(DISPID_HTTPREQUEST_RESPONSEBODY, body)) return {};
    return body.AsBytes();
  }
  std::string GetAllResponseHeaders() override {
    Variant text;
    if (!Invoke(DISPID_HTTPREQUEST_GETALLRESPONSEHEADERS, DISPATCH_METHOD, {}, text.put()))
      return {};
    return WideToAnsi(text.AsText());
  }
  int Status() override {
    Variant status;
    if (!Get(DISPID_HTTPREQUEST_STATUS, status)) return 0;
    const double value = std::trunc(status.AsNumber());
    return value >= INT_MIN && value <= INT_MAX ? static_cast<int>(value) : 0;
  }

 private:
  template <class... T>
  static std::vector<Variant> Args(T&&... values) {
    std::vector<Variant> args;
    args.reserve(sizeof...(values));
    (args.push_back(std::forward<T>(values)), ...);
    return args;
  }

  bool Call(DISPID id, std::vector<Variant> args) {
    Variant ignored;
    return Invoke(id, DISPATCH_METHOD, std::move(args), ignored.put());
  }

  // Waits for the whole answer at most the receive time-out (a silent server would otherwise
  // hold the request for ever: Wine's object enforces none of its time-outs), and abandons
  // the request when it has not completed by then.
  bool Finish(bool sent) {
    if (!sent || !waitAfterSend_) return sent;
    const LONG seconds = receiveMs_ > 0 ? receiveMs_ / 1000 + (receiveMs_ % 1000 != 0) : -1;
    Variant done;
    const bool waited = Invoke(DISPID_HTTPREQUEST_WAITFORRESPONSE, DISPATCH_METHOD,
                               Args(Variant::Long(seconds)), done.put());
    if (waited && done.get().vt == VT_BOOL && done.get().boolVal != VARIANT_FALSE) return true;
    Call(DISPID_HTTPREQUEST_ABORT, {});
    return false;
  }

  bool Get(DISPID id, Variant& result) {
    return Invoke(id, DISPATCH_PROPERTYGET, {}, result.put());
  }

  // Arguments come in the order of the method's parameters; IDispatch wants them last first.
  // A property put names its value (the last argument) DISPID_PROPERTYPUT.
  bool Invoke(DISPID id, WORD flags, std::vector<Variant> args, VARIANT* result) {
    std::reverse(args.begin(), args.end());
    DISPID putId = DISPID_PROPERTYPUT;
    DISPPARAMS params = {};
    params.rgvarg = args.empty() ? nullptr : const_cast<VARIANT*>(&args.front().get());
    params.cArgs = static_cast<UINT>(args.size());
    if (flags == DISPATCH_PROPERTYPUT) {
      params.rgdispidNamedArgs = &putId;
      params.cNamedArgs = 1;
    }
    ExceptionInfo exception;
    UINT badArgument = 0;
    const HRESULT hr = dispatch_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params,
                                         result, &exception, &badArgument);
    return SUCCEEDED(hr);
  }

  ComPtr<IDispatch> dispatch_;
  bool waitAfterSend_ = false;
  int receiveMs_ = kDefaultReceiveMs;
};

class WinHttpRequestFactory final : public RequestObjectFactory {
 public:
  std::shared_ptr<void> EnterThread() override { return std::make_shared<ComInitialisation>(); }

  std::shared_ptr<RequestObject> Create() override {
    CLSID clsid;
    if (!ClassId(clsid)) return nullptr;
    ComPtr<IDispatch> dispatch;
    if (FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                dispatch.put_void())))
      return nullptr;
    return std::make_shared<WinHttpRequest>(std::move(dispatch));
  }

 private:
  // The class is looked up by its ProgID once: asking the registry again at every fetch
  // cost each worker cycle a round of registry calls.
  bool ClassId(CLSID& clsid) {
    std::lock_guard lock(mutex_);
    if (!known_) known_ = SUCCEEDED(CLSIDFromProgID(kProgId, &clsid_));
    clsid = clsid_;
    return known_;
  }

  std::mutex mutex_;
  bool known_ = false;
  CLSID clsid_{};
};

}  // namespace

RequestObjectFactory& WinHttpRequests() {
  static WinHttpRequestFactory factory;  // shared by every thread; its one state is locked
  return factory;
}

}  // namespace derov
