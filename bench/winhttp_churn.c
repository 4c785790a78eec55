/* Many threads fetching pages through Wine's WinHttp.WinHttpRequest.5.1, as derov's workers
 * do but without derov: per fetch COM is initialised, an object is created, opened
 * asynchronously, sent, waited for, its body and status read, and released; then the
 * thread sleeps a second. Prints the fetches done and the ones that failed. With "derov" as
 * the fourth argument each fetch also does what derov's adds: time-outs set before Open,
 * the certificate-error option put (which Wine refuses), four header lines, and the
 * response's header text read.
 *
 *   x86_64-w64-mingw32-gcc -O2 -municode -o winhttp_churn.exe bench/winhttp_churn.c \
 *     -lole32 -loleaut32 -luuid
 *   wine winhttp_churn.exe http://127.0.0.1:PORT/idle/ 99 60 [derov]
 * Thread i fetches <base><i, two digits>, for i from 1.
 */
#include <windows.h>
#include <httprequestid.h>
#include <oleauto.h>
#include <stdio.h>
#include <stdlib.h>

static const wchar_t* base;
static BOOL likeDerov;
static DWORD endTick;
static volatile LONG done, failed;

static HRESULT Call(IDispatch* object, DISPID id, WORD flags, VARIANT* args, UINT count,
                    VARIANT* result) {
  DISPPARAMS params = {args, NULL, count, 0};
  EXCEPINFO exception;
  UINT bad = 0;
  memset(&exception, 0, sizeof exception);
  HRESULT hr = object->lpVtbl->Invoke(object, id, &IID_NULL, LOCALE_USER_DEFAULT, flags, &params,
                                      result, &exception, &bad);
  SysFreeString(exception.bstrSource);
  SysFreeString(exception.bstrDescription);
  SysFreeString(exception.bstrHelpFile);
  return hr;
}

static void SetHeader(IDispatch* object, const wchar_t* name, const wchar_t* value) {
  VARIANT args[2], result;
  V_VT(&args[1]) = VT_BSTR; V_BSTR(&args[1]) = SysAllocString(name);
  V_VT(&args[0]) = VT_BSTR; V_BSTR(&args[0]) = SysAllocString(value);
  VariantInit(&result);
  Call(object, DISPID_HTTPREQUEST_SETREQUESTHEADER, DISPATCH_METHOD, args, 2, &result);
  VariantClear(&args[0]); VariantClear(&args[1]); VariantClear(&result);
}

static void BeforeOpen(IDispatch* object) {
  VARIANT args[4], result;
  for (int i = 0; i < 4; ++i) { V_VT(&args[i]) = VT_I4; V_I4(&args[i]) = 35000; }
  VariantInit(&result);
  Call(object, DISPID_HTTPREQUEST_SETTIMEOUTS, DISPATCH_METHOD, args, 4, &result);
  VariantClear(&result);
}

static void AfterOpen(IDispatch* object, const wchar_t* url) {
  VARIANT args[2];
  DISPID put = DISPID_PROPERTYPUT;
  DISPPARAMS params = {args, &put, 2, 1};
  EXCEPINFO exception;
  UINT bad = 0;
  memset(&exception, 0, sizeof exception);
  V_VT(&args[1]) = VT_I4; V_I4(&args[1]) = 4;  /* SslErrorIgnoreFlags */
  V_VT(&args[0]) = VT_I4; V_I4(&args[0]) = 0x3300;
  object->lpVtbl->Invoke(object, DISPID_HTTPREQUEST_OPTION, &IID_NULL, LOCALE_USER_DEFAULT,
                         DISPATCH_PROPERTYPUT, &params, NULL, &exception, &bad);
  SysFreeString(exception.bstrSource);
  SysFreeString(exception.bstrDescription);
  SysFreeString(exception.bstrHelpFile);
  SetHeader(object, L"Accept", L"*/*");
  SetHeader(object, L"Referer", url);
  SetHeader(object, L"Accept-Language", L"zh-cn");
  SetHeader(object, L"User-Agent", L"Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)");
}

