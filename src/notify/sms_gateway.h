#pragma once
// The SMS gateway adapter: sends one text to one number through the gateway library winsms.so
// with the shop's gateway account ("smsParam", system ids 0 and 1, read at every call), reads the
// library's answer and tells the operator about every failure in exactly one message box.
//
// The library is loaded on the first call that gets past the account check — <home>/winsms.so
// first, then the dynamic loader's search — and stays loaded until Release. A library that cannot
// be loaded, or that has no entry point Sendsms, gives the load message; the next call tries
// again. AUTOBACKUP_HOME is exported before loading, so the library finds its winsms.ini.
//
// User-interface thread only.

#include <string>
#include <vector>

namespace ab {

class Ui;

class SmsGateway {
 public:
  // `library_path` empty: <home>/winsms.so, then "winsms.so" through the loader's search.
  explicit SmsGateway(Ui& ui, std::string library_path = "");
  ~SmsGateway();
  SmsGateway(const SmsGateway&) = delete;
  SmsGateway& operator=(const SmsGateway&) = delete;

  // True when the gateway answered code 0. Database errors reading the account reach the caller.
  [[nodiscard]] bool SendShortMessage(const std::string& message, const std::string& phone_number);

  // Unloads the library (also when it was never loaded).
  void Release();
  bool loaded() const { return library_ != nullptr; }

 private:
  bool Load();

  Ui& ui_;
  std::string library_path_;
  void* library_ = nullptr;
  void* entry_ = nullptr;
};

// The items of a gateway answer: "/" separates items, so do runs of blanks and control
// characters, and a part in double quotes forms one item.
std::vector<std::string> SplitGatewayAnswer(const std::string& answer);

}  // namespace ab
