#include "platform/Clock.h"

namespace {
const Clock *gClock = nullptr;
}

Clock::~Clock() = default;

const Clock &Clock::instance() {
    static SystemClock system;
    return gClock ? *gClock : system;
}

void Clock::setInstance(const Clock *clock) {
    gClock = clock;
}
