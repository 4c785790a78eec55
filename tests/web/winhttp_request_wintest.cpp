// The real request object under the platform, against the scripted loopback server.

#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <thread>  // brings std::chrono; <chrono> itself holds a literal GBK cannot encode

#include "platform/com_win.h"
#include "support/test_server.h"
#include "web/web_request.h"
#include "web/winhttp_request_win.h"

namespace derov {
namespace {

using test::RecordedRequest;
using test::ScriptedResponse;
using test::TestServer;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

constexpr const char* kUserAgent = "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)";

// Everything one request hands back.
struct Outcome {
  Bytes body;
  std::string headers;  // the request header text as sent
  std::string responseHeaders;
  std::string responseCookies;
  int status = -1;

  std::string Body() const { return std::string(body.begin(), body.end()); }
};

Outcome Fetch(const std::string& url, WebRequestOptions options = {}) {
  Outcome out;
  if (!options.headers) options.headers = &out.headers;
  options.responseHeaders = &out.responseHeaders;
  options.responseCookies = &out.responseCookies;
  options.statusCode = &out.status;
  out.body = SendWebRequest(WinHttpRequests(), url, options);
  if (options.headers != &out.headers) out.headers = *options.headers;
  return out;
}

class WinHttpRequestTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(server.ready()) << server.problem(); }

  RecordedRequest OnlyRequest() {
    const auto requests = server.Requests();
    EXPECT_EQ(requests.size(), 1u);
    return requests.empty() ? RecordedRequest() : requests.front();
  }

  TestServer server;
};

TEST_F(WinHttpRequestTest, ServerReceivesMethodHeadersAndBody) {
  ASSERT_TRUE(server.Script("form", ScriptedResponse{}));
  std::string headers = "x-name: \xD6\xD0\xCE\xC4\r\nConnection: keep-alive\r\nX-Plain: a b";
  WebRequestOptions options;
  options.method = 1;
  options.headers = &headers;
  options.postBytes = {'k', '=', 0xD6, 0xD0, 0, 0xCE, 0xC4};
  const Outcome out = Fetch(server.Url("form?q=1"), options);
  EXPECT_EQ(out.status, 200);

  const RecordedRequest got = OnlyRequest();
  EXPECT_EQ(got.method, "POST");
  EXPECT_EQ(got.target, server.Path("form?q=1"));
  EXPECT_EQ(got.body, std::string("k=\xD6\xD0\0\xCE\xC4", 7));
  EXPECT_EQ(got.Header("Accept"), "*/*");
  EXPECT_EQ(got.Header("Referer"), server.Url("form?q=1"));
  EXPECT_EQ(got.Header("Accept-Language"), "zh-cn");
  EXPECT_EQ(got.Header("User-Agent"), kUserAgent);
  EXPECT_EQ(got.Header("Content-Type"), "application/x-www-form-urlencoded");
  EXPECT_EQ(got.Header("Content-Length"), "7");
  EXPECT_EQ(got.Header("X-Plain"), "a b");
  for (const char* name : {"Accept", "Referer", "Accept-Language", "User-Agent", "Content-Type"})
    EXPECT_EQ(got.CountHeader(name), 1) << name;
  EXPECT_THAT(got.headerLines, Not(Contains("Connection: keep-alive")));
  // The GBK value reaches the object as its characters; Wine's object puts them on the wire
  // as UTF-8.
  EXPECT_EQ(got.Header("X-Name"), "\xE4\xB8\xAD\xE6\x96\x87");  // 中文
}

TEST_F(WinHttpRequestTest, TextBodyAndOtherVerbs) {
  ASSERT_TRUE(server.Script("put", ScriptedResponse{}));
  WebRequestOptions options;
  options.method = 3;
  options.postText = "a=\xD6\xD0";  // "中" in GBK
  Fetch(server.Url("put"), options);
  options.method = 5;
  options.postText.clear();
  Fetch(server.Url("put"), options);
  options.method = 9;  // out of range: GET
  Fetch(server.Url("put"), options);

  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[0].method, "PUT");
  EXPECT_EQ(requests[0].body, "a=\xE4\xB8\xAD");  // the object sends a text body as UTF-8
  EXPECT_EQ(requests[0].Header("Content-Type").find("application/x-www-form-urlencoded"),
            std::string::npos);
  EXPECT_EQ(requests[1].method, "DELETE");
  EXPECT_EQ(requests[1].body, "");
  EXPECT_EQ(requests[2].method, "GET");
}

