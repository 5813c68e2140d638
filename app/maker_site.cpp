#include "app/maker_site.h"

#include <cstdlib>
#include <cstring>

#include "platform/text.h"

namespace vexa::site {
namespace {

constexpr size_t kMaxBaseChars = 256;

// The base without its trailing '/', when it is a usable web address.
std::wstring BaseFromEnvironment() {
    const char* base = std::getenv(kWebBaseVariable);
    if (!base || std::strlen(base) > kMaxBaseChars) return {};
    std::string text = base;
    if (text.rfind("http://", 0) != 0 && text.rfind("https://", 0) != 0) return {};
    while (!text.empty() && text.back() == '/') text.pop_back();
    return platform::toWide(text);
}

} // namespace

std::wstring MakerAddress(const wchar_t* path) {
    std::wstring base = BaseFromEnvironment();
    if (base.empty()) base = std::wstring(L"http://") + kMakerHostName;
    return base + path;
}

std::wstring ServicesAddress(const wchar_t* path) { return std::wstring(L"http://pro.brenik.example") + path; }

std::wstring PartnerAddress(const wchar_t* path) {
    return std::wstring(L"http://www.driver-update-partner.example") + path;
}

} // namespace vexa::site
