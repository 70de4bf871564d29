#include "support/fake/delivered_service.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "service/service_regions.h"

namespace nimbrel {

namespace {

std::string deliveredFile(const std::string& name) {
    return std::string(NIMBREL_SOURCE_DIR) + "/data/" + name;
}

}  // namespace

void copyDeliveredTables(const TempDir& dir) {
    for (const char* f : {"area_map.ini", "toshi.ini"})
        std::filesystem::copy_file(deliveredFile(f), dir.file(f));
}

std::unique_ptr<RadarService> deliveredRadarService(ServiceOptions options) {
    ServiceRegionsResult regions = loadServiceRegions(deliveredFile("area_map.ini"));
    if (regions.error != ServiceRegionsError::None) {
        ADD_FAILURE() << "the delivered area_map.ini cannot be read";
        return nullptr;
    }
    options.noDelay = true;
    return std::make_unique<RadarService>(regions.regions, options);
}

}  // namespace nimbrel