TEST_F(WinHttpRequestTest, StatusBodyAndHeadersOfEveryOutcome) {
  const struct {
    int status;
    std::string body;
  } cases[] = {{200, "\xC4\xFA\xBA\xC3 ok"},  // GBK bytes come back untouched
               {404, "missing page"},
               {500, std::string("broken\0body", 11)}};
  for (const auto& c : cases) {
    const std::string page = "status" + std::to_string(c.status);
    ScriptedResponse response;
    response.status = c.status;
    response.headers = {{"X-Test", "yes"}, {"Content-Type", "text/html; charset=gbk"}};
    response.body = c.body;
    ASSERT_TRUE(server.Script(page, response));
    const Outcome out = Fetch(server.Url(page));
    EXPECT_EQ(out.status, c.status);
    EXPECT_EQ(out.Body(), c.body);
    EXPECT_THAT(out.responseHeaders, HasSubstr("X-Test: yes\r\n"));
    EXPECT_THAT(out.responseHeaders, HasSubstr("Content-Length: " + std::to_string(c.body.size())));
  }
}

TEST_F(WinHttpRequestTest, LargeAndBinaryBodiesArriveByteForByte) {
  std::string pattern;
  for (int i = 0; i < 251; ++i) pattern.push_back(static_cast<char>(i));  // zero included
  ScriptedResponse large;
  large.body = pattern;
  large.repeatTo = 5 * 1024 * 1024;
  ASSERT_TRUE(server.Script("large", large));
  const Outcome out = Fetch(server.Url("large"));
  ASSERT_EQ(out.body.size(), 5u * 1024 * 1024);
  for (size_t i = 0; i < out.body.size(); ++i)
    if (out.body[i] != static_cast<unsigned char>(i % 251)) FAIL() << "byte " << i << " differs";

  ScriptedResponse zeros;
  zeros.body = std::string("\0\0a\0", 4);
  ASSERT_TRUE(server.Script("zeros", zeros));
  EXPECT_EQ(Fetch(server.Url("zeros")).body, (Bytes{0, 0, 'a', 0}));
}

TEST_F(WinHttpRequestTest, UnreachableAndClosedPagesGiveNothing) {
  const int port = server.UnusedPort();
  ASSERT_GT(port, 0);
  ScriptedResponse down;
  down.action = ScriptedResponse::Action::kClose;
  ASSERT_TRUE(server.Script("down", down));
  for (const std::string& url :
       {"http://127.0.0.1:" + std::to_string(port) + "/nothing", server.Url("down")}) {
    std::string cookies = "a=1";
    WebRequestOptions options;
    options.requestCookies = &cookies;
    options.timeoutSeconds = 5;
    const Outcome out = Fetch(url, options);
    EXPECT_TRUE(out.body.empty()) << url;
    EXPECT_EQ(out.status, 0) << url;
    EXPECT_EQ(out.responseHeaders, "") << url;
    EXPECT_EQ(out.responseCookies, "a=1") << url;  // only the request's own cookies
  }
}

TEST_F(WinHttpRequestTest, StalledServerIsLeftAfterTheTimeout) {
  ScriptedResponse silent;  // never begins its answer (within the test)
  silent.delayMs = 20000;
  silent.body = "late";
  ScriptedResponse stalled;  // sends its headers and a little, then stops
  stalled.body = std::string(1000, 'x');
  stalled.stallAt = 10;
  stalled.stallMs = 20000;
  ASSERT_TRUE(server.Script("silent", silent));
  ASSERT_TRUE(server.Script("stalled", stalled));
  for (const char* page : {"silent", "stalled"}) {
    WebRequestOptions options;
    options.timeoutSeconds = 2;
    const auto start = std::chrono::steady_clock::now();
    const Outcome out = Fetch(server.Url(page), options);
    const auto seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(out.status, 0) << page;
    EXPECT_TRUE(out.body.empty()) << page;
    EXPECT_GE(seconds, 1.9) << page;
    EXPECT_LT(seconds, 4.0) << page;
    RecordProperty(std::string(page) + "_seconds", std::to_string(seconds));
  }
}

