#pragma once
// One synchronous HTTP request through a request object (on Windows, the system's
// WinHttp.WinHttpRequest.5.1 COM object): method by index, completed and normalised request
// headers, optional proxy with Basic authorisation, optional cookies merged with those the
// server sets; the body comes back as bytes, beside the header text, the status code and
// the cookies.

#include <memory>
#include <string>

#include "text/text.h"
#include "web/request_object.h"

namespace derov {

// Everything but the address. A pointer member left null is a parameter left out: for
// requestCookies and requestObject that differs from "given but empty". In/out texts are
// the caller's own variables and are updated in place.
struct WebRequestOptions {
  int method = 0;                       // 0 GET, 1 POST, 2 HEAD, 3 PUT, 4 OPTIONS, 5 DELETE,
                                        // 6 TRACE, 7 CONNECT; anything else is GET
  std::string postText;                 // sent when postBytes is empty
  std::string* requestCookies = nullptr;   // in/out; null: absent
  std::string* responseCookies = nullptr;  // out
  std::string* headers = nullptr;          // in/out; null: an empty text not handed back
  std::string* responseHeaders = nullptr;  // out
  int* statusCode = nullptr;               // out; 0 when no response arrived
  bool noRedirect = false;
  Bytes postBytes;
  std::string proxy;                    // "host:port"; empty: no proxy setting
  int timeoutSeconds = 0;               // -1: the object's own; 0 or less: 15 s
  std::string proxyUser;
  std::string proxyPassword;
  int proxyAuthScheme = 1;              // 1: Basic; anything else: none
  std::shared_ptr<RequestObject> requestObject;  // lent object; null: create one
  bool mergeCookies = true;
  bool completeHeaders = true;
  bool normaliseHeaders = true;
  // Watched pages are fetched whatever their certificate; a request that carries a secret
  // (the push notice) turns this off and keeps the platform's certificate checks.
  bool ignoreCertificateErrors = true;
};

// The response body (empty when nothing arrived). `factory` makes the request object and
// sets up the calling thread for it (COM on Windows).
Bytes SendWebRequest(RequestObjectFactory& factory, const std::string& url,
                     const WebRequestOptions& options = {});

}  // namespace derov
