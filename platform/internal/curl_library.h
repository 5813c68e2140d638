// libcurl, loaded when the first HTTP request needs it rather than with the
// program: its many dependencies would otherwise weigh on every run,
// although only the update check and the maker's links use it.
#pragma once

#include <curl/curl.h>

namespace vexa::platform {

struct CurlLibrary {
    CURLcode (*global_init)(long flags);
    CURL* (*easy_init)();
    void (*easy_cleanup)(CURL* handle);
    CURLcode (*easy_setopt)(CURL* handle, CURLoption option, ...);
    CURLcode (*easy_perform)(CURL* handle);
    curl_slist* (*slist_append)(curl_slist* list, const char* text);
    void (*slist_free_all)(curl_slist* list);
};

// The library, initialised once; null when it cannot be loaded or lacks a
// function.
const CurlLibrary* curlLibrary();

} // namespace vexa::platform
