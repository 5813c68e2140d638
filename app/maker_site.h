// The web addresses the program opens and fetches. The maker's pages and
// its version file live on the maker's web host, a name of our own under
// the reserved ".example" domain, so that nothing reaches a stranger's
// server by accident. The environment variable VEXA_WEB_BASE (an address
// beginning with "http://" or "https://", such as "http://127.0.0.1:8080")
// replaces the maker's host: a test's local server, or a mirror.
#pragma once

#include <cstdint>
#include <string>

namespace vexa::site {

// The maker's host as the about page names it.
constexpr wchar_t kMakerHostName[] = L"www.brenik.example";
constexpr char kWebBaseVariable[] = "VEXA_WEB_BASE";

constexpr wchar_t kVersionFilePath[] = L"/medias/files/softwares/brenik.ver";
constexpr wchar_t kVersionHistoryPath[] = L"/softwares/vexa/versions-history.html";
constexpr wchar_t kProgramPagePath[] = L"/softwares/vexa.html";
constexpr wchar_t kAndroidPagePath[] = L"/softwares/vexa-android.html";
constexpr wchar_t kProfessionalServicesPath[] = L"/products-services.php";
constexpr wchar_t kDriverUpdatePath[] = L"/link/Vexa_DA";
constexpr wchar_t kBIOSUpdatePath[] = L"/link/Vexa_BAP";
constexpr wchar_t kMagazineAddress[] = L"http://www.hardware-magazine.example/";

// The validation service: its HTTP server (port 80) receives the record
// and the dump; its pages list the records. VEXA_VALIDATION_BASE (such as
// "http://127.0.0.1:8080") replaces it, for a test's local server.
constexpr char kValidationHostName[] = "valid.brenik.example";
constexpr char kValidationBaseVariable[] = "VEXA_VALIDATION_BASE";
constexpr wchar_t kValidationRecordsPath[] = L"/records.php";

struct ServiceHost {
    std::string name;
    uint16_t port = 80;
};
ServiceHost ValidationHost();
// A page of the validation service ("/" its main page).
std::wstring ValidationAddress(const std::wstring& path);

// A page of the maker's web host (VEXA_WEB_BASE when set).
std::wstring MakerAddress(const wchar_t* path);
// A page of the maker's professional-services host.
std::wstring ServicesAddress(const wchar_t* path);
// A page of the driver and BIOS update partner's host.
std::wstring PartnerAddress(const wchar_t* path);

} // namespace vexa::site
