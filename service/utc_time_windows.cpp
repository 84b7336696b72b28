#include "service/utc_time.h"

#include <time.h>

bool toUtcCalendar(int64_t seconds, std::tm& out) {
    const __time64_t time = static_cast<__time64_t>(seconds);
    return _gmtime64_s(&out, &time) == 0;
}
