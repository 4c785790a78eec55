#include "web/web_request.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <climits>

#include "support/recording_request.h"

namespace derov {
namespace {

using test::RecordingRequest;
using test::RecordingRequestFactory;
using test::SentHeaders;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsSupersetOf;
using ::testing::Not;
using ::testing::Contains;
using ::testing::HasSubstr;

constexpr const char* kUrl = "http://example.cn/p?a=1";
constexpr const char* kUserAgent = "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)";

std::vector<std::string> Only(const std::vector<std::string>& log, const std::string& operation) {
  std::vector<std::string> found;
  for (const std::string& entry : log)
    if (entry.rfind(operation, 0) == 0) found.push_back(entry);
  return found;
}

TEST(SendWebRequest, RunsEveryStepInOrder) {
  RecordingRequestFactory factory;
  factory.reply.body = {'o', 'k', 0, 'x'};
  factory.reply.responseHeaders = "Content-Length: 4\r\nSet-Cookie: s=2; path=/\r\n\r\n";
  factory.reply.status = 201;
  std::string headers = "x-a: 1";
  std::string cookies = "Cookie: c=1";
  std::string responseCookies, responseHeaders;
  int status = -7;
  WebRequestOptions options;
  options.method = 1;
  options.postText = "q=\xD6\xD0";
  options.headers = &headers;
  options.requestCookies = &cookies;
  options.responseCookies = &responseCookies;
  options.responseHeaders = &responseHeaders;
  options.statusCode = &status;
  options.noRedirect = true;
  options.proxy = "proxy.cn:8080";
  options.proxyUser = "u";
  options.proxyPassword = "pw";
  options.timeoutSeconds = 35;

  const Bytes body = SendWebRequest(factory, kUrl, options);

  EXPECT_THAT(factory.log, ElementsAreArray({
      "EnterThread",
      "Create",
      "SetTimeouts 35000 35000 35000 35000",
      "SetProxy 2 \"proxy.cn:8080\"",
      "Open \"POST\" \"http://example.cn/p?a=1\" sync",
      "Option 6 0",
      "Option 4 13056",
      "Header \"Proxy-Authorization\" \"Basic dTpwdw==\"",
      "Header \"Cookie\" \" c=1\"",
      "Header \"X-A\" \"1\"",
      "Header \"Accept\" \"*/*\"",
      "Header \"Referer\" \"http://example.cn/p?a=1\"",
      "Header \"Accept-Language\" \"zh-cn\"",
      "Header \"User-Agent\" \"Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)\"",
      "Header \"Content-Type\" \"application/x-www-form-urlencoded\"",
      "Send \"q=\xD6\xD0\"",
      "ResponseBody",
      "GetAllResponseHeaders",
      "Status",
      "Release",      // the object goes before COM is left
      "LeaveThread",
  }));
  EXPECT_EQ(body, (Bytes{'o', 'k', 0, 'x'}));
  EXPECT_EQ(headers, std::string("X-A: 1\r\nAccept: */*\r\nReferer: ") + kUrl +
                         "\r\nAccept-Language: zh-cn\r\nUser-Agent: " + kUserAgent +
                         "\r\nContent-Type: application/x-www-form-urlencoded");
  EXPECT_EQ(responseHeaders, factory.reply.responseHeaders);
  EXPECT_EQ(status, 201);
  EXPECT_EQ(responseCookies, "s=2; c=1");
  EXPECT_EQ(cookies, "s=2; c=1");
}

TEST(SendWebRequest, MethodIndexChoosesVerbAndPostAloneGetsContentType) {
  const struct {
    int method;
    const char* verb;
  } cases[] = {{-1, "GET"}, {0, "GET"},     {1, "POST"},   {2, "HEAD"},  {3, "PUT"},
               {4, "OPTIONS"}, {5, "DELETE"}, {6, "TRACE"}, {7, "CONNECT"}, {8, "GET"}};
  for (const auto& c : cases) {
    RecordingRequestFactory factory;
    WebRequestOptions options;
    options.method = c.method;
    SendWebRequest(factory, kUrl, options);
    EXPECT_THAT(Only(factory.log, "Open"),
                ElementsAre(std::string("Open \"") + c.verb + "\" \"" + kUrl + "\" sync"));
    const bool contentType = c.method == 1;
    EXPECT_EQ(SentHeaders(factory.log).size(), contentType ? 5u : 4u) << c.method;
  }
}

TEST(SendWebRequest, TimeoutsInMilliseconds) {
  const struct {
    int seconds;
    const char* expected;  // nullptr: SetTimeouts not called
  } cases[] = {{0, "SetTimeouts 15000 15000 15000 15000"},
               {-5, "SetTimeouts 15000 15000 15000 15000"},
               {35, "SetTimeouts 35000 35000 35000 35000"},
               {1, "SetTimeouts 1000 1000 1000 1000"},
               {INT_MAX, "SetTimeouts 2147483647 2147483647 2147483647 2147483647"},
               {-1, nullptr}};
  for (const auto& c : cases) {
    RecordingRequestFactory factory;
    WebRequestOptions options;
    options.timeoutSeconds = c.seconds;
    SendWebRequest(factory, kUrl, options);
    if (c.expected)
      EXPECT_THAT(Only(factory.log, "SetTimeouts"), ElementsAre(c.expected)) << c.seconds;
    else
      EXPECT_THAT(Only(factory.log, "SetTimeouts"), ElementsAre()) << c.seconds;
  }
  RecordingRequestFactory factory;
  SendWebRequest(factory, kUrl);  // left out
  EXPECT_THAT(Only(factory.log, "SetTimeouts"), ElementsAre("SetTimeouts 15000 15000 15000 15000"));
}

TEST(SendWebRequest, EmptyHeaderTextBecomesTheDefaultLines) {
  const std::string defaults = std::string("Accept: */*\r\nReferer: ") + kUrl +
                               "\r\nAccept-Language: zh-cn\r\nUser-Agent: " + kUserAgent;
  const struct {
    int method;
    bool normalise;
    std::string expected;
  } cases[] = {
      {0, true, defaults},
      {1, true, defaults + "\r\nContent-Type: application/x-www-form-urlencoded"},
      {0, false, "\r\n" + defaults},  // without normalising the leading break stays
  };
  for (const auto& c : cases) {
    RecordingRequestFactory factory;
    std::string headers;
    WebRequestOptions options;
    options.method = c.method;
    options.headers = &headers;
    options.normaliseHeaders = c.normalise;
    SendWebRequest(factory, kUrl, options);
    EXPECT_EQ(headers, c.expected);
    EXPECT_EQ(SentHeaders(factory.log).size(), c.method == 1 ? 5u : 4u);
  }
}

TEST(SendWebRequest, CompletionLooksForKeysAnywhereIgnoringCase) {
  const struct {
    std::string headers;
    std::vector<std::string> sent;
    std::string after;
  } cases[] = {
      {"referer: x",
       {"Referer: x", "Accept: */*", "Accept-Language: zh-cn", std::string("User-Agent: ") + kUserAgent},
       std::string("Referer: x\r\nAccept: */*\r\nAccept-Language: zh-cn\r\nUser-Agent: ") + kUserAgent},
      {"X-Note: User-Agent: none\r\nACCEPT: a\r\nAccept-language: en\r\nReferer: r",
       {"X-Note: User-Agent: none", "ACCEPT: a", "Accept-Language: en", "Referer: r"},
       "X-Note: User-Agent: none\r\nACCEPT: a\r\nAccept-Language: en\r\nReferer: r"},
  };
  for (const auto& c : cases) {
    RecordingRequestFactory factory;
    std::string headers = c.headers;
    WebRequestOptions options;
    options.headers = &headers;
    SendWebRequest(factory, kUrl, options);
    EXPECT_THAT(SentHeaders(factory.log), ElementsAreArray(c.sent)) << c.headers;
    EXPECT_EQ(headers, c.after);
  }
}

TEST(SendWebRequest, HeaderLinesAsSent) {
  const struct {
    std::string headers;
    bool complete;
    bool normalise;
    std::vector<std::string> sent;
  } cases[] = {
      // keep-alive is the object's own business; other Connection values go out
      {"A: 1\r\nConnection: keep-alive\r\nB: 2", false, false, {"A: 1", "B: 2"}},
      {"connection: keep-alive\r\nB: 2", false, true, {"B: 2"}},
      {"A: 1\r\nConnection: close", false, false, {"A: 1", "Connection: close"}},
      {"A: 1\r\nConnection: Keep-Alive", false, false, {"A: 1", "Connection: Keep-Alive"}},
      // without normalising, empty pieces are skipped and a piece without colon goes as is
      {"\r\nA:  1 \r\n\r\njunk", false, false, {"A: 1", ": "}},
      // a text without a line break is one line, whatever it holds
      {"Connection: keep-alive", false, false, {"Connection: keep-alive"}},
      {"X-Y: a:b", false, false, {"X-Y: a:b"}},
  };
  for (const auto& c : cases) {
    RecordingRequestFactory factory;
    std::string headers = c.headers;
    WebRequestOptions options;
    options.headers = &headers;
    options.completeHeaders = c.complete;
    options.normaliseHeaders = c.normalise;
    SendWebRequest(factory, kUrl, options);
    EXPECT_THAT(SentHeaders(factory.log), ElementsAreArray(c.sent)) << c.headers;
  }
}

TEST(SendWebRequest, ProxyAndBasicAuthorisation) {
  const struct {
    std::string proxy, user, password;
    int scheme;
    std::vector<std::string> calls;
  } cases[] = {
      {"", "", "", 1, {}},
      {"p:3128", "", "pw", 1, {"SetProxy 2 \"p:3128\""}},
      {"p:3128", "user", "", 1,
       {"SetProxy 2 \"p:3128\"", "Header \"Proxy-Authorization\" \"Basic dXNlcjo=\""}},
      {"p:3128", "\xD5\xC5", "\xC3\xDC:1", 1,  // GBK bytes are encoded as they are
       {"SetProxy 2 \"p:3128\"", "Header \"Proxy-Authorization\" \"Basic 1cU6w9w6MQ==\""}},
      {"p:3128", "user", "pw", 2, {"SetProxy 2 \"p:3128\""}},
      {"", "user", "pw", 1, {}},
  };
  for (const auto& c : cases) {
    RecordingRequestFactory factory;
    WebRequestOptions options;
    options.proxy = c.proxy;
    options.proxyUser = c.user;
    options.proxyPassword = c.password;
    options.proxyAuthScheme = c.scheme;
    SendWebRequest(factory, kUrl, options);
    std::vector<std::string> calls = Only(factory.log, "SetProxy");
    for (const std::string& header : Only(factory.log, "Header \"Proxy-Authorization\""))
      calls.push_back(header);
    EXPECT_THAT(calls, ElementsAreArray(c.calls)) << c.proxy << "/" << c.user;
  }
}

TEST(SendWebRequest, SetCookieLinesAreCollected) {
  RecordingRequestFactory factory;
  factory.reply.responseHeaders =
      "Set-Cookie: a=1; path=/\r\nSet-Cookie: b=2\r\nset-cookie: c=3\r\nSet-Cookie:d=4\r\n"
      "Set-Cookie:  e = 5 ;x\r\nX-Set-Cookie: f=6\r\n\r\n";
  std::string responseCookies = "stale";
  WebRequestOptions options;
  options.responseCookies = &responseCookies;
  SendWebRequest(factory, kUrl, options);
  EXPECT_EQ(responseCookies, "a=1; b=2; e = 5");
  EXPECT_THAT(factory.log, Not(Contains(HasSubstr("\"Cookie\""))));  // none given, none sent
}

TEST(SendWebRequest, RequestCookiesSentAndMerged) {
  const struct {
    std::string given;
    bool merge;
    std::string sent;             // the value of the Cookie header
    std::string responseCookies;  // and the caller's cookie text afterwards
    std::string callerAfter;
  } cases[] = {
      {"", true, "", "n=1", "n=1"},
      {"", false, "", "n=1; gone=deleted", ""},
      {"Cookie: a=1; gone=0", true, " a=1; gone=0", "n=1; a=1", "n=1; a=1"},
      {"cookie: a=1;COOKIE:b=2", false, " a=1;b=2", "n=1; gone=deleted", " a=1;b=2"},
  };
  for (const auto& c : cases) {
    RecordingRequestFactory factory;
    factory.reply.responseHeaders = "Set-Cookie: n=1\r\nSet-Cookie: gone=deleted; path=/";
    std::string cookies = c.given, responseCookies;
    WebRequestOptions options;
    options.requestCookies = &cookies;
    options.responseCookies = &responseCookies;
    options.mergeCookies = c.merge;
    SendWebRequest(factory, kUrl, options);
    EXPECT_THAT(Only(factory.log, "Header \"Cookie\""),
                ElementsAre("Header \"Cookie\" \"" + c.sent + "\"")) << c.given;
    EXPECT_EQ(responseCookies, c.responseCookies) << c.given;
    EXPECT_EQ(cookies, c.callerAfter) << c.given;
  }
}

TEST(SendWebRequest, FailedCreationTouchesNothingOfTheCaller) {
  RecordingRequestFactory factory;
  factory.createFails = true;
  std::string headers = "h", cookies = "Cookie: c=1", responseCookies = "rc", responseHeaders = "rh";
  int status = 77;
  WebRequestOptions options;
  options.headers = &headers;
  options.requestCookies = &cookies;
  options.responseCookies = &responseCookies;
  options.responseHeaders = &responseHeaders;
  options.statusCode = &status;
  EXPECT_TRUE(SendWebRequest(factory, kUrl, options).empty());
  EXPECT_THAT(factory.log, ElementsAre("EnterThread", "Create failed", "LeaveThread"));
  EXPECT_EQ(headers, "h");
  EXPECT_EQ(cookies, "Cookie: c=1");
  EXPECT_EQ(responseCookies, "rc");
  EXPECT_EQ(responseHeaders, "rh");
  EXPECT_EQ(status, 77);
}

TEST(SendWebRequest, FailingCallsAreIgnoredAndReadsGiveEmptyValues) {
  RecordingRequestFactory factory;
  factory.reply = {{'x'}, "Set-Cookie: n=1", 200,
                   {"SetTimeouts", "Open", "Option", "Header", "Send", "ResponseBody",
                    "GetAllResponseHeaders", "Status"}};
  std::string cookies = "a=1", responseCookies = "rc", responseHeaders = "rh";
  int status = 77;
  WebRequestOptions options;
  options.requestCookies = &cookies;
  options.responseCookies = &responseCookies;
  options.responseHeaders = &responseHeaders;
  options.statusCode = &status;
  EXPECT_TRUE(SendWebRequest(factory, kUrl, options).empty());
  EXPECT_THAT(factory.log, IsSupersetOf({"Send \"\"", "ResponseBody", "GetAllResponseHeaders",
                                         "Status", "Release"}));
  EXPECT_EQ(SentHeaders(factory.log).size(), 5u);  // the cookie and the four defaults
  EXPECT_EQ(status, 0);
  EXPECT_EQ(responseHeaders, "");
  EXPECT_EQ(responseCookies, "a=1");  // the merge leaves the request's cookies
  EXPECT_EQ(cookies, "a=1");
}

TEST(SendWebRequest, BytesBodyWinsOverText) {
  RecordingRequestFactory factory;
  WebRequestOptions options;
  options.method = 1;
  options.postText = "ignored";
  options.postBytes = {0, 0xD6, 0xD0, 'a'};
  SendWebRequest(factory, kUrl, options);
  EXPECT_THAT(Only(factory.log, "Send"), ElementsAre("SendBytes 00 d6 d0 61"));
}

TEST(SendWebRequest, LentObjectIsUsedAndStaysTheCallers) {
  RecordingRequestFactory factory;
  std::vector<std::string> lentLog;
  auto lent = std::make_shared<RecordingRequest>(lentLog, test::ScriptedReply{{'y'}, "", 204, {}});
  WebRequestOptions options;
  options.requestObject = lent;
  options.ignoreCertificateErrors = false;  // and the certificate option is then left alone
  EXPECT_EQ(SendWebRequest(factory, kUrl, options), Bytes{'y'});
  EXPECT_THAT(factory.log, ElementsAre("EnterThread", "LeaveThread"));
  EXPECT_THAT(Only(lentLog, "Open"), ElementsAre(std::string("Open \"GET\" \"") + kUrl + "\" sync"));
  EXPECT_THAT(Only(lentLog, "Option"), ElementsAre());
  EXPECT_THAT(lentLog, Not(Contains("Release")));
  options.requestObject.reset();
  EXPECT_EQ(lent.use_count(), 1);
}

}  // namespace
}  // namespace derov