static BOOL FetchOnce(const wchar_t* url) {
  BOOL ok = FALSE;
  CLSID clsid;
  IDispatch* object = NULL;
  HRESULT init = CoInitialize(NULL);
  if (SUCCEEDED(CLSIDFromProgID(L"WinHttp.WinHttpRequest.5.1", &clsid)) &&
      SUCCEEDED(CoCreateInstance(&clsid, NULL, CLSCTX_INPROC_SERVER, &IID_IDispatch,
                                 (void**)&object))) {
    VARIANT args[3], result;
    if (likeDerov) BeforeOpen(object);
    /* Open(method, url, async): arguments go last first. */
    V_VT(&args[2]) = VT_BSTR; V_BSTR(&args[2]) = SysAllocString(L"GET");
    V_VT(&args[1]) = VT_BSTR; V_BSTR(&args[1]) = SysAllocString(url);
    V_VT(&args[0]) = VT_BOOL; V_BOOL(&args[0]) = VARIANT_TRUE;
    VariantInit(&result);
    HRESULT hr = Call(object, DISPID_HTTPREQUEST_OPEN, DISPATCH_METHOD, args, 3, &result);
    VariantClear(&args[2]); VariantClear(&args[1]); VariantClear(&result);
    if (SUCCEEDED(hr) && likeDerov) AfterOpen(object, url);
    if (SUCCEEDED(hr)) {
      VariantInit(&args[0]);  /* Send() with no body */
      V_VT(&args[0]) = VT_ERROR; V_ERROR(&args[0]) = DISP_E_PARAMNOTFOUND;
      hr = Call(object, DISPID_HTTPREQUEST_SEND, DISPATCH_METHOD, args, 1, &result);
      VariantClear(&result);
    }
    if (SUCCEEDED(hr)) {
      V_VT(&args[0]) = VT_I4; V_I4(&args[0]) = 35;
      hr = Call(object, DISPID_HTTPREQUEST_WAITFORRESPONSE, DISPATCH_METHOD, args, 1, &result);
      if (SUCCEEDED(hr) && !(V_VT(&result) == VT_BOOL && V_BOOL(&result))) hr = E_FAIL;
      VariantClear(&result);
    }
    if (SUCCEEDED(hr)) {
      hr = Call(object, DISPID_HTTPREQUEST_RESPONSEBODY, DISPATCH_PROPERTYGET, NULL, 0, &result);
      ok = SUCCEEDED(hr) && V_VT(&result) == (VT_ARRAY | VT_UI1);
      VariantClear(&result);
      if (likeDerov) {
        hr = Call(object, DISPID_HTTPREQUEST_GETALLRESPONSEHEADERS, DISPATCH_METHOD, NULL, 0,
                  &result);
        ok = ok && SUCCEEDED(hr);
        VariantClear(&result);
      }
      hr = Call(object, DISPID_HTTPREQUEST_STATUS, DISPATCH_PROPERTYGET, NULL, 0, &result);
      ok = ok && SUCCEEDED(hr) && V_VT(&result) == VT_I4 && V_I4(&result) == 200;
      VariantClear(&result);
    }
    object->lpVtbl->Release(object);
  }
  if (SUCCEEDED(init)) CoUninitialize();
  return ok;
}

static DWORD WINAPI Fetcher(void* number) {
  wchar_t url[512];
  swprintf(url, 512, L"%ls%02d", base, (int)(INT_PTR)number);
  while ((LONG)(endTick - GetTickCount()) > 0) {
    InterlockedIncrement(FetchOnce(url) ? &done : &failed);
    Sleep(1000);
  }
  return 0;
}

int wmain(int argc, wchar_t** argv) {
  if (argc < 4) {
    fprintf(stderr, "usage: winhttp_churn BASE THREADS SECONDS [derov]\n");
    return 2;
  }
  base = argv[1];
  likeDerov = argc > 4 && wcscmp(argv[4], L"derov") == 0;
  const int count = _wtoi(argv[2]);
  endTick = GetTickCount() + 1000u * (DWORD)_wtoi(argv[3]);
  HANDLE* threads = calloc((size_t)count, sizeof *threads);
  for (int i = 0; i < count; ++i)
    threads[i] = CreateThread(NULL, 0, Fetcher, (void*)(INT_PTR)(i + 1), 0, NULL);
  for (int i = 0; i < count; ++i) {
    if (threads[i]) WaitForSingleObject(threads[i], INFINITE);
  }
  printf("fetches %ld, failed %ld\n", done, failed);
  return 0;
}
