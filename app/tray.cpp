#include "app/tray.h"

#include <QPainter>
#include <QPainterPath>

namespace nimbrel {

namespace {

// The cloud and drops of data/nimbrel.svg, in its 64-unit square.
QPainterPath cloudPath() {
    QPainterPath p;
    p.moveTo(16, 40);
    p.cubicTo(7, 40, 5, 29, 13, 26);
    p.cubicTo(12, 16, 25, 12, 30, 19);
    p.cubicTo(34, 9, 50, 11, 50, 23);
    p.cubicTo(59, 23, 61, 40, 50, 40);
    p.closeSubpath();
    return p;
}

}  // namespace

QPixmap trayPixmap(const Rgb& color, int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 64.0, size / 64.0);
    painter.setPen(QPen(QColor(0x2f, 0x3b, 0x4c), 3.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(QColor(color.r, color.g, color.b));
    painter.drawPath(cloudPath());
    painter.setPen(QPen(QColor(0x2f, 0x6f, 0xd6), 4.5, Qt::SolidLine, Qt::RoundCap));
    for (int x : {20, 32, 44}) painter.drawLine(QPointF(x, 46), QPointF(x - 4, 56));
    return pixmap;
}

RainTray::RainTray(TrayCallbacks callbacks, const OwnSettings& settings)
    : callbacks_(std::move(callbacks)) {
    auto call = [](const std::function<void()>& f) {
        return [&f] {
            if (f) f();
        };
    };
    auto callFlag = [](const std::function<void(bool)>& f) {
        return [&f](bool on) {
            if (f) f(on);
        };
    };
    toggle_ = menu_.addAction(QStringLiteral("表示/隠す"));
    QObject::connect(toggle_, &QAction::triggered, call(callbacks_.toggleWindow));
    update_ = menu_.addAction(QStringLiteral("手動更新"));
    QObject::connect(update_, &QAction::triggered, call(callbacks_.manualUpdate));
    menu_.addSeparator();
    notifications_ = menu_.addAction(QStringLiteral("通知"));
    notifications_->setCheckable(true);
    notifications_->setChecked(settings.notifications);
    QObject::connect(notifications_, &QAction::toggled, callFlag(callbacks_.setNotifications));
    keepInTray_ = menu_.addAction(QStringLiteral("閉じてもトレイに残す"));
    keepInTray_->setCheckable(true);
    keepInTray_->setChecked(settings.keepInTray);
    QObject::connect(keepInTray_, &QAction::toggled, callFlag(callbacks_.setKeepInTray));
    menu_.addSeparator();
    quit_ = menu_.addAction(QStringLiteral("終了"));
    QObject::connect(quit_, &QAction::triggered, call(callbacks_.quit));

    icon_.setContextMenu(&menu_);
    // A plain click shows or hides the window, as on most desktops.
    QObject::connect(&icon_, &QSystemTrayIcon::activated,
                     [this](QSystemTrayIcon::ActivationReason reason) {
                         if (reason == QSystemTrayIcon::Trigger && callbacks_.toggleWindow)
                             callbacks_.toggleWindow();
                     });
    update(trayLook("", std::nullopt, ""));
}

RainTray::~RainTray() {
    icon_.hide();
}

void RainTray::update(const TrayLook& look) {
    if (look == look_ && !icon_.icon().isNull()) return;
    look_ = look;
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64}) icon.addPixmap(trayPixmap(look.color, size));
    icon_.setIcon(icon);
    icon_.setToolTip(QString::fromStdString(look.tooltip));
}

}  // namespace nimbrel
