#include "app/form1.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QMoveEvent>
#include <QSystemTrayIcon>
#include <cmath>

#include "app/splash.h"
#include "base/diagnostics.h"
#include "base/text_util.h"
#include "platform/busy_wait.h"
#include "settings/log_file.h"

namespace nimbrel {

namespace {

// Each designed control: its name, the member that holds it and the
// handlers its clicks and changes run, as generated window code wires them.
struct ControlSlot {
    const char* name;
    Control* Form1::*member;
    void (Form1::*click)() = nullptr;
    void (Form1::*change)() = nullptr;
};

const ControlSlot kControlSlots[] = {
    {"Label1", &Form1::Label1},
    {"Label2", &Form1::Label2},
    {"Label3", &Form1::Label3},
    {"Label4", &Form1::Label4},
    {"Label5", &Form1::Label5},
    {"Label6", &Form1::Label6},
    {"Label7", &Form1::Label7},
    {"Label8", &Form1::Label8},
    {"Label9", &Form1::Label9},
    {"Label10", &Form1::Label10},
    {"Label11", &Form1::Label11},
    {"Label12", &Form1::Label12},
    {"Label13", &Form1::Label13},
    {"Label14", &Form1::Label14, &Form1::Label14_Click},
    {"Label15", &Form1::Label15, nullptr, &Form1::Label15_Change},
    {"Label16", &Form1::Label16},
    {"Label17", &Form1::Label17},
    {"Label18", &Form1::Label18},
    {"Label19", &Form1::Label19, &Form1::Label19_Click},
    {"Check1", &Form1::Check1, &Form1::Check1_Click},
    {"Check2", &Form1::Check2, &Form1::Check2_Click},
    {"Check3", &Form1::Check3},
    {"Check4", &Form1::Check4},
    {"Check5", &Form1::Check5, &Form1::Check5_Click},
    {"Check6", &Form1::Check6, &Form1::Check6_Click},
    {"Command1", &Form1::Command1, &Form1::Command1_Click},
    {"Command2", &Form1::Command2, &Form1::Command2_Click},
    {"Command3", &Form1::Command3, &Form1::Command3_Click},
    {"Command4", &Form1::Command4, &Form1::Command4_Click},
    {"Command5", &Form1::Command5, &Form1::Command5_Click},
    {"Command6", &Form1::Command6, &Form1::Command6_Click},
    {"Command7", &Form1::Command7, &Form1::Command7_Click},
    {"Command8", &Form1::Command8, &Form1::Command8_Click},
    {"Option1", &Form1::Option1, &Form1::Option1_Click},
    {"Option2", &Form1::Option2, &Form1::Option2_Click},
    {"Option3", &Form1::Option3, &Form1::Option3_Click},
    {"Text1", &Form1::Text1},
    {"Text2", &Form1::Text2},
    {"Text3", &Form1::Text3},
    {"Text4", &Form1::Text4},
    {"Text5", &Form1::Text5},
    {"Combo1", &Form1::Combo1},
    {"Combo2", &Form1::Combo2},
    {"Image1", &Form1::Image1},
    {"Image2", &Form1::Image2},
    {"Shape1", &Form1::Shape1},
    {"lblForecast", &Form1::lblForecast},
};

}  // namespace

Form1::Form1(Platform& platform, std::string folder, DesktopOptions options, QWidget* parent)
    : QWidget(parent), desktop(std::move(options)), platform_(platform) {
    paths.programFolder = std::move(folder);
    const WindowDesign& d = form1Design();
    setObjectName("Form1");
    setFont(qtFont(d.defaultFont));
    for (const auto& cd : d.controls) controls_[cd.name] = new Control(cd, d.defaultFont, this);
    for (const ControlSlot& slot : kControlSlots) {
        Control* c = control(slot.name);
        this->*slot.member = c;
        // A handler runs only while the program goes on.
        if (slot.click)
            c->onClick = [this, h = slot.click] { runHandler([this, h] { (this->*h)(); }); };
        if (slot.change)
            c->onChange = [this, h = slot.change] { runHandler([this, h] { (this->*h)(); }); };
    }

    // Option2 is the selected view in the design; selecting it here must not
    // run its handler yet.
    Option2->widget()->blockSignals(true);
    static_cast<QAbstractButton*>(Option2->widget())->setChecked(true);
    Option2->widget()->blockSignals(false);
    // Labels and pictures are drawn on the window's background, beneath the
    // buttons, boxes and lists; pictures lie lowest and the marker just over
    // them, beneath the text picture that the standard view lays on top.
    for (const auto& cd : d.controls)
        if (cd.kind == ControlKind::Label) control(cd.name)->widget()->lower();
    Image1->widget()->lower();
    Image2->widget()->lower();
    Shape1->widget()->stackUnder(Text1->widget());
    // Check marks as small as the design's boxes leave room for captions.
    setStyleSheet(
        "QCheckBox { spacing: 2px; } QRadioButton { spacing: 2px; }"
        "QCheckBox::indicator, QRadioButton::indicator { width: 11px; height: 11px; }");

    connect(&Timer1, &QTimer::timeout, this, [this] { runHandler([this] { Timer1_Timer(); }); });
    // While a download or a pause holds the program, only the exit runs and
    // the ticks that fall due are missed.
    Command2->widget()->setProperty(kPassWhileBusy, true);
    Timer1.setProperty(kHoldWhileBusy, true);
    // Six ticks are 58.5 s; a coarse timer would stretch each by up to 5 %.
    Timer1.setTimerType(Qt::PreciseTimer);

    caption_ = d.caption;
    setWindowTitle(QString::fromStdString(caption_));
    left_ = 0;
    top_ = 0;
    width_ = d.clientWidth + kNominalFrameWidthTwips;
    height_ = d.clientHeight + kNominalFrameHeightTwips;
    applyWindowGeometry();

    splash_ = std::make_unique<frmSplash>();
}

Form1::~Form1() = default;

Control* Form1::control(const std::string& name) const {
    auto it = controls_.find(name);
    return it == controls_.end() ? nullptr : it->second;
}

void Form1::setLeft(double v) {
    left_ = v;
    applyWindowGeometry();
}
void Form1::setTop(double v) {
    top_ = v;
    applyWindowGeometry();
}
void Form1::setWidth(double v) {
    width_ = v;
    applyWindowGeometry();
}
void Form1::setHeight(double v) {
    height_ = v;
    applyWindowGeometry();
}

void Form1::applyWindowGeometry() {
    // Sizes are outer sizes; the client area is what remains inside the
    // frame the window system draws, or the nominal frame where it draws none.
    double frameW = kNominalFrameWidthTwips;
    double frameH = kNominalFrameHeightTwips;
    if (isVisible()) {
        QRect outer = frameGeometry();
        QRect inner = geometry();
        // A frame without a caption bar (the offscreen platform draws a thin
        // border only) counts as none.
        if (outer.height() - inner.height() >= 15) {
            frameW = (outer.width() - inner.width()) * kTwipsPerScreenPixel;
            frameH = (outer.height() - inner.height()) * kTwipsPerScreenPixel;
        }
    }
    int w = std::max(1, static_cast<int>(std::lround((width_ - frameW) / kTwipsPerScreenPixel)));
    int h = std::max(1, static_cast<int>(std::lround((height_ - frameH) / kTwipsPerScreenPixel)));
    applyingGeometry_ = true;
    move(static_cast<int>(std::lround(left_ / kTwipsPerScreenPixel)),
         static_cast<int>(std::lround(top_ / kTwipsPerScreenPixel)));
    // Each view has a fixed size, so the user cannot resize the window.
    setFixedSize(w, h);
    applyingGeometry_ = false;
}

void Form1::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    // The user dragged the window: its position is what the program reads.
    if (!applyingGeometry_ && isVisible()) {
        QPoint p = frameGeometry().topLeft();
        double l = p.x() * kTwipsPerScreenPixel;
        double t = p.y() * kTwipsPerScreenPixel;
        if (std::lround(l / kTwipsPerScreenPixel) != std::lround(left_ / kTwipsPerScreenPixel))
            left_ = l;
        if (std::lround(t / kTwipsPerScreenPixel) != std::lround(top_ / kTwipsPerScreenPixel))
            top_ = t;
    }
}

