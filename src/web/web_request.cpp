#include "web/web_request.h"

#include <algorithm>
#include <array>
#include <climits>

#include "web/cookies.h"
#include "web/header_text.h"

namespace derov {
namespace {

constexpr std::string_view kLineBreak = "\r\n";
constexpr int kDefaultTimeoutMs = 15000;
constexpr int kProxySettingNamedServer = 2;
constexpr int kOptionSslErrorIgnoreFlags = 4;
constexpr int kOptionEnableRedirects = 6;
// Unknown certification authority, wrong usage, invalid common name, invalid date.
constexpr int kIgnoredCertificateErrors = 0x3300;
constexpr int kMethodPost = 1;

constexpr std::array<const char*, 8> kVerbs = {"GET",     "POST",   "HEAD",  "PUT",
                                               "OPTIONS", "DELETE", "TRACE", "CONNECT"};

struct DefaultHeader {
  std::string_view key;
  std::string_view line;  // appended as is; the Referer line is followed by the address
};

constexpr std::array<DefaultHeader, 4> kDefaultHeaders = {{
    {"Accept:", "\r\nAccept: */*"},
    {"Referer:", "\r\nReferer: "},
    {"Accept-Language:", "\r\nAccept-Language: zh-cn"},
    {"User-Agent:", "\r\nUser-Agent: Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)"},
}};
constexpr DefaultHeader kDefaultContentType = {
    "Content-Type:", "\r\nContent-Type: application/x-www-form-urlencoded"};

std::string VerbOf(int method) {
  return kVerbs[method >= 0 && method < static_cast<int>(kVerbs.size()) ? method : 0];
}

int TimeoutMs(int timeoutSeconds) {
  if (timeoutSeconds <= 0) return kDefaultTimeoutMs;
  // Seconds beyond what fits in milliseconds mean "as long as possible", not a wrapped value.
  return static_cast<int>(std::min<long long>(timeoutSeconds * 1000LL, INT_MAX));
}

bool ContainsKey(std::string_view headers, std::string_view key) {
  return FindText(headers, key, 1, true) != -1;
}

// Appends each default line whose key the text lacks anywhere (a value holding the key
// counts), searching the text as the previous appends left it.
void CompleteHeaders(std::string& headers, const std::string& url, int method) {
  for (const DefaultHeader& header : kDefaultHeaders) {
    if (ContainsKey(headers, header.key)) continue;
    headers.append(header.line);
    if (header.key == "Referer:") headers.append(url);
  }
  if (method == kMethodPost && !ContainsKey(headers, kDefaultContentType.key))
    headers.append(kDefaultContentType.line);
}

void SetProxyAuthorisation(RequestObject& request, const WebRequestOptions& options) {
  if (options.proxy.empty() || options.proxyUser.empty() || options.proxyAuthScheme != 1) return;
  const std::string credentials = options.proxyUser + ":" + options.proxyPassword;
  request.SetRequestHeader("Proxy-Authorization", "Basic " + Base64Encode(credentials));
}

// A text without a line break is one line and goes out as it is; otherwise empty lines and
// "Connection: keep-alive" (the object keeps connections alive by itself) are left out.
void SetHeaderLines(RequestObject& request, const std::string& headers) {
  if (FindText(headers, kLineBreak) == -1) {
    request.SetRequestHeader(HeaderName(headers), HeaderValue(headers));
    return;
  }
  for (const std::string& line : SplitText(headers, kLineBreak)) {
    if (line.empty()) continue;
    const std::string name = HeaderName(line);
    const std::string value = HeaderValue(line);
    if (name == "Connection" && value == "keep-alive") continue;
    request.SetRequestHeader(name, value);
  }
}

// One pair per "Set-Cookie" line: the text between "Set-Cookie:" and the first ";", or the
// whole line without its name when it holds no ";". Pairs joined by "; ", none dropped.
std::string CollectSetCookies(const std::string& responseHeaders) {
  std::string cookies;
  bool first = true;
  for (const std::string& line : SplitText(responseHeaders, kLineBreak)) {
    if (TextBefore(line, ": ") != "Set-Cookie") continue;
    const std::string pair = FindText(line, ";") == -1
                                 ? ReplaceAll(line, "Set-Cookie:", "", true)
                                 : TextBetween(line, "Set-Cookie:", ";");
    if (!first) cookies.append("; ");
    cookies.append(TrimSpaces(pair));
    first = false;
  }
  return cookies;
}

}  // namespace

Bytes SendWebRequest(RequestObjectFactory& factory, const std::string& url,
                     const WebRequestOptions& options) {
  const std::shared_ptr<void> thread = factory.EnterThread();
  // Declared after the thread guard so that the object is released before COM is left.
  const std::shared_ptr<RequestObject> request =
      options.requestObject ? options.requestObject : factory.Create();
  if (!request) return {};

  if (options.timeoutSeconds != -1) {
    const int ms = TimeoutMs(options.timeoutSeconds);
    request->SetTimeouts(ms, ms, ms, ms);
  }
  if (!options.proxy.empty()) request->SetProxy(kProxySettingNamedServer, options.proxy);
  request->Open(VerbOf(options.method), url, false);
  if (options.noRedirect) request->SetOption(kOptionEnableRedirects, 0);
  if (options.ignoreCertificateErrors)
    request->SetOption(kOptionSslErrorIgnoreFlags, kIgnoredCertificateErrors);

  std::string headers = options.headers ? *options.headers : std::string();
  if (options.completeHeaders) CompleteHeaders(headers, url, options.method);
  if (options.normaliseHeaders) headers = NormaliseHeaderText(headers);
  if (options.headers) *options.headers = headers;

  SetProxyAuthorisation(*request, options);
  if (std::string* cookies = options.requestCookies) {
    if (!cookies->empty() && ContainsKey(*cookies, "Cookie:"))
      *cookies = ReplaceAll(*cookies, "Cookie:", "", true);
    request->SetRequestHeader("Cookie", *cookies);
  }
  SetHeaderLines(*request, headers);

  if (!options.postBytes.empty())
    request->SendBytes(options.postBytes);
  else
    request->Send(options.postText);

  Bytes body = request->ResponseBody();
  const std::string responseHeaders = request->GetAllResponseHeaders();
  const int status = request->Status();
  std::string responseCookies = CollectSetCookies(responseHeaders);
  if (options.mergeCookies && options.requestCookies)
    responseCookies = MergeCookies(*options.requestCookies, responseCookies);

  if (options.responseHeaders) *options.responseHeaders = responseHeaders;
  if (options.statusCode) *options.statusCode = status;
  if (options.responseCookies) *options.responseCookies = responseCookies;
  return body;
}

}  // namespace derov
