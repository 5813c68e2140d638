// The online validation: the record posted with the user's name, e-mail
// address and publish choice to the validation service's "vvf.php", whose
// reply ("%d,%s": a code and the validation id) names the record's page;
// and the compressed dump report posted under that id to "dump.php". Both
// go through the Internet library "wininet.dll", loaded for each.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class CvexaApp;

namespace vexa::validation {

constexpr char kServiceAgent[] = "VEXA154";
constexpr char kServiceUser[] = "wuzo";
constexpr char kRecordObject[] = "vvf.php";
constexpr char kDumpObject[] = "dump.php";
constexpr char kFormHeader[] = "Content-Type: application/x-www-form-urlencoded; charset=utf-8";
constexpr uint32_t kSendTimeoutMs = 60000;
constexpr uint32_t kSubmitDelayMs = 2000;
// The reply's one read; a longer reply is cut there.
constexpr size_t kReplyBytes = 2048;
// The name and e-mail address in the body, each cut to this many bytes at
// a character boundary.
constexpr size_t kMaxFormTextBytes = 255;
// The validation id: at most this many bytes of the reply.
constexpr size_t kMaxIdBytes = 31;

// The service's codes.
constexpr int kReplyAccepted = 0;
constexpr int kReplyOutdated = 8;
constexpr int kReplyNotANumber = 99;
// SubmitValidation's own failures.
constexpr int kSubmitNoReply = -1;
constexpr int kSubmitBusy = -2;

// "user_name=%s&user_email=%s&raw_vvf=" with the texts as they are (no
// percent-encoding), the record's text, then "&publish=%d&send=ok" (1 for a
// publish choice of 1, else 0).
std::string SubmissionBody(const wchar_t* name, const wchar_t* email, const std::string& recordText, int publish);
// "raw_id=%s&raw_dump=" with the id (cut to kMaxIdBytes), then the
// compressed dump as lower-case hexadecimal digits.
std::string DumpBody(const wchar_t* id, const uint8_t* compressed, size_t length);
// The code at the start of the reply (kReplyNotANumber when there is none)
// and, after a comma, the id up to the first white space (at most
// kMaxIdBytes; empty when there is none).
int ParseServiceReply(const char* reply, std::string& id);

} // namespace vexa::validation

// Posts the record; the result is the service's code, kSubmitNoReply (no
// validation allowed, no Internet library, no reply), kSubmitBusy (the
// library lock refused) or the Internet library's error of a failed step.
// On code 0 the id becomes the application's validation id and its page on
// the service is opened. Holds the library lock from the record's build to
// the end of the exchange.
int SubmitValidation(CvexaApp& app, const wchar_t* name, const wchar_t* email, int publish);
// Posts the compressed dump report under the application's validation id;
// nothing is reported, whatever happens.
void UploadValidationDump(CvexaApp& app);