void Form1::setCaption(const std::string& text) {
    caption_ = text;
    setWindowTitle(QString::fromStdString(text));
}

void Form1::setMousePointer(int pointer) {
    mousePointer_ = pointer;
    if (pointer == 11)
        setCursor(Qt::WaitCursor);
    else
        unsetCursor();
}

void Form1::endProgram() {
    ended_ = true;
    Timer1.stop();
    platform_.endWaits();
    if (splash_) splash_->closeSplash();
    hide();
    QCoreApplication::exit(0);
}

void Form1::closeEvent(QCloseEvent* event) {
    // Only into a tray that is there: without one the window could not be
    // had back.
    if (desktop.closeToTray && !ended_ && QSystemTrayIcon::isSystemTrayAvailable()) {
        // The user chose to keep the program in the tray.
        event->ignore();
        hide();
        return;
    }
    if (!ended_) endProgram();
    QWidget::closeEvent(event);
}

void Form1::endOnSignal() {
    if (!ended_) endProgram();
}

void Form1::runHandler(const std::function<void()>& handler) {
    if (!ended_) handler();
}

bool Form1::letEventsRun() {
    platform_.doEvents();
    return !ended_;
}

bool Form1::wait(int ms) {
    platform_.sleepMs(ms);
    return !ended_;
}

