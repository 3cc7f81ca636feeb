#include "cli/BatchInterrupt.h"

#include <csignal>

namespace {

volatile std::sig_atomic_t interrupted = 0;

extern "C" void stopBatch(int)
{
    interrupted = 1;
    std::signal(SIGINT, SIG_DFL);
}

}  // namespace

BatchInterrupt::BatchInterrupt()
{
    interrupted = 0;
    std::signal(SIGINT, stopBatch);
}

BatchInterrupt::~BatchInterrupt()
{
    std::signal(SIGINT, SIG_DFL);
}

bool BatchInterrupt::requested()
{
    return interrupted != 0;
}
