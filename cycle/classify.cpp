#include "cycle/classify.h"

#include <initializer_list>

#include "base/text_util.h"

namespace nimbrel {

namespace {

constexpr const char* kClassWords[4] = {"弱い雨", "雨", "強い雨", "激しい雨"};

// Band tested for each level, nearest last so that it wins.
constexpr struct {
    int band;
    int level;
    const char* word;
} kSteps[] = {{kBandFar, 1, " 注意"}, {kBandNear, 2, " 接近中"}, {kBandLocation, 3, " 降雨"}};

long long classSum(const Counts& counts, int cls, std::initializer_list<int> bands) {
    long long n = 0;
    for (int band : bands)
        for (int index = kClassIndices[cls].first; index <= kClassIndices[cls].last; ++index)
            n += counts[band][index];
    return n;
}

void clearClass(ClassRecords& classes, int cls) {
    classes[cls] = ClassRecord{};
}

// A stronger class that was just placed at a level makes a weaker one
// redundant: rain hides light rain no farther away, and heavy or intense rain
// hides the nearest of the weaker two.
void applyClearing(ClassRecords& c, int cls, int level) {
    if (cls == kLight) return;
    if (cls == kRain) {
        if (level == 3 || (level == 2 && c[kLight].level <= 2) ||
            (level == 1 && c[kLight].level == 1))
            clearClass(c, kLight);
        return;
    }
    switch (level) {
        case 1:
            if (c[kRain].level == 1)
                clearClass(c, kRain);
            else if (c[kLight].level == 1)
                clearClass(c, kLight);
            break;
        case 2:
            if (c[kRain].level <= 2)
                clearClass(c, kRain);
            else if (c[kLight].level <= 2)
                clearClass(c, kLight);
            break;
        case 3:
            clearClass(c, kRain);
            clearClass(c, kLight);
            break;
    }
}

bool contains(const std::string& text, const char* part) {
    return text.find(part) != std::string::npos;
}

}  // namespace

ClassRecords classifyRain(const Counts& counts, const Counts& prevCounts) {
    ClassRecords classes;
    for (int cls = kLight; cls <= kIntense; ++cls) {
        for (const auto& step : kSteps) {
            if (classSum(counts, cls, {step.band}) > 0) {
                classes[cls].message = std::string(kClassWords[cls]) + step.word;
                classes[cls].level = step.level;
                applyClearing(classes, cls, step.level);
            }
        }
    }
    for (int cls : {kHeavy, kRain, kLight}) {
        long long now = classSum(counts, cls, {kBandFar, kBandNear});
        long long before = classSum(prevCounts, cls, {kBandFar, kBandNear});
        if (now - before > 50) classes[cls].message += kRisingMark;
    }
    return classes;
}

Levels levelsOf(const ClassRecords& classes) {
    return {classes[kLight].level, classes[kRain].level, classes[kHeavy].level,
            classes[kIntense].level};
}

const char* className(int cls) {
    return cls >= kLight && cls <= kIntense ? kClassWords[cls] : "";
}

Levels strengthLevels(const Counts& counts) {
    Levels levels{};
    for (int cls = kLight; cls <= kIntense; ++cls)
        for (const auto& step : kSteps)
            for (int stronger = cls; stronger <= kIntense; ++stronger)
                if (classSum(counts, stronger, {step.band}) > 0) levels[cls] = step.level;
    return levels;
}

StatusLines statusLines(const ClassRecords& classes, const std::string& clockNote) {
    StatusLines out;
    if (classes[kLight].level + classes[kRain].level + classes[kHeavy].level == 0) {
        out.caption = "　近隣降雨なし";
        out.bold = false;
    } else {
        out.caption = classes[kLight].message + kCrLf + classes[kRain].message + kCrLf +
                      classes[kHeavy].message;
        out.bold = true;
    }
    if (!clockNote.empty()) out.caption += kCrLf + clockNote;
    return out;
}

std::string headline(const ClassRecords& classes) {
    std::string line = classes[kLight].message;
    for (int cls : {kRain, kHeavy, kIntense}) {
        if (classes[cls].message.empty()) continue;
        line = classes[cls].message;
        bool weakerRaining = false;
        for (int weaker = kLight; weaker < cls; ++weaker)
            weakerRaining = weakerRaining || contains(classes[weaker].message, "降雨");
        if (weakerRaining && !contains(line, "降雨")) line += " 降雨中";
    }
    return line;
}

std::string coverageNote(const Counts& counts) {
    long long atLocation = counts[kBandLocation][2];
    long long near = counts[kBandNear][2];
    if (atLocation > 1 || atLocation + 2 * near > 100)
        return std::string(kCrLf) + "一部 Radar Area 外";
    return "";
}

StatusColor statusColor(const Levels& levels) {
    StatusColor color = StatusColor::ButtonFace;
    if (levels[kLight] > 0) color = StatusColor::LightYellow;
    if (levels[kLight] == 3 || levels[kRain] > 0) color = StatusColor::LightOrange;
    if (levels[kHeavy] > 0 || levels[kIntense] > 0) color = StatusColor::LightRed;
    return color;
}

std::optional<Rgb> statusRgb(StatusColor color) {
    switch (color) {
        case StatusColor::ButtonFace:
            return std::nullopt;
        case StatusColor::LightYellow:
            return Rgb{255, 255, 192};
        case StatusColor::LightOrange:
            return Rgb{255, 192, 128};
        case StatusColor::LightRed:
            return Rgb{255, 128, 128};
    }
    return std::nullopt;
}

SoundKind chooseSound(const Levels& p, const Levels& now, int soundLevel) {
    if (soundLevel != 0 && soundLevel != 1) return SoundKind::None;
    SoundKind kind = SoundKind::None;
    if (p[kLight] + p[kRain] + p[kHeavy] == 0 && now[kLight] > 0) kind = SoundKind::Ring;
    if (p[kLight] + p[kRain] + p[kHeavy] < 2 && now[kLight] == 3) kind = SoundKind::Rain;
    if (p[kRain] + p[kHeavy] == 0 && (now[kRain] > 0 || now[kHeavy] == 1)) kind = SoundKind::Rain;
    if (p[kHeavy] < 2 && now[kHeavy] > 1) kind = SoundKind::Heavy;
    if (now[kIntense] > 0) kind = SoundKind::Heavy;
    return kind;
}

const char* soundLevelCaption(int soundLevel) {
    static constexpr const char* kCaptions[3] = {"警告音大", "警告音小", "警告音無"};
    return soundLevel >= 0 && soundLevel <= 2 ? kCaptions[soundLevel] : nullptr;
}

}  // namespace nimbrel
