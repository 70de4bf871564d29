#include <cmath>
#include <cstdio>
#include <nlohmann/json.hpp>

#include "forecast/forecast.h"

namespace nimbrel {

namespace {

std::string minutesRange(const StrengthForecast& s) {
    const std::string a = std::to_string(*s.earliest);
    if (!s.latest) return "(" + a + "分〜)";
    if (*s.latest == *s.earliest) return "(" + a + "分)";
    return "(" + a + "〜" + std::to_string(*s.latest) + "分)";
}

}  // namespace

const char* strengthName(int strength) {
    return className(strength);
}

std::string forecastLabelText(const Forecast& f) {
    switch (f.gap) {
        case ForecastGap::TooFewFrames:
            return "予測なし: 画像が足りません";
        case ForecastGap::NoRain:
            return "予測なし: 近くに雨がありません";
        case ForecastGap::BadFrames:
            return "予測なし: 画像を読めません";
        case ForecastGap::NoMotion:
            return "予測なし: 雨の動きが分かりません";
        case ForecastGap::None:
            break;
    }
    // The strongest rain falling now, then the strongest still to come; a
    // stronger strength says more than a weaker one at the same place.
    int now = -1, coming = -1, passing = -1;
    for (int k = 0; k < kStrengths; ++k) {
        const StrengthForecast& s = f.strengths[k];
        if (s.level == 3)
            now = k;
        else if (s.arrival)
            coming = k;
        else if (s.passingBy)
            passing = k;
    }
    std::string text;
    if (now >= 0) text = std::string(strengthName(now)) + " 降雨中";
    if (coming >= 0) {
        const StrengthForecast& s = f.strengths[coming];
        if (!text.empty()) text += "、";
        text += std::string(strengthName(coming)) + " 約" + std::to_string(*s.arrival) + "分後 " +
                minutesRange(s);
    } else if (passing > now) {
        if (!text.empty()) text += "、";
        text += std::string(strengthName(passing)) + " 通過見込み";
    }
    if (text.empty()) text = std::to_string(kForecastHorizon) + "分以内に雨の見込みなし";
    return text;
}

std::string statusJson(const StatusSnapshot& s) {
    char time[32];
    std::snprintf(time, sizeof time, "%04d-%02d-%02dT%02d:%02d", s.imageTime.year,
                  s.imageTime.month, s.imageTime.day, s.imageTime.hour, s.imageTime.minute);
    char colour[8];
    std::snprintf(colour, sizeof colour, "#%02X%02X%02X", s.statusColour.r, s.statusColour.g,
                  s.statusColour.b);
    nlohmann::ordered_json classes = nlohmann::ordered_json::array();
    const bool forecast = s.forecast.gap == ForecastGap::None;
    for (int k = 0; k < kStrengths; ++k) {
        const StrengthForecast& c = s.forecast.strengths[k];
        const int level = s.levels[k];
        // Rain at the place now has arrived, forecast or not.
        auto minutes = [&](const std::optional<int>& m) {
            if (level == 3) return nlohmann::ordered_json(0);
            return m && forecast ? nlohmann::ordered_json(*m) : nlohmann::ordered_json(nullptr);
        };
        classes.push_back({{"name", strengthName(k)},
                           {"level", level},
                           {"arrival_min", minutes(c.arrival)},
                           {"arrival_earliest_min", minutes(c.earliest)},
                           {"arrival_latest_min", minutes(c.latest)},
                           {"passing_by", forecast && c.passingBy}});
    }
    nlohmann::ordered_json doc = {
        {"image_time", time},
        {"region", s.region},
        // Not-a-number coordinates would make the document unreadable.
        {"lat", std::isfinite(s.lat) ? nlohmann::ordered_json(s.lat) : nullptr},
        {"lon", std::isfinite(s.lon) ? nlohmann::ordered_json(s.lon) : nullptr},
        {"headline", s.headline},
        {"status_text", s.statusText},
        {"status_colour", colour},
        {"classes", classes},
        {"forecast_note", forecastLabelText(s.forecast)},
    };
    // Texts that are not UTF-8 are replaced rather than refused.
    return doc.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

}  // namespace nimbrel
