#include <pthread.h>
#include <signal.h>
#include <memory>

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

    const std::optional<std::string> found = ExistingDatabasePath(options.dir);
    if (!found) return kExitDatabase;
    const std::string& db_path = *found;
    const auto address = feeds::ParseListenAddress(options.listen);
    if (!address) return UsageError("serve: not ADDR:PORT: " + options.listen);
    feeds::FeedServer server(db_path);
    if (!server.Bind(*address)) return UsageError("serve: cannot listen on " + options.listen);
    // Told once listening, with the port chosen when 0 was asked for.
    EmitLine("serving http://" + feeds::ListenAddressText({address->host, server.port()}) + "/");
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
