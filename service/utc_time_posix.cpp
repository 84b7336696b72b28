#include "service/utc_time.h"

bool toUtcCalendar(int64_t seconds, std::tm& out) {
    const std::time_t time = static_cast<std::time_t>(seconds);
    return gmtime_r(&time, &out) != nullptr;
}
