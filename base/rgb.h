#pragma once
// A colour as red, green and blue, 0..255 each.
namespace nimbrel {

struct Rgb {
    int r = 0;
    int g = 0;
    int b = 0;
    bool operator==(const Rgb&) const = default;
};

}  // namespace nimbrel
