#include <pthread.h>
#include <signal.h>
#include <memory>

#include <filesystem>
#include <iostream>

#include "app/cli/cli_commands.h"
#include "app/cli/cli_common.h"
#include "app/cli/cli_options.h"
#include "feeds/feed_server.h"

namespace marl::cli {

int RunServe(const ServeOptions& options) {
    // Interrupts are taken by this thread alone: blocked before the server's threads exist.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    const std::string db_path = DatabasePath(options.dir);
    std::error_code ec;
    if (!std::filesystem::is_regular_file(db_path, ec)) {
        std::cerr << "marltips-cli: database missing: " << db_path << "\n";
        return kExitDatabase;
    }
    const auto address = feeds::ParseListenAddress(options.listen);
    if (!address) return UsageError("serve: not ADDR:PORT: " + options.listen);
    feeds::FeedServer server(db_path);
    if (!server.Bind(*address)) return UsageError("serve: cannot listen on " + options.listen);
    const std::string host =
        address->host.find(':') != std::string::npos ? "[" + address->host + "]" : address->host;
    EmitLine("serving http://" + host + ":" + std::to_string(server.port()) + "/");
    server.Start();
    int signal = 0;
    while (sigwait(&signals, &signal) != 0) {
    }
    server.Stop();
    return kExitOk;
}

Command AddServeCommand(CLI::App& program) {
    auto options = std::make_shared<ServeOptions>();
    CLI::App* command =
        program.add_subcommand("serve", "serve every plan's feed over HTTP, read-only, until interrupted");
    AddDir(*command, options->dir);
    AddListen(*command, "--listen", options->listen, "address to listen on (loopback unless told otherwise)");
    return MakeCommand(command, options, RunServe);
}

}  // namespace marl::cli
