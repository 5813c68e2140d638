#include "platform/internal/curl_library.h"

#include <dlfcn.h>

#include <mutex>

namespace vexa::platform {
namespace {

template <typename Function>
bool resolve(void* library, const char* name, Function& function) {
    function = reinterpret_cast<Function>(dlsym(library, name));
    return function != nullptr;
}

} // namespace

const CurlLibrary* curlLibrary() {
    static CurlLibrary curl{};
    static bool available = false;
    static std::once_flag once;
    std::call_once(once, [] {
        void* library = dlopen("libcurl.so.4", RTLD_NOW | RTLD_LOCAL);
        if (!library) return;
        available = resolve(library, "curl_global_init", curl.global_init) &&
                    resolve(library, "curl_easy_init", curl.easy_init) &&
                    resolve(library, "curl_easy_cleanup", curl.easy_cleanup) &&
                    resolve(library, "curl_easy_setopt", curl.easy_setopt) &&
                    resolve(library, "curl_easy_perform", curl.easy_perform) &&
                    resolve(library, "curl_slist_append", curl.slist_append) &&
                    resolve(library, "curl_slist_free_all", curl.slist_free_all) &&
                    curl.global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
        // The library stays loaded for the process: handles of it may live
        // until exit.
    });
    return available ? &curl : nullptr;
}

} // namespace vexa::platform