TEST_F(WinHttpRequestTest, CookiesGoOutAndComeBack) {
  ScriptedResponse response;
  response.headers = {{"Set-Cookie", "sid=abc; path=/; HttpOnly"},
                      {"Set-Cookie", "old=deleted; expires=Thu, 01 Jan 1970 00:00:00 GMT"},
                      {"Set-Cookie", "lang=zh"}};
  ASSERT_TRUE(server.Script("cookies", response));
  std::string cookies = "Cookie: old=1; keep=2";
  WebRequestOptions options;
  options.requestCookies = &cookies;
  const Outcome out = Fetch(server.Url("cookies"), options);
  EXPECT_EQ(out.responseCookies, "sid=abc; lang=zh; keep=2");
  EXPECT_EQ(cookies, out.responseCookies);
  EXPECT_EQ(OnlyRequest().Header("Cookie"), "old=1; keep=2");

  // Without cookies of the caller's, the server's pairs come back as set, deletions too.
  EXPECT_EQ(Fetch(server.Url("cookies")).responseCookies, "sid=abc; old=deleted; lang=zh");
}

TEST_F(WinHttpRequestTest, RedirectsFollowedUnlessSwitchedOff) {
  ScriptedResponse moved;
  moved.status = 302;
  moved.headers = {{"Location", server.Url("target")}};
  moved.body = "moved";
  ScriptedResponse target;
  target.body = "arrived";
  ASSERT_TRUE(server.Script("from", moved));
  ASSERT_TRUE(server.Script("target", target));

  const Outcome followed = Fetch(server.Url("from"));
  EXPECT_EQ(followed.status, 200);
  EXPECT_EQ(followed.Body(), "arrived");

  WebRequestOptions options;
  options.noRedirect = true;
  const Outcome stayed = Fetch(server.Url("from"), options);
  EXPECT_EQ(stayed.status, 302);
  EXPECT_EQ(stayed.Body(), "moved");
  EXPECT_THAT(stayed.responseHeaders, HasSubstr("Location: " + server.Url("target")));

  std::vector<std::string> paths;
  for (const RecordedRequest& r : server.Requests()) paths.push_back(r.path);
  EXPECT_THAT(paths, ElementsAre(server.Path("from"), server.Path("target"), server.Path("from")));
}

TEST_F(WinHttpRequestTest, ProxyAuthorisationGoesOut) {
  // The test server is the proxy as well as the page. Wine's object ignores the proxy it is
  // given and asks the page itself; a proxy would be asked for the absolute address. Either
  // way the request and its Basic authorisation reach the server.
  ASSERT_TRUE(server.Script("proxied", ScriptedResponse{}));
  WebRequestOptions options;
  options.proxy = "127.0.0.1:" + std::to_string(server.port());
  options.proxyUser = "user";
  options.proxyPassword = "pass";
  EXPECT_EQ(Fetch(server.Url("proxied"), options).status, 200);
  const RecordedRequest got = OnlyRequest();
  EXPECT_EQ(got.path, server.Path("proxied"));
  EXPECT_TRUE(got.target == got.path || got.target == server.Url("proxied")) << got.target;
  EXPECT_EQ(got.Header("Proxy-Authorization"), "Basic dXNlcjpwYXNz");
}

TEST(WinHttpRequestThread, ComIsLeftOnlyWhenThisRequestEnteredIt) {
  std::thread([] {
    // A thread already in the multithreaded apartment: the request's CoInitialize fails
    // there, so it must not undo the thread's own initialisation.
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    WinHttpRequests().EnterThread().reset();
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_FALSE);  // still initialised
    CoUninitialize();
    CoUninitialize();
  }).join();
  std::thread([] {
    // A fresh thread: entered for the request, left after it.
    auto entered = WinHttpRequests().EnterThread();
    EXPECT_NE(WinHttpRequests().Create(), nullptr);
    entered.reset();
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);  // left: a new start
    CoUninitialize();
  }).join();
}

}  // namespace
}  // namespace derov
