#pragma once
// The splash window shown during start-up. It closes itself after 7500 ms,
// on a key press or on a click on its frame.
#include <QTimer>
#include <QWidget>
#include <map>
#include <string>

#include "app/controls.h"

namespace nimbrel {

class frmSplash : public QWidget {
    Q_OBJECT
  public:
    explicit frmSplash(QWidget* parent = nullptr);

    Control* Frame1;
    Control* imgLogo;
    Control* lblProductName;
    Control* Label3;
    Control* Label6;
    Control* lblPlatform;
    Control* Label1;
    Control* Label4;
    Control* Label5;
    Control* lblCompany;
    Control* lblVersion;
    QTimer Timer1;

    Control* control(const std::string& name) const;

    // Shows the splash; when it is already open it stays open and keeps
    // its timer.
    void showSplash();
    void Form_Load();
    void Timer1_Timer();
    void closeSplash();
    bool isOpen() const { return open_; }

    static constexpr const char* kCredit = "雨雲接近警告";

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    std::map<std::string, Control*> controls_;
    bool open_ = false;
};

// The product logo: a rain cloud drawn by code, 97 x 122 pixels.
QImage makeLogoImage();

}  // namespace nimbrel
