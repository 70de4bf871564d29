#include "app/form1.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QMoveEvent>
#include <cmath>

#include "app/splash.h"
#include "base/diagnostics.h"
#include "base/text_util.h"
#include "platform/busy_wait.h"
#include "settings/log_file.h"

namespace nimbrel {

Form1::Form1(Platform& platform, std::string folder, DesktopOptions options, QWidget* parent)
    : QWidget(parent),
      programFolder(std::move(folder)),
      desktop(std::move(options)),
      platform_(platform) {
    const WindowDesign& d = form1Design();
    setObjectName("Form1");
    setFont(qtFont(d.defaultFont));
    for (const auto& cd : d.controls) controls_[cd.name] = new Control(cd, d.defaultFont, this);
    auto c = [this](const char* n) { return control(n); };
    Label1 = c("Label1");
    Label2 = c("Label2");
    Label3 = c("Label3");
    Label4 = c("Label4");
    Label5 = c("Label5");
    Label6 = c("Label6");
    Label7 = c("Label7");
    Label8 = c("Label8");
    Label9 = c("Label9");
    Label10 = c("Label10");
    Label11 = c("Label11");
    Label12 = c("Label12");
    Label13 = c("Label13");
    Label14 = c("Label14");
    Label15 = c("Label15");
    Label16 = c("Label16");
    Label17 = c("Label17");
    Label18 = c("Label18");
    Label19 = c("Label19");
    Check1 = c("Check1");
    Check2 = c("Check2");
    Check3 = c("Check3");
    Check4 = c("Check4");
    Check5 = c("Check5");
    Check6 = c("Check6");
    Command1 = c("Command1");
    Command2 = c("Command2");
    Command3 = c("Command3");
    Command4 = c("Command4");
    Command5 = c("Command5");
    Command6 = c("Command6");
    Command7 = c("Command7");
    Command8 = c("Command8");
    Option1 = c("Option1");
    Option2 = c("Option2");
    Option3 = c("Option3");
    Text1 = c("Text1");
    Text2 = c("Text2");
    Text3 = c("Text3");
    Text4 = c("Text4");
    Text5 = c("Text5");
    Combo1 = c("Combo1");
    Combo2 = c("Combo2");
    Image1 = c("Image1");
    Image2 = c("Image2");
    Shape1 = c("Shape1");
    lblForecast = c("lblForecast");

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

    Command1->onClick = [this] { runHandler([this] { Command1_Click(); }); };
    Command2->onClick = [this] { runHandler([this] { Command2_Click(); }); };
    Command3->onClick = [this] { runHandler([this] { Command3_Click(); }); };
    Command4->onClick = [this] { runHandler([this] { Command4_Click(); }); };
    Command5->onClick = [this] { runHandler([this] { Command5_Click(); }); };
    Command6->onClick = [this] { runHandler([this] { Command6_Click(); }); };
    Command7->onClick = [this] { runHandler([this] { Command7_Click(); }); };
    Command8->onClick = [this] { runHandler([this] { Command8_Click(); }); };
    Check1->onClick = [this] { runHandler([this] { Check1_Click(); }); };
    Check2->onClick = [this] { runHandler([this] { Check2_Click(); }); };
    Check5->onClick = [this] { runHandler([this] { Check5_Click(); }); };
    Check6->onClick = [this] { runHandler([this] { Check6_Click(); }); };
    Option1->onClick = [this] { runHandler([this] { Option1_Click(); }); };
    Option2->onClick = [this] { runHandler([this] { Option2_Click(); }); };
    Option3->onClick = [this] { runHandler([this] { Option3_Click(); }); };
    Label14->onClick = [this] { runHandler([this] { Label14_Click(); }); };
    Label19->onClick = [this] { runHandler([this] { Label19_Click(); }); };
    Label15->onChange = [this] { runHandler([this] { Label15_Change(); }); };

    connect(&Timer1, &QTimer::timeout, this, [this] { runHandler([this] { Timer1_Timer(); }); });
    // While a download or a pause holds the program, only the exit runs and
    // the ticks that fall due are missed.
    Command2->widget()->setProperty(kPassWhileBusy, true);
    Timer1.setProperty(kHoldWhileBusy, true);

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
    if (desktop.closeToTray && !ended_) {
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
    const LogWriteResult r = appendLogLine(logFilePath, line);
    if (!r.ok()) diagnose(logFilePath, r.reasonText());
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
