// A gateway library for tests: answers what FAKE_SMS_ANSWER says ("<null>" answers a null
// pointer) and appends every call to $AUTOBACKUP_HOME/fake-sms-calls as one line
// "account|password|phone|message|reserved1|reserved2".

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

extern "C" __attribute__((visibility("default"))) const char* Sendsms(
    const char* account, const char* password, const char* phone, const char* message,
    intptr_t reserved1, intptr_t reserved2) {
  static thread_local std::string answer;
  const char* home = std::getenv("AUTOBACKUP_HOME");
  std::ofstream calls(std::string(home ? home : ".") + "/fake-sms-calls", std::ios::app);
  calls << account << "|" << password << "|" << phone << "|" << message << "|" << reserved1 << "|"
        << reserved2 << "\n";
  const char* scripted = std::getenv("FAKE_SMS_ANSWER");
  answer = scripted ? scripted : "0";
  if (answer == "<null>") return nullptr;
  return answer.c_str();
}
