#pragma once
// The program folder and the local radar service as a user gets them: the
// delivered region and city tables, and a service over those regions.
#include <memory>

#include "service/radar_service.h"
#include "support/temp_dir.h"

namespace nimbrel {

// Copies the delivered area_map.ini and toshi.ini into the folder.
void copyDeliveredTables(const TempDir& dir);

// A radar service over the delivered regions that publishes each minute's
// images at once (the program's clock is the fake one). Null, with a test
// failure added, when the delivered table cannot be read.
std::unique_ptr<RadarService> deliveredRadarService(ServiceOptions options = {});

}  // namespace nimbrel
