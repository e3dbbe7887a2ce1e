// lobarc serve refuses what it cannot serve before it listens: a port that
// something else holds, and a folder without the built page.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <string>

#include "sim/temp_dir.h"

namespace {

struct ServeRun {
  int code = -1;
  std::string output;  // standard output and error
};

ServeRun lobarc(const std::string& args) {
  ServeRun r;
  FILE* p = popen((std::string(LOBARC_EXE) + " " + args + " 2>&1").c_str(), "r");
  if (p == nullptr) return r;
  std::array<char, 4096> buf;
  while (std::size_t n = fread(buf.data(), 1, buf.size(), p)) r.output.append(buf.data(), n);
  const int status = pclose(p);
  r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

TEST(LobarcServe, RefusesABusyPortAndAFolderWithoutThePage) {
  sim::TempDir site;
  site.write("index.html", "<!doctype html>");
  site.write("lobarc.wasm", "");
  // A listener on a loopback port that the system chose.
  const int holder = socket(AF_INET, SOCK_STREAM, 0);
  ASSERT_GE(holder, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(bind(holder, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  ASSERT_EQ(listen(holder, 1), 0);
  socklen_t len = sizeof addr;
  ASSERT_EQ(getsockname(holder, reinterpret_cast<sockaddr*>(&addr), &len), 0);
  const std::string port = std::to_string(ntohs(addr.sin_port));

  const ServeRun busy = lobarc("serve --port " + port + " --dir " + site.path().string());
  close(holder);
  EXPECT_EQ(busy.code, 2);
  EXPECT_NE(busy.output.find("port " + port + " on 127.0.0.1 is in use"), std::string::npos)
      << busy.output;

  const ServeRun empty = lobarc("serve --port 0 --dir " + site.path().parent_path().string());
  EXPECT_EQ(empty.code, 2);
  EXPECT_NE(empty.output.find("scripts/build-web.sh"), std::string::npos) << empty.output;
}

}  // namespace
