#include "app/serve.h"

#include <httplib.h>
#include <sys/socket.h>

#include <cstdlib>
#include <stdexcept>
#include <string>

namespace lobarc {

namespace fs = std::filesystem;

std::filesystem::path findWebFolder(const std::optional<fs::path>& explicitDir) {
  auto hasPage = [](const fs::path& dir) {
    return fs::exists(dir / "index.html") && fs::exists(dir / "lobarc.wasm");
  };
  const std::string how = "build it with 'bash scripts/build-web.sh' or give --dir DIR";
  if (explicitDir) {
    if (!hasPage(*explicitDir))
      throw std::runtime_error(explicitDir->string() +
                               " holds no playground page (index.html, lobarc.wasm); " + how);
    return *explicitDir;
  }
  if (const char* env = std::getenv("LOBARC_WEB_DIR"); env && *env) {
    if (hasPage(env)) return env;
    throw std::runtime_error(std::string("LOBARC_WEB_DIR names ") + env +
                             ", which holds no playground page; unset it or " + how);
  }
#ifdef LOBARC_WEB_DIR
  if (hasPage(LOBARC_WEB_DIR)) return LOBARC_WEB_DIR;
#endif
  throw std::runtime_error("the browser playground is not built; " + how);
}

void serveFolder(const fs::path& folder, int port, std::ostream& out) {
  httplib::Server server;
  // The types a browser insists on: WebAssembly is compiled while it
  // downloads only when it comes as application/wasm.
  server.set_file_extension_and_mimetype_mapping("wasm", "application/wasm");
  server.set_file_extension_and_mimetype_mapping("js", "text/javascript");
  // The library's default shares the port with another listener
  // (SO_REUSEPORT); a port in use must be refused instead. SO_REUSEADDR alone
  // still lets a restart take the port over from connections closing down.
  server.set_socket_options([](socket_t sock) {
    int yes = 1;
    setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  });
  if (!server.set_mount_point("/", folder.string()))
    throw std::runtime_error("cannot serve " + folder.string() + ": it is not a folder");
  // Loopback only: the playground is for the person at this machine.
  const std::string host = "127.0.0.1";
  if (port == 0) {
    port = server.bind_to_any_port(host);
    if (port < 0) throw std::runtime_error("cannot listen on any port of " + host);
  } else if (!server.bind_to_port(host, port)) {
    throw std::runtime_error("port " + std::to_string(port) + " on " + host +
                             " is in use (or not allowed); stop what uses it or give another "
                             "--port");
  }
  out << "Serving " << folder.string() << " at http://" << host << ":" << port << "/ (Ctrl-C stops)"
      << std::endl;
  server.listen_after_bind();
}

}  // namespace lobarc
