#include "notify/sms_gateway.h"

#include <dlfcn.h>

#include <cstdint>
#include <cstdlib>

#include "config/sys_param.h"
#include "platform/home.h"
#include "platform/text.h"
#include "platform/ui.h"

namespace ab {
namespace {

using SendsmsFn = const char* (*)(const char*, const char*, const char*, const char*, intptr_t,
                                  intptr_t);

bool IsSeparator(unsigned char c) { return c == '/' || c <= ' '; }

}  // namespace

std::vector<std::string> SplitGatewayAnswer(const std::string& answer) {
  std::vector<std::string> items;
  size_t i = 0;
  const size_t n = answer.size();
  auto skip_blanks = [&] {
    while (i < n && static_cast<unsigned char>(answer[i]) <= ' ') ++i;
  };
  skip_blanks();
  while (i < n) {
    std::string item;
    if (answer[i] == '"') {
      ++i;
      while (i < n) {
        if (answer[i] == '"') {
          if (i + 1 < n && answer[i + 1] == '"') {
            item += '"';
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        item += answer[i++];
      }
    }
    while (i < n && !IsSeparator(static_cast<unsigned char>(answer[i]))) item += answer[i++];
    items.push_back(item);
    skip_blanks();
    if (i < n && answer[i] == '/') {
      ++i;
      skip_blanks();
      if (i >= n) items.emplace_back();  // a trailing "/" ends with an empty item
    }
  }
  return items;
}

SmsGateway::SmsGateway(Ui& ui, std::string library_path)
    : ui_(ui), library_path_(std::move(library_path)) {}

SmsGateway::~SmsGateway() { Release(); }

void SmsGateway::Release() {
  if (library_ != nullptr) dlclose(library_);
  library_ = nullptr;
  entry_ = nullptr;
}

bool SmsGateway::Load() {
  if (library_ != nullptr) return true;
  ::setenv("AUTOBACKUP_HOME", ProgramDir().c_str(), 1);
  if (!library_path_.empty()) {
    library_ = dlopen(library_path_.c_str(), RTLD_NOW | RTLD_LOCAL);
  } else {
    library_ = dlopen((ProgramDir() + "winsms.so").c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library_ == nullptr) library_ = dlopen("winsms.so", RTLD_NOW | RTLD_LOCAL);
  }
  if (library_ != nullptr) {
    entry_ = dlsym(library_, "Sendsms");
    if (entry_ == nullptr) Release();  // a library without the entry point cannot send
  }
  return library_ != nullptr;
}

bool SmsGateway::SendShortMessage(const std::string& message, const std::string& phone_number) {
  std::string account = GetParamString("smsParam", "", 0);
  std::string password = GetParamString("smsParam", "", 1);
  const std::string failed = gbk("短信失败");
  if (account.empty() || password.empty()) {
    ui_.MessageBox(gbk("请确认短信帐号是否己设置 ！"), failed, MsgButtons::kOk, MsgIcon::kError);
    return false;
  }
  if (!Load()) {
    ui_.MessageBox(gbk("未能加载短信接口文件winsms.dll ！"), gbk("提示"), MsgButtons::kOk,
                   MsgIcon::kError);
    return false;
  }
  ui_.SetBusy(true);
  const char* raw = reinterpret_cast<SendsmsFn>(entry_)(account.c_str(), password.c_str(),
                                                        phone_number.c_str(), message.c_str(), 0, 0);
  std::string answer = raw != nullptr ? raw : "";
  ui_.SetBusy(false);

  std::vector<std::string> items = SplitGatewayAnswer(answer);
  if (items.empty()) {
    ui_.MessageBox(gbk("发送短信失败:确认是否正确联接到网络！"), failed, MsgButtons::kOk,
                   MsgIcon::kError);
    return false;
  }
  std::optional<int32_t> code = TryStrToInt(items[0]);
  if (code && *code == 0) return true;
  std::string text;
  if (code && *code == -1) {
    text = gbk("发送短信失败:当前账号余额不足！");
  } else if (code && *code == -2) {
    text = gbk("发送短信失败:短信帐号不存在！");
  } else if (code && *code == -3) {
    text = gbk("发送短信失败:短信平台密码错误！");
  } else {
    text = gbk("发送短信失败:错误号") + items[0];
  }
  ui_.MessageBox(text, failed, MsgButtons::kOk, MsgIcon::kError);
  return false;
}

}  // namespace ab
