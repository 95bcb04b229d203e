#include "host/runtime/curl_library.h"

#include <dlfcn.h>

#include <mutex>

namespace host::runtime {

namespace {

struct Loaded {
  CurlLibrary library{};
  bool ok = false;
  std::string why;
};

template <typename Function>
bool bind(void* handle, const char* name, Function& into, std::string& why) {
  into = reinterpret_cast<Function>(::dlsym(handle, name));
  if (into == nullptr && why.empty()) why = std::string("libcurl lacks ") + name;
  return into != nullptr;
}

Loaded load() {
  Loaded loaded;
  // The library of Debian's libcurl4 (OpenSSL); the handle stays open for the process's life.
  void* handle = ::dlopen("libcurl.so.4", RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char* error = ::dlerror();
    loaded.why = std::string("cannot load libcurl: ") + (error != nullptr ? error : "not found");
    return loaded;
  }
  CurlLibrary& l = loaded.library;
  std::string& why = loaded.why;
  CURLcode (*global_init)(long) = nullptr;
  bool ok = bind(handle, "curl_global_init", global_init, why);
  ok = bind(handle, "curl_easy_init", l.easy_init, why) && ok;
  ok = bind(handle, "curl_easy_setopt", l.easy_setopt, why) && ok;
  ok = bind(handle, "curl_easy_getinfo", l.easy_getinfo, why) && ok;
  ok = bind(handle, "curl_easy_cleanup", l.easy_cleanup, why) && ok;
  ok = bind(handle, "curl_easy_strerror", l.easy_strerror, why) && ok;
  ok = bind(handle, "curl_slist_append", l.slist_append, why) && ok;
  ok = bind(handle, "curl_slist_free_all", l.slist_free_all, why) && ok;
  ok = bind(handle, "curl_multi_init", l.multi_init, why) && ok;
  ok = bind(handle, "curl_multi_add_handle", l.multi_add_handle, why) && ok;
  ok = bind(handle, "curl_multi_remove_handle", l.multi_remove_handle, why) && ok;
  ok = bind(handle, "curl_multi_perform", l.multi_perform, why) && ok;
  ok = bind(handle, "curl_multi_poll", l.multi_poll, why) && ok;
  ok = bind(handle, "curl_multi_wakeup", l.multi_wakeup, why) && ok;
  ok = bind(handle, "curl_multi_info_read", l.multi_info_read, why) && ok;
  ok = bind(handle, "curl_multi_cleanup", l.multi_cleanup, why) && ok;
  // Global set-up is not thread-safe: it runs once, here, under the call_once.
  if (ok && global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK) {
    ok = false;
    why = "libcurl failed to initialise";
  }
  loaded.ok = ok;
  return loaded;
}

}  // namespace

const CurlLibrary* curl_library(std::string* why) {
  static std::once_flag once;
  static Loaded loaded;
  std::call_once(once, [] { loaded = load(); });
  if (!loaded.ok && why != nullptr) *why = loaded.why;
  return loaded.ok ? &loaded.library : nullptr;
}

}  // namespace host::runtime
