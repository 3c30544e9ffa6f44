#include "common/file_record.h"

#include <chrono>
#include <cinttypes>
#include <cstdio>

namespace {

constexpr int64_t kSecondsPerDay = 86400;

// The days from 1970-01-01 to the date, in the proleptic Gregorian calendar, counted in
// eras of 400 years (146 097 days) from 0000-03-01, so that the leap day ends each year.
int64_t DaysFromDate(int64_t year, unsigned month, unsigned day) {
    year -= month <= 2;
    const int64_t era = (year >= 0 ? year : year - 399) / 400;
    const unsigned yearOfEra = unsigned(year - era * 400);
    const unsigned dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + int64_t(dayOfEra) - 719468;
}

void DateFromDays(int64_t days, int64_t& year, unsigned& month, unsigned& day) {
    days += 719468;
    const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const unsigned dayOfEra = unsigned(days - era * 146097);
    const unsigned yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const unsigned shifted = (5 * dayOfYear + 2) / 153;
    day = dayOfYear - (153 * shifted + 2) / 5 + 1;
    month = shifted < 10 ? shifted + 3 : shifted - 9;
    year = int64_t(yearOfEra) + era * 400 + (month <= 2);
}

bool IsLeap(int64_t year) {
    return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

unsigned DaysInMonth(int64_t year, unsigned month) {
    static const unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeap(year) ? 29 : kDays[month - 1];
}

// The number of count decimal digits at text[at], or false.
bool Digits(const std::string& text, size_t at, size_t count, unsigned& value) {
    if (at + count > text.size()) return false;
    value = 0;
    for (size_t i = at; i < at + count; ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        value = value * 10 + unsigned(text[i] - '0');
    }
    return true;
}

}  // namespace

bool TimeWritable(const FileTime& time) {
    // 0000-01-01T00:00:00Z and 9999-12-31T23:59:59Z.
    return time.seconds >= -62167219200 && time.seconds <= 253402300799 &&
           time.nanoseconds < 1000000000;
}

std::string TimeText(const FileTime& time) {
    int64_t days = time.seconds / kSecondsPerDay;
    int64_t second = time.seconds % kSecondsPerDay;
    if (second < 0) {
        second += kSecondsPerDay;
        --days;
    }
    int64_t year;
    unsigned month, day;
    DateFromDays(days, year, month, day);
    char text[64];
    std::snprintf(text, sizeof text, "%04" PRId64 "-%02u-%02uT%02u:%02u:%02u.%09uZ", year, month,
                  day, unsigned(second / 3600), unsigned(second / 60 % 60), unsigned(second % 60),
                  unsigned(time.nanoseconds));
    return text;
}

bool ParseTimeText(const std::string& text, FileTime& time) {
    unsigned year, month, day, hour, minute, second;
    if (!Digits(text, 0, 4, year) || text.size() < 20 || text[4] != '-' ||
        !Digits(text, 5, 2, month) || text[7] != '-' || !Digits(text, 8, 2, day) ||
        text[10] != 'T' || !Digits(text, 11, 2, hour) || text[13] != ':' ||
        !Digits(text, 14, 2, minute) || text[16] != ':' || !Digits(text, 17, 2, second)) {
        return false;
    }
    if (month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month) || hour > 23 ||
        minute > 59 || second > 59) {
        return false;
    }
    size_t at = 19;
    uint32_t nanoseconds = 0;
    if (text[at] == '.') {
        size_t digits = 0;
        for (++at; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at, ++digits) {
            if (digits == 9) return false;
            nanoseconds = nanoseconds * 10 + uint32_t(text[at] - '0');
        }
        if (digits == 0) return false;
        for (; digits < 9; ++digits) nanoseconds *= 10;
    }
    const std::string zone = text.substr(at);
    if (zone != "Z" && zone != "+00:00") return false;
    time.seconds =
        DaysFromDate(year, month, day) * kSecondsPerDay + hour * 3600 + minute * 60 + second;
    time.nanoseconds = nanoseconds;
    return true;
}

FileTime TimeNow() {
    const int64_t ns = std::chrono::duration_cast<std::chrono::nanoseconds>(
                           std::chrono::system_clock::now().time_since_epoch())
                           .count();
    FileTime time;
    time.seconds = ns / 1000000000;
    time.nanoseconds = uint32_t(ns % 1000000000);
    return time;
}
