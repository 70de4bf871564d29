// Arbitrary bytes as toshi.ini, listed for one region.
#include <cstddef>
#include <cstdint>
#include <string>

#include "base/text_util.h"
#include "fuzz_support.h"
#include "settings/region_table.h"

using namespace nimbrel;
using namespace nimbrel::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = scratchFile("toshi.ini");
    // The region of the capital, in arc-seconds.
    static const RegionBounds bounds{496320, 509520, 134280, 124200};

    writeFile(path, data, size);
    const CityList list = readCities(path, bounds);
    FUZZ_CHECK(list.cities.size() <= kMaxCities, "more cities than Combo2 holds");
    FUZZ_CHECK(list.combo2Items.size() == list.cities.size(), "items and cities differ");
    FUZZ_CHECK(list.citiesBeyondLimit == 0 || list.cities.size() == kMaxCities,
               "cities beyond the limit while the list has room");
    FUZZ_CHECK(list.citiesBeyondLimit == 0 || list.error != CityListError::None,
               "cities beyond the limit without a reason");
    FUZZ_CHECK(list.error != CityListError::CannotOpen && list.error != CityListError::TooLarge,
               "an existing small file refused");
    for (size_t i = 0; i < list.cities.size(); ++i) {
        const City& city = list.cities[i];
        const double lat = leadingNumber(city.latitude) * 3600;
        const double lon = leadingNumber(city.longitude) * 3600;
        FUZZ_CHECK(
            lat > bounds.south && lat < bounds.north && lon > bounds.west && lon < bounds.east,
            "a city outside the region listed");
        FUZZ_CHECK(list.combo2Items[i] == strNumber(static_cast<double>(i + 1)) + ":" + city.name,
                   "item text");
    }
    checkOnlyThese({"toshi.ini"});
    return 0;
}
