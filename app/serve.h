// `lobarc serve`: the browser playground's folder over HTTP, on the loopback
// address only.
#pragma once

#include <filesystem>
#include <optional>
#include <ostream>

namespace lobarc {

// Where the playground's built page is: an explicit folder, $LOBARC_WEB_DIR,
// or where scripts/build-web.sh puts it. Throws std::runtime_error saying
// how to build it when the folder holds no page.
std::filesystem::path findWebFolder(const std::optional<std::filesystem::path>& explicitDir);

// Serves folder on 127.0.0.1:port (port 0: any free port) until the process
// is stopped; prints the address to out once it listens. Throws
// std::runtime_error naming the port when it cannot be bound.
void serveFolder(const std::filesystem::path& folder, int port, std::ostream& out);

}  // namespace lobarc
