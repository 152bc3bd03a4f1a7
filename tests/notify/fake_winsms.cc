// A gateway library for tests: answers what FAKE_SMS_ANSWER says ("<null>" answers a null
// pointer), or, with FAKE_SMS_SCRIPT="0;7;0", the n-th answer to the n-th call of the home (the
// last one after that), and appends every call to $AUTOBACKUP_HOME/fake-sms-calls as one line
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
  std::string path = std::string(home ? home : ".") + "/fake-sms-calls";
  size_t earlier = 0;
  {
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) ++earlier;
  }
  std::ofstream calls(path, std::ios::app);
  calls << account << "|" << password << "|" << phone << "|" << message << "|" << reserved1 << "|"
        << reserved2 << "\n";
  const char* scripted = std::getenv("FAKE_SMS_ANSWER");
  answer = scripted ? scripted : "0";
  if (const char* script = std::getenv("FAKE_SMS_SCRIPT")) {
    std::string all = script;
    size_t start = 0;
    for (size_t i = 0; i < earlier; ++i) {
      size_t next = all.find(';', start);
      if (next == std::string::npos) break;
      start = next + 1;
    }
    answer = all.substr(start, all.find(';', start) - start);
  }
  if (answer == "<null>") return nullptr;
  return answer.c_str();
}
