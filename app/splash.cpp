#include "app/splash.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>

#include "app/version_text.h"

namespace nimbrel {

QImage makeLogoImage() {
    QImage img(97, 122, QImage::Format_RGB32);
    img.fill(QColor(224, 236, 248));
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    // Cloud of overlapping circles.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(110, 120, 140));
    p.drawEllipse(QRectF(10, 28, 40, 34));
    p.drawEllipse(QRectF(30, 14, 46, 44));
    p.drawEllipse(QRectF(52, 30, 36, 32));
    p.drawRoundedRect(QRectF(14, 42, 72, 22), 10, 10);
    // Rain streaks.
    QPen rain(QColor(40, 90, 200));
    rain.setWidth(3);
    rain.setCapStyle(Qt::RoundCap);
    p.setPen(rain);
    for (int i = 0; i < 5; ++i) {
        double x = 22 + i * 13;
        p.drawLine(QPointF(x, 72 + (i % 2) * 6), QPointF(x - 6, 92 + (i % 2) * 6));
        p.drawLine(QPointF(x + 4, 100 - (i % 2) * 4), QPointF(x - 1, 114 - (i % 2) * 4));
    }
    return img;
}

frmSplash::frmSplash(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::WindowStaysOnTopHint) {
    const WindowDesign& d = splashDesign();
    setObjectName("frmSplash");
    resize(static_cast<int>(d.clientWidth / kTwipsPerScreenPixel),
           static_cast<int>(d.clientHeight / kTwipsPerScreenPixel));
    setFont(qtFont(d.defaultFont));
    QWidget* frame = nullptr;
    for (const auto& cd : d.controls) {
        QWidget* parentWidget = cd.container.empty() ? static_cast<QWidget*>(this) : frame;
        auto* c = new Control(cd, d.defaultFont, parentWidget);
        controls_[cd.name] = c;
        if (cd.name == "Frame1") frame = c->widget();
    }
    Frame1 = control("Frame1");
    imgLogo = control("imgLogo");
    lblProductName = control("lblProductName");
    Label3 = control("Label3");
    Label6 = control("Label6");
    lblPlatform = control("lblPlatform");
    Label1 = control("Label1");
    Label4 = control("Label4");
    Label5 = control("Label5");
    lblCompany = control("lblCompany");
    lblVersion = control("lblVersion");
    static_cast<QLabel*>(imgLogo->widget())->setPixmap(QPixmap::fromImage(makeLogoImage()));
    lblProductName->widget()->raise();
    Frame1->onClick = [this] { closeSplash(); };
    Frame1->widget()->installEventFilter(Frame1);
    Timer1.setSingleShot(false);
    connect(&Timer1, &QTimer::timeout, this, [this] { Timer1_Timer(); });
}

Control* frmSplash::control(const std::string& name) const {
    auto it = controls_.find(name);
    return it == controls_.end() ? nullptr : it->second;
}

void frmSplash::showSplash() {
    if (open_) return;
    open_ = true;
    Form_Load();
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect area = screen->availableGeometry();
        move(area.center() - rect().center());
    }
    show();
}

void frmSplash::Form_Load() {
    Timer1.setInterval(7500);
    Timer1.start();
    Label6->setCaption(versionText());
    lblCompany->setCaption(kCredit);
    Label4->setCaption("位置 未設定");
    Label5->setCaption("");
}

void frmSplash::Timer1_Timer() {
    closeSplash();
}

void frmSplash::closeSplash() {
    Timer1.stop();
    open_ = false;
    hide();
}

void frmSplash::keyPressEvent(QKeyEvent* event) {
    closeSplash();
    event->accept();
}

}  // namespace nimbrel
