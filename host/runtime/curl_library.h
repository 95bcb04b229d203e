#pragma once
// libcurl, loaded when the first request needs it: the program starts without mapping it and
// the TLS library under it, which most runs (the version, the demo, the full screen before its
// first turn) never use. The functions are reached through this table.

#define CURL_DISABLE_TYPECHECK
#include <curl/curl.h>

#include <string>

namespace host::runtime {

struct CurlLibrary {
  CURL* (*easy_init)();
  CURLcode (*easy_setopt)(CURL*, CURLoption, ...);
  CURLcode (*easy_getinfo)(CURL*, CURLINFO, ...);
  void (*easy_cleanup)(CURL*);
  const char* (*easy_strerror)(CURLcode);
  curl_slist* (*slist_append)(curl_slist*, const char*);
  void (*slist_free_all)(curl_slist*);
  CURLM* (*multi_init)();
  CURLMcode (*multi_add_handle)(CURLM*, CURL*);
  CURLMcode (*multi_remove_handle)(CURLM*, CURL*);
  CURLMcode (*multi_perform)(CURLM*, int*);
  CURLMcode (*multi_poll)(CURLM*, curl_waitfd[], unsigned, int, int*);
  CURLMcode (*multi_wakeup)(CURLM*);
  CURLMsg* (*multi_info_read)(CURLM*, int*);
  CURLMcode (*multi_cleanup)(CURLM*);
};

// The library, loaded and initialised on the first call (from any thread); nullptr when it
// cannot be, with the reason in `why`.
[[nodiscard]] const CurlLibrary* curl_library(std::string* why = nullptr);

}  // namespace host::runtime
