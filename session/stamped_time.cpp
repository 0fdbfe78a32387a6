// Local time through localtime_r, which applies the time zone and daylight saving.
#include "session/stamped_time.h"

namespace tavrel {

StampedTime localStampedTime(std::time_t moment) {
    std::tm fields{};
    if (!localtime_r(&moment, &fields))
        return StampedTime{};
    return StampedTime{fields.tm_year + 1900, fields.tm_mon + 1, fields.tm_mday,
                       fields.tm_hour,        fields.tm_min,     fields.tm_sec};
}

StampedTime currentStampedTime() {
    return localStampedTime(std::time(nullptr));
}

} // namespace tavrel
