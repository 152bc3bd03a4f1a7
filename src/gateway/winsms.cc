#include "gateway/winsms.h"

#include <curl/curl.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

#include "platform/clock.h"
#include "platform/datetime.h"
#include "platform/error.h"
#include "platform/file.h"
#include "platform/ini.h"
#include "platform/text.h"

namespace {

// Answers of the gateway itself (the provider's own answers are passed through).
constexpr char kOutboxWriteFailed[] = "-100/outbox write failed";
constexpr char kBadConfiguration[] = "-101/bad winsms.ini";
constexpr char kNoProviderAnswer[] = "";

std::string Home() {
  const char* env = std::getenv("AUTOBACKUP_HOME");
  if (env != nullptr && *env != '\0') {
    std::string home = env;
    if (home.back() != '/') home += '/';
    return home;
  }
  Dl_info info;
  if (dladdr(reinterpret_cast<void*>(&Sendsms), &info) != 0 && info.dli_fname != nullptr) {
    return ab::DirName(info.dli_fname);
  }
  return "./";
}

std::string JsonString(const std::string& utf8_text) {
  std::string out = "\"";
  for (unsigned char c : utf8_text) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (c < 0x20) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", c);
          out += buf;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

std::string SendToOutbox(const std::string& home, const std::string& account,
                         const std::string& phone, const std::string& message) {
  ab::DateTime now = ab::RealClock().Now();
  std::string folder = home + "sms-outbox";
  std::string line = "{\"time\":" + JsonString(ab::FormatDateTime("yyyy-mm-dd hh:nn:ss", now)) +
                     ",\"account\":" + JsonString(ab::utf8(account)) +
                     ",\"phone\":" + JsonString(ab::utf8(phone)) +
                     ",\"text\":" + JsonString(ab::utf8(message)) + "}\n";
  try {
    ab::CreateDirectories(folder);
  } catch (const ab::Exception&) {
    return kOutboxWriteFailed;
  }
  std::string path = folder + "/" + ab::FormatDateTime("yyyy-mm-dd", now) + ".jsonl";
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
  if (fd < 0) return kOutboxWriteFailed;
  // One write per line: O_APPEND keeps lines whole even with several writers.
  ssize_t n = ::write(fd, line.data(), line.size());
  bool ok = n == static_cast<ssize_t>(line.size()) && ::fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  return ok ? "0" : kOutboxWriteFailed;
}

std::string UrlEncode(CURL* curl, const std::string& text) {
  char* e = curl_easy_escape(curl, text.data(), static_cast<int>(text.size()));
  std::string out = e ? e : "";
  curl_free(e);
  return out;
}

void ReplaceAll(std::string& text, const std::string& from, const std::string& to) {
  size_t pos = 0;
  while ((pos = text.find(from, pos)) != std::string::npos) {
    text.replace(pos, from.size(), to);
    pos += to.size();
  }
}

size_t Collect(char* data, size_t size, size_t count, void* user) {
  auto* out = static_cast<std::string*>(user);
  if (out->size() > 64 * 1024) return 0;  // a provider's answer is a short text
  out->append(data, size * count);
  return size * count;
}

std::string SendOverHttp(const ab::IniFile& ini, const std::string& account,
                         const std::string& password, const std::string& phone,
                         const std::string& message) {
  std::string url = ini.ReadString("gateway", "url", "");
  std::string method = ab::UpperCase(ini.ReadString("gateway", "method", "POST"));
  std::string body = ini.ReadString("gateway", "body", "");
  std::string charset = ab::UpperCase(ini.ReadString("gateway", "charset", "GBK"));
  long timeout = ab::StrToIntDef(ini.ReadString("gateway", "timeout", "15"), 15);
  if (url.empty() || (method != "GET" && method != "POST")) return kBadConfiguration;

  static std::once_flag init;
  std::call_once(init, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
  CURL* curl = curl_easy_init();
  if (curl == nullptr) return kNoProviderAnswer;
  bool utf8 = charset == "UTF-8" || charset == "UTF8";
  auto field = [&](const std::string& gbk_text) {
    return UrlEncode(curl, utf8 ? ab::utf8(gbk_text) : gbk_text);
  };
  ReplaceAll(body, "{account}", field(account));
  ReplaceAll(body, "{password}", field(password));
  ReplaceAll(body, "{phone}", field(phone));
  ReplaceAll(body, "{message}", field(message));

  std::string answer;
  if (method == "GET") {
    url += (url.find('?') == std::string::npos ? "?" : "&") + body;
  } else {
    curl_easy_setopt(curl, CURLOPT_POST, 1L);
    curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body.c_str());
    curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE, static_cast<long>(body.size()));
  }
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_TIMEOUT, timeout > 0 ? timeout : 15L);
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, timeout > 0 ? timeout : 15L);
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, Collect);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &answer);
  curl_easy_setopt(curl, CURLOPT_USERAGENT, "AutoBackup-winsms/1");
  CURLcode rc = curl_easy_perform(curl);
  long status = 0;
  curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
  curl_easy_cleanup(curl);
  if (rc != CURLE_OK || status == 0) return kNoProviderAnswer;
  if (status >= 400 && answer.empty()) return "-102/HTTP " + std::to_string(status);
  // The provider's answer, in the system's encoding.
  return utf8 ? ab::gbk(answer) : answer;
}

}  // namespace

extern "C" const char* Sendsms(const char* account, const char* password, const char* phone,
                               const char* message, intptr_t, intptr_t) {
  thread_local std::string answer;
  std::string a = account ? account : "", p = password ? password : "";
  std::string to = phone ? phone : "", text = message ? message : "";
  try {
    std::string home = Home();
    ab::IniFile ini = ab::IniFile::Load(home + "winsms.ini");
    std::string mode = ab::LowerCase(ini.ReadString("gateway", "mode", "outbox"));
    if (mode == "outbox") {
      answer = SendToOutbox(home, a, to, text);
    } else if (mode == "http") {
      answer = SendOverHttp(ini, a, p, to, text);
    } else {
      answer = kBadConfiguration;
    }
  } catch (...) {
    answer = kBadConfiguration;
  }
  return answer.c_str();
}
