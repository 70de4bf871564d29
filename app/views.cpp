// The three views of the large area: the text picture, the small radar view
// and the detail view, their composites and the location marker.
#include "app/form1.h"
#include "base/diagnostics.h"
#include "imaging/composite.h"
#include "imaging/marker.h"
#include "imaging/png_to_bmp.h"
#include "settings/program_files.h"

namespace nimbrel {

namespace {

void showIfEnlarged(Form1& f, Control* picture) {
    if (f.Check1->value() == 1) {
        picture->setVisible(true);
        picture->refresh();
    }
}

}  // namespace

ViewParams Form1::viewParams(bool small) const {
    ViewParams v;
    v.latitude = latitude();
    v.longitude = longitude();
    v.west = west();
    v.north = north();
    v.scaleX = small ? area.smallScaleX : area.detailScaleX;
    v.scaleY = small ? area.smallScaleY : area.detailScaleY;
    return v;
}

void Form1::reportImaging(const CompositeResult& result, Control* picture,
                          const std::string& file) {
    // A picture that cannot be built leaves the previous one in place; the
    // reason is shown as the picture's tooltip.
    if (result.ok()) {
        // The file is written for anyone who looks at it; the window shows
        // the pixels still in memory rather than reading them back.
        if (const CompositePicture* p = result.picture)
            picture->showPicture(p->pixels.data(), p->width, p->height, p->stride);
        else
            picture->loadPicture(file);
        picture->widget()->setToolTip(QString());
        return;
    }
    diagnose(file, result.reasonText());
    picture->widget()->setToolTip(
        QString::fromStdString("地図を表示できません: " + result.shownReason()));
}

void Form1::drawdetail() {
    const std::string out = paths.programFolder + files::kPicture;
    CompositeResult r =
        composeDetail(paths.programFolder + files::kDetailBitmap,
                      paths.programFolder + files::kDetailBaseBitmap, out, viewParams(false));
    reportImaging(r, Image2, out);
    if (r.ok()) showIfEnlarged(*this, Image2);
    Shape1->setVisible(false);
}

bool Form1::drawsmall(const std::string& radarPng, int16_t tintRow) {
    // The cycle's fetch may have converted this very download already.
    if (smallBitmapFrom_.empty() || smallBitmapFrom_ != radarPng)
        imgtobmp(paths.programFolder + files::kTopBitmap, radarPng);
    smallBitmapFrom_.clear();
    if (!letEventsRun()) return false;
    if (tintRow < 0 || tintRow > 5) tintRow = 0;
    Tint tint{history.tintOffsets[tintRow][0], history.tintOffsets[tintRow][1],
              history.tintOffsets[tintRow][2]};
    const std::string out = paths.programFolder + files::kPicture;
    CompositeResult r =
        composeSmall(paths.programFolder + files::kTopBitmap,
                     paths.programFolder + files::kSmallBaseBitmap, out, viewParams(true), tint);
    reportImaging(r, Image2, out);
    if (r.ok()) showIfEnlarged(*this, Image2);
    return true;
}

void Form1::drawbase() {
    const std::string out = paths.programFolder + files::kPicture;
    CompositeResult r =
        composeBase(paths.programFolder + files::kSmallBaseBitmap, out, viewParams(true));
    reportImaging(r, Image1, out);
    if (r.ok()) showIfEnlarged(*this, Image1);
}

void Form1::placeMarker(bool base) {
    MarkerInput in;
    in.view = viewParams(true);
    in.east = east();
    in.south = south();
    in.imageWidth = static_cast<int>(area.regions.regionWidthPx[area.currentRegion][0]);
    in.imageHeight = static_cast<int>(area.regions.regionHeightPx[area.currentRegion][0]);
    in.limits = base ? kBaseViewLimits : kSmallViewLimits;
    in.imageLeft = Image1->left();
    in.imageTop = Image1->top();
    MarkerPlacement m = markerPlacement(in);
    if (!m.visible) {
        Shape1->setVisible(false);
        return;
    }
    Shape1->setLeft(m.left);
    Shape1->setTop(m.top);
    Shape1->setWidth(m.width);
    Shape1->setHeight(m.height);
    Shape1->setVisible(true);
}

void Form1::markbase() {
    placeMarker(true);
}
void Form1::marksmall() {
    placeMarker(false);
}

void Form1::Option1_Click() {
    widenForViews();
    Text1->setVisible(true);
    Image1->setVisible(false);
    Image2->setVisible(false);
    setMousePointer(0);
    Command4->setVisible(false);
}

void Form1::Option2_Click() {
    widenForViews();
    Text1->setVisible(false);
    if (!drawsmall(history.historyFiles[0], 0)) return;
    marksmall();
    setMousePointer(0);
    if (history.historyTimes[2] != 0) Command4->setVisible(true);
}

void Form1::Option3_Click() {
    widenForViews();
    Text1->setVisible(false);
    drawdetail();
    setMousePointer(0);
    Command4->setVisible(false);
}

void Form1::widenForViews() {
    setMousePointer(11);
    rightAnchorTo(12980);
    setWidth(12980);
    setHeight(10149);
    Command2->setLeft(1900);
}

}  // namespace nimbrel