bool Form1::tell(const std::string& text, const std::string& title) {
    platform_.messageBox(text, title, MsgButtons::Ok);
    return !ended_;
}

std::optional<MsgAnswer> Form1::ask(const std::string& text, const std::string& title) {
    const MsgAnswer answer = platform_.messageBox(text, title, MsgButtons::OkCancel);
    if (ended_) return std::nullopt;
    return answer;
}

void Form1::appendLog(const std::string& line) {
    // A record for the user only: a log that cannot be written is skipped.
    diagnoseFailure(paths.logFilePath, appendLogLine(paths.logFilePath, line));
}

void Form1::prependHistoryLine(const std::string& line) {
    Text4->setText(line + kCrLf + Text4->text());
}

void Form1::Label15_Change() {
    Label16->setCaption(Label15->caption());
}

}  // namespace nimbrel

namespace nimbrel {

double Form1::latitude() const {
    return leadingNumber(Label3->caption());
}
double Form1::longitude() const {
    return leadingNumber(Label4->caption());
}

bool Form1::applyChanges(const ViewChanges& changes) {
    for (const ControlChange& c : changes) {
        Control* target = control(c.control);
        switch (c.property) {
            case ControlProperty::Left:
                target->setLeft(c.number);
                break;
            case ControlProperty::Top:
                target->setTop(c.number);
                break;
            case ControlProperty::Width:
                target->setWidth(c.number);
                break;
            case ControlProperty::Height:
                target->setHeight(c.number);
                break;
            case ControlProperty::Visible:
                target->setVisible(c.number != 0);
                break;
            case ControlProperty::Enabled:
                target->setEnabled(c.number != 0);
                break;
            case ControlProperty::Caption:
                target->setCaption(c.text);
                break;
            case ControlProperty::FontSize:
                target->setFontSize(c.number);
                break;
            case ControlProperty::Value:
                target->setValue(static_cast<int>(c.number));
                if (ended_) return false;
                break;
        }
    }
    return true;
}

void Form1::rightAnchorOnScreen(double newWidth, double keepOnScreen) {
    // The right edge stays where it is, but at least keepOnScreen twips of
    // the window stay on the screen.
    if (Check4->value() != 1) return;
    double left = Left() + Width() - newWidth;
    const double limit = platform_.screenSizeTwips().width - keepOnScreen;
    if (limit < left) left = limit;
    setLeft(left);
}

void Form1::rightAnchorTo(double newWidth) {
    // Keeps the right edge in place when the width changes.
    if (Check4->value() == 1) setLeft(Left() + Width() - newWidth);
}

}  // namespace nimbrel
