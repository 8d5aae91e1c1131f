// What the headers say of a record's time and event, in the forms of a
// table: clock times in ISO 8601 with the networks' +09:00, and the
// hypocentral distance.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>

#include "readers/readers.h"

namespace readers {

namespace {

constexpr std::int64_t kSecondsPerDay = 86400;

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar.
std::int64_t days_from_civil(std::int64_t year, unsigned month, unsigned day) {
  year -= month <= 2 ? 1 : 0;
  const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
  const auto year_of_era = static_cast<unsigned>(year - era * 400);
  const unsigned day_of_year = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const unsigned day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
  return era * 146097 + static_cast<std::int64_t>(day_of_era) - 719468;
}

struct CivilDate {
  std::int64_t year;
  unsigned month;
  unsigned day;
};

CivilDate civil_from_days(std::int64_t days) {
  days += 719468;
  const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const auto day_of_era = static_cast<unsigned>(days - era * 146097);
  const unsigned year_of_era = (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
  const unsigned day_of_year = day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
  const unsigned shifted_month = (5 * day_of_year + 2) / 153;
  const unsigned day = day_of_year - (153 * shifted_month + 2) / 5 + 1;
  const unsigned month = shifted_month < 10 ? shifted_month + 3 : shifted_month - 9;
  return {static_cast<std::int64_t>(year_of_era) + era * 400 + (month <= 2 ? 1 : 0), month, day};
}

// A whole number of `width` digits at the front of `text`, taken off it.
std::optional<unsigned> take_digits(std::string_view& text, std::size_t width) {
  if (text.size() < width) return std::nullopt;
  unsigned value = 0;
  for (std::size_t i = 0; i < width; ++i) {
    if (text[i] < '0' || text[i] > '9') return std::nullopt;
    value = value * 10 + static_cast<unsigned>(text[i] - '0');
  }
  text.remove_prefix(width);
  return value;
}

bool take(std::string_view& text, std::string_view separators) {
  if (text.empty() || separators.find(text.front()) == std::string_view::npos) return false;
  text.remove_prefix(1);
  return true;
}

// Seconds from 1970-01-01 00:00:00 of a wall-clock time written
// "yyyy/mm/dd hh:mm:ss[.f]" or "yyyy-mm-ddThh:mm:ss[.f]", a "+09:00" after
// it allowed; nullopt for anything else.
std::optional<double> wall_seconds(std::string_view text) {
  const std::optional<unsigned> year = take_digits(text, 4);
  if (!year || !take(text, "/-")) return std::nullopt;
  const std::optional<unsigned> month = take_digits(text, 2);
  if (!month || !take(text, "/-")) return std::nullopt;
  const std::optional<unsigned> day = take_digits(text, 2);
  if (!day || !take(text, " T")) return std::nullopt;
  const std::optional<unsigned> hour = take_digits(text, 2);
  if (!hour || !take(text, ":")) return std::nullopt;
  const std::optional<unsigned> minute = take_digits(text, 2);
  if (!minute || !take(text, ":")) return std::nullopt;
  const std::optional<unsigned> second = take_digits(text, 2);
  if (!second) return std::nullopt;
  double fraction = 0.0;
  if (take(text, ".")) {
    double unit = 0.1;
    if (text.empty() || text.front() < '0' || text.front() > '9') return std::nullopt;
    while (!text.empty() && text.front() >= '0' && text.front() <= '9') {
      fraction += unit * (text.front() - '0');
      unit /= 10.0;
      text.remove_prefix(1);
    }
  }
  if (!text.empty() && text != "+09:00") return std::nullopt;
  if (*month < 1 || *month > 12 || *day < 1 || *hour > 23 || *minute > 59 || *second > 59) return std::nullopt;
  const std::int64_t days = days_from_civil(*year, *month, *day);
  const CivilDate check = civil_from_days(days);
  if (check.month != *month || check.day != *day) return std::nullopt;  // e.g. 02/30
  return static_cast<double>(days * kSecondsPerDay + *hour * 3600 + *minute * 60 + *second) + fraction;
}

// "yyyy<date>mm<date>dd<middle>hh:mm:ss[.fff]<zone>" of seconds from 1970,
// to `decimals` (at most 3) with trailing zeros dropped.
std::string wall_text(double seconds, int decimals, char date, char middle, std::string_view zone) {
  const double scale = std::pow(10.0, decimals);
  const auto units = static_cast<std::int64_t>(std::llround(seconds * scale));
  const auto per_second = static_cast<std::int64_t>(scale);
  std::int64_t whole = units / per_second;
  std::int64_t part = units % per_second;
  if (part < 0) {
    part += per_second;
    --whole;
  }
  std::int64_t days = whole / kSecondsPerDay;
  std::int64_t in_day = whole % kSecondsPerDay;
  if (in_day < 0) {
    in_day += kSecondsPerDay;
    --days;
  }
  const CivilDate civil = civil_from_days(days);
  char text[64];
  std::snprintf(text, sizeof text, "%04lld%c%02u%c%02u%c%02lld:%02lld:%02lld", static_cast<long long>(civil.year), date,
                civil.month, date, civil.day, middle, static_cast<long long>(in_day / 3600),
                static_cast<long long>(in_day / 60 % 60), static_cast<long long>(in_day % 60));
  std::string out = text;
  if (part != 0) {
    std::snprintf(text, sizeof text, ".%0*lld", decimals, static_cast<long long>(part));
    std::string fraction = text;
    while (fraction.back() == '0') fraction.pop_back();
    out += fraction;
  }
  return out + std::string(zone);
}

constexpr int kIsoDecimals = 3;

}  // namespace

std::string iso_japan_time(std::string_view header_time, double seconds) {
  const std::optional<double> wall = wall_seconds(header_time);
  if (!wall || !std::isfinite(seconds)) return "";
  return wall_text(*wall + seconds, kIsoDecimals, '-', 'T', "+09:00");
}

std::string record_time_iso(const Record& record) {
  switch (record.format) {
    case Format::knet:
    case Format::kiknet: return iso_japan_time(record.metadata.record_time, -kKnetRecordDelay);
    case Format::jma_csv: return iso_japan_time(record.metadata.record_time);
    case Format::console_text: return "";
  }
  return "";
}

std::string origin_time_iso(const Metadata& metadata) { return iso_japan_time(metadata.origin_time); }

std::string header_time_of_day_number(double day_number) {
  if (!std::isfinite(day_number) || day_number < 1.0 || day_number > 2958465.0) return "";  // up to 9999-12-31
  // Day 0 is 1899-12-30; shown to the tenth of a second.
  const double seconds = static_cast<double>(days_from_civil(1899, 12, 30)) * kSecondsPerDay + day_number * kSecondsPerDay;
  return wall_text(seconds, 1, '/', ' ', "");
}

std::optional<double> hypocentral_distance_km(const Metadata& metadata) {
  if (!metadata.station_latitude || !metadata.station_longitude || !metadata.epicentre_latitude ||
      !metadata.epicentre_longitude || !metadata.epicentre_depth) {
    return std::nullopt;
  }
  // WGS84
  constexpr double a = 6378137.0;
  constexpr double f = 1.0 / 298.257223563;
  constexpr double b = a * (1.0 - f);
  constexpr double radian = 3.14159265358979323846 / 180.0;
  const double latitude1 = *metadata.station_latitude * radian;
  const double latitude2 = *metadata.epicentre_latitude * radian;
  const double L = (*metadata.epicentre_longitude - *metadata.station_longitude) * radian;
  if (std::fabs(latitude1) > 90.0 * radian || std::fabs(latitude2) > 90.0 * radian) return std::nullopt;
  const double U1 = std::atan((1.0 - f) * std::tan(latitude1));
  const double U2 = std::atan((1.0 - f) * std::tan(latitude2));
  const double sinU1 = std::sin(U1), cosU1 = std::cos(U1), sinU2 = std::sin(U2), cosU2 = std::cos(U2);
  double lambda = L;
  double sin_sigma = 0.0, cos_sigma = 1.0, sigma = 0.0, cos2_alpha = 1.0, cos_2sigma_m = 0.0;
  bool converged = false;
  for (int iteration = 0; iteration < 200 && !converged; ++iteration) {
    const double sin_lambda = std::sin(lambda), cos_lambda = std::cos(lambda);
    sin_sigma = std::hypot(cosU2 * sin_lambda, cosU1 * sinU2 - sinU1 * cosU2 * cos_lambda);
    if (sin_sigma == 0.0) {  // the same point
      sigma = 0.0;
      converged = true;
      break;
    }
    cos_sigma = sinU1 * sinU2 + cosU1 * cosU2 * cos_lambda;
    sigma = std::atan2(sin_sigma, cos_sigma);
    const double sin_alpha = cosU1 * cosU2 * sin_lambda / sin_sigma;
    cos2_alpha = 1.0 - sin_alpha * sin_alpha;
    cos_2sigma_m = cos2_alpha != 0.0 ? cos_sigma - 2.0 * sinU1 * sinU2 / cos2_alpha : 0.0;
    const double C = f / 16.0 * cos2_alpha * (4.0 + f * (4.0 - 3.0 * cos2_alpha));
    const double previous = lambda;
    lambda = L + (1.0 - C) * f * sin_alpha *
                     (sigma + C * sin_sigma * (cos_2sigma_m + C * cos_sigma * (-1.0 + 2.0 * cos_2sigma_m * cos_2sigma_m)));
    converged = std::fabs(lambda - previous) < 1e-12;
  }
  double surface_m = 0.0;
  if (sigma != 0.0) {
    if (!converged) return std::nullopt;  // nearly antipodal points: no place of an event and its station
    const double u2 = cos2_alpha * (a * a - b * b) / (b * b);
    const double A = 1.0 + u2 / 16384.0 * (4096.0 + u2 * (-768.0 + u2 * (320.0 - 175.0 * u2)));
    const double B = u2 / 1024.0 * (256.0 + u2 * (-128.0 + u2 * (74.0 - 47.0 * u2)));
    const double delta_sigma =
        B * sin_sigma *
        (cos_2sigma_m + B / 4.0 *
                            (cos_sigma * (-1.0 + 2.0 * cos_2sigma_m * cos_2sigma_m) -
                             B / 6.0 * cos_2sigma_m * (-3.0 + 4.0 * sin_sigma * sin_sigma) *
                                 (-3.0 + 4.0 * cos_2sigma_m * cos_2sigma_m)));
    surface_m = b * A * (sigma - delta_sigma);
  }
  const double surface_km = surface_m / 1000.0;
  return std::hypot(surface_km, *metadata.epicentre_depth);
}

}  // namespace readers
