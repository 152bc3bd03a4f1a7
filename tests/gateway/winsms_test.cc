// The gateway library through the real dynamic loader: outbox mode writes one JSON line per
// message, http mode talks to a small HTTP server on 127.0.0.1 that the test runs.

#include <arpa/inet.h>
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <thread>

#include "platform/text.h"
#include "support/temp_dir.h"

namespace ab {
namespace {

using SendsmsFn = const char* (*)(const char*, const char*, const char*, const char*, intptr_t,
                                  intptr_t);

class WinsmsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    library_ = dlopen(AB_WINSMS_SO, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library_, nullptr) << dlerror();
    send_ = reinterpret_cast<SendsmsFn>(dlsym(library_, "Sendsms"));
    ASSERT_NE(send_, nullptr);
    ::setenv("AUTOBACKUP_HOME", home_.path().c_str(), 1);
  }
  void TearDown() override {
    ::unsetenv("AUTOBACKUP_HOME");
    if (library_) dlclose(library_);
  }
  std::string Send(const std::string& phone, const std::string& text) {
    const char* answer = send_("shop", "secret", phone.c_str(), text.c_str(), 0, 0);
    return answer ? answer : "<null>";
  }

  testing::TempDir home_;
  void* library_ = nullptr;
  SendsmsFn send_ = nullptr;
};

std::string Today() {
  char buf[16];
  time_t now = time(nullptr);
  strftime(buf, sizeof buf, "%Y-%m-%d", localtime(&now));
  return buf;
}

TEST_F(WinsmsTest, OutboxIsTheDefaultAndKeepsOneJsonLinePerMessage) {
  EXPECT_EQ(Send("13800138000", gbk("尊敬的张三 先生您好！")), "0");
  EXPECT_EQ(Send("139\"00", "line\r\nbreak"), "0");
  std::string outbox = home_.Read("sms-outbox/" + Today() + ".jsonl");
  size_t first_end = outbox.find('\n');
  ASSERT_NE(first_end, std::string::npos);
  std::string first = outbox.substr(0, first_end);
  EXPECT_NE(first.find("\"account\":\"shop\""), std::string::npos) << first;
  EXPECT_NE(first.find("\"phone\":\"13800138000\""), std::string::npos) << first;
  EXPECT_NE(first.find("\"text\":\"尊敬的张三 先生您好！\""), std::string::npos)
      << "the text is written as UTF-8: " << first;
  EXPECT_EQ(first.find("secret"), std::string::npos) << "the password is not written";
  std::string second = outbox.substr(first_end + 1);
  EXPECT_NE(second.find("\"phone\":\"139\\\"00\""), std::string::npos) << second;
  EXPECT_NE(second.find("\"text\":\"line\\r\\nbreak\""), std::string::npos) << second;
  EXPECT_EQ(std::count(outbox.begin(), outbox.end(), '\n'), 2);
}

TEST_F(WinsmsTest, OutboxThatCannotBeWrittenAnswersAnError) {
  home_.Write("sms-outbox", "a file where the folder should be");
  std::string answer = Send("13800138000", "x");
  EXPECT_NE(answer, "0");
  EXPECT_FALSE(answer.empty()) << "a write failure is no network failure";
}

TEST_F(WinsmsTest, UnknownModeAnswersAnError) {
  home_.Write("winsms.ini", "[gateway]\nmode=carrier-pigeon\n");
  std::string answer = Send("1", "x");
  EXPECT_NE(answer, "0");
  EXPECT_FALSE(answer.empty());
}

// Accepts one connection, records the request and answers `reply` (or nothing when `reply` is
// null, holding the connection open until the client gives up).
class OneShotHttpServer {
 public:
  explicit OneShotHttpServer(const char* reply) : reply_(reply) {
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
    ::listen(fd_, 1);
    thread_ = std::thread([this] { Serve(); });
  }
  ~OneShotHttpServer() {
    thread_.join();
    ::close(fd_);
  }
  int port() const { return port_; }
  const std::string& request() const { return request_; }

