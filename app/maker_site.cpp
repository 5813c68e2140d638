#include "app/maker_site.h"

#include <cstdlib>
#include <cstring>

#include "platform/text.h"

namespace vexa::site {
namespace {

constexpr size_t kMaxBaseChars = 256;

// The base without its trailing '/', when it is a usable web address.
std::wstring BaseFromEnvironment(const char* variable = kWebBaseVariable) {
    const char* base = std::getenv(variable);
    if (!base || std::strlen(base) > kMaxBaseChars) return {};
    std::string text = base;
    if (text.rfind("http://", 0) != 0 && text.rfind("https://", 0) != 0) return {};
    while (!text.empty() && text.back() == '/') text.pop_back();
    return platform::toWide(text);
}

} // namespace

// "http://name:port" of the variable; anything else keeps the service's
// own host.
ServiceHost ValidationHost() {
    const std::string base = platform::toNarrow(BaseFromEnvironment(kValidationBaseVariable));
    const std::string prefix = "http://";
    if (base.rfind(prefix, 0) == 0) {
        const std::string authority = base.substr(prefix.size(), base.find('/', prefix.size()) - prefix.size());
        const size_t colon = authority.rfind(':');
        const std::string name = authority.substr(0, colon);
        const long port = colon == std::string::npos ? 80 : std::strtol(authority.c_str() + colon + 1, nullptr, 10);
        if (!name.empty() && port > 0 && port <= 65535) return {name, uint16_t(port)};
    }
    return {kValidationHostName, 80};
}

std::wstring ValidationAddress(const std::wstring& path) {
    const ServiceHost host = ValidationHost();
    std::string address = "http://" + host.name;
    if (host.port != 80) address += ":" + std::to_string(host.port);
    return platform::toWide(address) + path;
}

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
