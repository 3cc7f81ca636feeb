#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "core/RunningExecutable.h"
#include "core/UnexpectedError.h"
#include "core/MessageCatalogue.h"
#include "core/ProgramVersion.h"
#include "station/StationServer.h"
#include "station/StationService.h"
#include "station/StationSettings.h"

namespace {

constexpr int UsageError = 2;
constexpr int StartFailure = 1;

}  // namespace

#if defined(__SANITIZE_THREAD__)
// The HTTP library is not built with ThreadSanitizer: the function-local
// statics it sends from (the last chunk's marker) are made under a guard whose
// fast path the tool cannot see, so what the library itself copies is not
// judged. Our own code's accesses, handlers included, still are.
extern "C" const char* __tsan_default_suppressions()
{
    return "called_from_lib:libcpp-httplib.so\n";
}
#endif

int main(int argc, char** argv)
{
    try {
        if (ProgramVersion::isAsked(argc, argv)) {
            std::fputs(ProgramVersion::text("belcor-station").c_str(), stdout);
            return 0;
        }
        const ParsedStationSettings parsed = ParseStationArguments(std::vector<std::string>(argv + 1, argv + argc));
        if (parsed.help) {
            std::fputs(StationUsageText().c_str(), stdout);
            return 0;
        }
        if (!parsed.settings) {
            std::fprintf(stderr, "belcor-station: %s\n%s", parsed.error.c_str(), StationUsageText().c_str());
            return UsageError;
        }
        const StationSettings& settings = *parsed.settings;
        if (const std::string refusal = settings.refusal(); !refusal.empty()) {
            std::fprintf(stderr, "belcor-station: %s\n", refusal.c_str());
            return UsageError;
        }
        // SIGTERM and SIGINT are taken by one thread of their own; every
        // other thread, started after this, keeps them blocked.
        sigset_t stopSignals;
        sigemptyset(&stopSignals);
        sigaddset(&stopSignals, SIGTERM);
        sigaddset(&stopSignals, SIGINT);
        pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
        // A client that goes away mid-answer must not end the service.
        signal(SIGPIPE, SIG_IGN);

        StationService service(settings, RunningExecutable::path(argv[0]));
        StationServer server(service, settings);
        std::string error;
        // The address and the tokens first: a station that cannot serve
        // says so before it opens programmers and logs.
        if (!server.bind(error) || !service.open(error)) {
            std::fprintf(stderr, "belcor-station: %s\n", error.c_str());
            return StartFailure;
        }
        std::printf("belcor-station %s: listening on %s://%s:%d\n", service.name().c_str(),
                    settings.tls() ? "https" : "http", settings.listenHost.c_str(), server.port());
        std::fflush(stdout);
        std::atomic<bool> served = false;
        std::thread stopper([&] {
            int signal = 0;
            sigwait(&stopSignals, &signal);
            // The chips in hand are finished and logged before the server goes.
            service.shutdown();
            // A stop before serve() accepts is lost on the server: ask again
            // until it has ended, or a signal just after start hangs it.
            while (!served) {
                server.stop();
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
        });
        server.serve();
        served = true;
        if (stopper.joinable()) {
            // serve() ended without a signal (the port was lost): let the
            // stopper run its course.
            pthread_kill(stopper.native_handle(), SIGTERM);
            stopper.join();
        }
        std::printf("belcor-station: stopped\n");
        return 0;
    } catch (...) {
        std::fflush(stdout);
        std::fprintf(stderr, "belcor-station: error: %s\n", UnexpectedErrorText(std::current_exception(), English).c_str());
        return 3;
    }
}
