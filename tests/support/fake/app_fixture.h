#pragma once
// A program folder with a small region table, base maps already on disk and
// a fake platform, for window tests. Region 6 holds Tokyo (35.6895 N,
// 139.6917 E); its detail map is 400 x 300 pixels and its small map
// 200 x 150. Radar images for any minute can be served from memory.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/form1.h"
#include "support/fake/fake_platform.h"
#include "support/recorded_diagnostics.h"
#include "support/settings_text.h"
#include "support/temp_dir.h"

namespace nimbrel {

struct TestRegion {
    std::string key;
    std::string name;
    int smallW, smallH, detailW, detailH;
    double westDeg, eastDeg, northDeg, southDeg;
};

// The eleven regions of the test table.
std::vector<TestRegion> testRegions();
// area_map.ini text for the given regions.
std::string areaMapText(const std::vector<TestRegion>& regions);

// The full view's size and the places of Command2 (but its top), Check1 and
// Label2, in twips.
void expectFullViewFrame(Form1& form);

class AppFixture : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Writes area_map.ini, toshi.ini and both base maps of every region.
    void writeProgramFiles();
    void writeSettingsFile(const std::string& bytes);
    // Creates Form1 and runs its start-up.
    void start();
    // Writes the settings, starts with a quiet first cycle and moves the
    // clock past the throttle.
    void startQuietAt(const std::string& settings);

    std::string file(const std::string& name) const { return dir.file(name); }
    // The addresses fetched into the program folder: the images of the
    // cycles and the base maps, not the past images the forecast keeps in
    // memory.
    std::vector<std::string> folderDownloads() const {
        // Tests clear the addresses between steps; the files then hold more
        // entries, the last ones matching.
        std::vector<std::string> out;
        const auto& urls = platform.downloadedUrls;
        const auto& files = platform.downloadedFiles;
        const size_t skip = files.size() - urls.size();
        for (size_t i = 0; i < urls.size(); ++i)
            if (files[skip + i].rfind(folder(), 0) == 0) out.push_back(urls[i]);
        return out;
    }
    std::string folder() const { return dir.folder(); }

    // A radar image of the region's detail (or small) size, class 0
    // everywhere except where pixel(x, yFromTop) gives otherwise.
    std::string radarPng(int region, bool detail,
                         const std::function<int(int x, int y)>& pixel) const;
    // Serves the same detail and top image for every address of the region
    // (whatever minute the cycle asks for).
    void serveRadar(int region, const std::function<int(int x, int y)>& detailPixel,
                    const std::function<int(int x, int y)>& topPixel = nullptr);
    // The location's pixel in region 6's detail image.
    int tokyoPx() const;
    int tokyoPy() const;

    TempDir dir;
    FakePlatform platform;
    RecordedDiagnostics diagnostics;
    std::unique_ptr<Form1> form;
    std::vector<TestRegion> regions = testRegions();
};

}  // namespace nimbrel