 private:
  void Serve() {
    int c = ::accept(fd_, nullptr, nullptr);
    if (c < 0) return;
    char buf[4096];
    for (;;) {
      ssize_t n = ::recv(c, buf, sizeof buf, 0);
      if (n <= 0) break;
      request_.append(buf, static_cast<size_t>(n));
      size_t head = request_.find("\r\n\r\n");
      if (head == std::string::npos) continue;
      size_t length_at = request_.find("Content-Length: ");
      size_t length = length_at == std::string::npos
                          ? 0
                          : std::strtoul(request_.c_str() + length_at + 16, nullptr, 10);
      if (request_.size() >= head + 4 + length) break;
    }
    if (reply_ != nullptr) {
      std::string body = reply_;
      std::string response = "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) +
                             "\r\nConnection: close\r\n\r\n" + body;
      ::send(c, response.data(), response.size(), 0);
    } else {
      // Keep the client waiting until it times out and closes.
      while (::recv(c, buf, sizeof buf, 0) > 0) {
      }
    }
    ::close(c);
  }

  const char* reply_;
  int fd_ = -1;
  int port_ = 0;
  std::string request_;
  std::thread thread_;
};

TEST_F(WinsmsTest, HttpPostSendsTheUrlEncodedFieldsInTheProvidersCharset) {
  OneShotHttpServer server("0/accepted");
  home_.Write("winsms.ini",
              "[gateway]\nmode=http\nmethod=POST\ncharset=UTF-8\ntimeout=5\n"
              "url=http://127.0.0.1:" + std::to_string(server.port()) + "/send\n"
              "body=u={account}&p={password}&to={phone}&msg={message}\n");
  EXPECT_EQ(Send("13800138000", gbk("生日快乐 & ok")), "0/accepted");
  const std::string& request = server.request();
  EXPECT_EQ(request.rfind("POST /send ", 0), 0u) << request;
  EXPECT_NE(request.find("u=shop&p=secret&to=13800138000&msg=%E7%94%9F%E6%97%A5%E5%BF%AB%E4%B9%90"
                         "%20%26%20ok"),
            std::string::npos)
      << request;
}

TEST_F(WinsmsTest, HttpGetInGbkPutsTheFieldsIntoTheQuery) {
  OneShotHttpServer server("-1/no balance");
  home_.Write("winsms.ini",
              "[gateway]\nmode=http\nmethod=GET\ncharset=GBK\ntimeout=5\n"
              "url=http://127.0.0.1:" + std::to_string(server.port()) + "/api?key=1\n"
              "body=to={phone}&msg={message}\n");
  EXPECT_EQ(Send("1", gbk("中")), "-1/no balance");
  EXPECT_EQ(server.request().rfind("GET /api?key=1&to=1&msg=%D6%D0 ", 0), 0u) << server.request();
}

TEST_F(WinsmsTest, UnreachableProviderAnswersTheEmptyText) {
  int port;
  {
    // A port that was free a moment ago and is closed now.
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    port = ntohs(a.sin_port);
    ::close(fd);
  }
  home_.Write("winsms.ini", "[gateway]\nmode=http\ntimeout=2\nurl=http://127.0.0.1:" +
                                std::to_string(port) + "/\nbody=x={message}\n");
  EXPECT_EQ(Send("1", "x"), "");
}

TEST_F(WinsmsTest, ProviderThatNeverAnswersTimesOutWithTheEmptyText) {
  OneShotHttpServer server(nullptr);
  home_.Write("winsms.ini", "[gateway]\nmode=http\ntimeout=1\nurl=http://127.0.0.1:" +
                                std::to_string(server.port()) + "/\nbody=x={message}\n");
  EXPECT_EQ(Send("1", "x"), "");
}

}  // namespace
}  // namespace ab
