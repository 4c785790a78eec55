#pragma once
// The platform's request object, WinHttp.WinHttpRequest.5.1, behind the RequestObject port.

#include "web/request_object.h"

namespace derov {

// The factory the program fetches with: EnterThread initialises COM for the calling thread,
// Create makes a new WinHttp request object driven through IDispatch.
RequestObjectFactory& WinHttpRequests();

}  // namespace derov
