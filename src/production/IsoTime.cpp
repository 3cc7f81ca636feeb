#include "production/IsoTime.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace {

// Days since 1970-01-01 of a proleptic Gregorian date, and back.
int64_t daysFromCivil(int64_t year, int64_t month, int64_t day)
{
    year -= month <= 2;
    const int64_t era = (year >= 0 ? year : year - 399) / 400;
    const int64_t yearOfEra = year - era * 400;
    const int64_t dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

void civilFromDays(int64_t days, int64_t& year, int64_t& month, int64_t& day)
{
    days += 719468;
    const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const int64_t dayOfEra = days - era * 146097;
    const int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const int64_t shifted = (5 * dayOfYear + 2) / 153;
    day = dayOfYear - (153 * shifted + 2) / 5 + 1;
    month = shifted < 10 ? shifted + 3 : shifted - 9;
    year = yearOfEra + era * 400 + (month <= 2);
}

bool leapYear(int64_t year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int64_t daysInMonth(int64_t year, int64_t month)
{
    constexpr int64_t Days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && leapYear(year) ? 29 : Days[month - 1];
}

// Reads text one piece at a time; a piece that is not there leaves the
// position where it was.
class Cursor {
public:
    explicit Cursor(const std::string& text) : text_(text) {}

    bool atEnd() const { return at_ == text_.size(); }
    bool take(char wanted)
    {
        if (atEnd() || text_[at_] != wanted)
            return false;
        ++at_;
        return true;
    }
    bool takeAny(const char* choices, char& taken)
    {
        for (const char* choice = choices; *choice; ++choice) {
            if (take(*choice)) {
                taken = *choice;
                return true;
            }
        }
        return false;
    }
    // Exactly `count` digits.
    bool digits(int count, int64_t& value)
    {
        if (text_.size() - at_ < static_cast<size_t>(count))
            return false;
        int64_t read = 0;
        for (int i = 0; i < count; ++i) {
            const char c = text_[at_ + static_cast<size_t>(i)];
            if (c < '0' || c > '9')
                return false;
            read = read * 10 + (c - '0');
        }
        at_ += static_cast<size_t>(count);
        value = read;
        return true;
    }
    // One or more digits, the first three as milliseconds.
    bool fraction(int64_t& milliseconds)
    {
        const size_t start = at_;
        int64_t scale = 100;
        milliseconds = 0;
        while (!atEnd() && text_[at_] >= '0' && text_[at_] <= '9') {
            milliseconds += (text_[at_] - '0') * scale;
            scale /= 10;
            ++at_;
        }
        return at_ > start;
    }

private:
    const std::string& text_;
    size_t at_ = 0;
};

}  // namespace

std::optional<int64_t> IsoTime::parse(const std::string& text, std::string& error)
{
    Cursor cursor(text);
    int64_t year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, milliseconds = 0;
    bool valid = cursor.digits(4, year) && cursor.take('-') && cursor.digits(2, month) && cursor.take('-') &&
                 cursor.digits(2, day) && month >= 1 && month <= 12 && day >= 1 && day <= daysInMonth(year, month);
    bool zoned = false;
    int64_t offsetMinutes = 0;
    char separator = 0;
    if (valid && cursor.takeAny("T ", separator)) {
        valid = cursor.digits(2, hour) && cursor.take(':') && cursor.digits(2, minute) && hour <= 23 && minute <= 59;
        if (valid && cursor.take(':')) {
            valid = cursor.digits(2, second) && second <= 59;
            if (valid && cursor.take('.'))
                valid = cursor.fraction(milliseconds);
        }
        char sign = 0;
        if (valid && (cursor.take('Z') || cursor.take('z'))) {
            zoned = true;
        } else if (valid && cursor.takeAny("+-", sign)) {
            int64_t zoneHours = 0, zoneMinutes = 0;
            valid = cursor.digits(2, zoneHours) && zoneHours <= 23;
            if (valid && !cursor.atEnd()) {
                cursor.take(':');
                valid = cursor.digits(2, zoneMinutes) && zoneMinutes <= 59;
            }
            offsetMinutes = (sign == '-' ? -1 : 1) * (zoneHours * 60 + zoneMinutes);
            zoned = true;
        }
    }
    if (!valid || !cursor.atEnd()) {
        error = "\"" + text + "\" is no ISO 8601 time such as 2026-12-07, 2026-12-07T09:30 (local time), "
                "2026-12-07T09:30:00Z or 2026-12-07T09:30:00+08:00";
        return std::nullopt;
    }
    if (zoned) {
        const int64_t seconds = daysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second -
                                offsetMinutes * 60;
        return seconds * 1000 + milliseconds;
    }
    std::tm local{};
    local.tm_year = static_cast<int>(year - 1900);
    local.tm_mon = static_cast<int>(month - 1);
    local.tm_mday = static_cast<int>(day);
    local.tm_hour = static_cast<int>(hour);
    local.tm_min = static_cast<int>(minute);
    local.tm_sec = static_cast<int>(second);
    local.tm_isdst = -1;
    const std::time_t seconds = std::mktime(&local);
    if (seconds == static_cast<std::time_t>(-1) && !(year == 1969 && month == 12 && day == 31)) {
        error = "\"" + text + "\" cannot be taken as local time here";
        return std::nullopt;
    }
    return static_cast<int64_t>(seconds) * 1000 + milliseconds;
}

std::string IsoTime::utcText(int64_t milliseconds)
{
    int64_t seconds = milliseconds / 1000;
    int64_t fraction = milliseconds % 1000;
    if (fraction < 0) {
        fraction += 1000;
        --seconds;
    }
    int64_t days = seconds / 86400;
    int64_t within = seconds % 86400;
    if (within < 0) {
        within += 86400;
        --days;
    }
    int64_t year = 0, month = 0, day = 0;
    civilFromDays(days, year, month, day);
    char text[96];  // room for any value the fields could hold, not just real dates
    std::snprintf(text, sizeof text, "%04lld-%02lld-%02lldT%02lld:%02lld:%02lld.%03lldZ", static_cast<long long>(year),
                  static_cast<long long>(month), static_cast<long long>(day), static_cast<long long>(within / 3600),
                  static_cast<long long>(within / 60 % 60), static_cast<long long>(within % 60),
                  static_cast<long long>(fraction));
    return text;
}

std::string IsoTime::now()
{
    const auto since = std::chrono::system_clock::now().time_since_epoch();
    return utcText(std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
}

std::string IsoTime::localText(const std::string& utc)
{
    std::string ignored;
    const std::optional<int64_t> milliseconds = parse(utc, ignored);
    if (!milliseconds)
        return utc;
    const auto seconds = static_cast<std::time_t>(*milliseconds >= 0 ? *milliseconds / 1000
                                                                      : (*milliseconds - 999) / 1000);
    std::tm local{};
    if (!localtime_r(&seconds, &local))
        return utc;
    const long offset = local.tm_gmtoff / 60;
    char text[96];  // room for any value the fields could hold, not just real dates
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d %c%02ld:%02ld", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec, offset < 0 ? '-' : '+',
                  std::labs(offset) / 60, std::labs(offset) % 60);
    return text;
}
