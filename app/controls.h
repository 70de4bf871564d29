#pragma once
// Thin wrappers over Qt widgets that keep the properties the program talks
// about: caption or text, value, visible, enabled, colours, bold and the
// position in twips. Positions are stored exactly as set and shown at 15
// twips per logical pixel. Setting a value by code runs the click handler
// at once, as a user's click would.
#include <QFont>
#include <QObject>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <variant>

#include "app/layout.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

namespace nimbrel {

// Each kind of control with its own widget, so that what a property does for
// a kind is found by the kind's type.
struct LabelPart {
    QLabel* widget;
};
struct ButtonPart {
    QPushButton* widget;
};
struct CheckPart {
    QCheckBox* widget;
    int value = 0;
};
struct OptionPart {
    QRadioButton* widget;
};
struct LinePart {
    QLineEdit* widget;
};
struct TextAreaPart {
    QPlainTextEdit* widget;
};
struct ComboPart {
    QComboBox* widget;
};
struct ImagePart {
    QLabel* widget;
};
struct ShapePart {
    QWidget* widget;
};
struct FramePart {
    QGroupBox* widget;
};
using ControlPart = std::variant<LabelPart, ButtonPart, CheckPart, OptionPart, LinePart,
                                 TextAreaPart, ComboPart, ImagePart, ShapePart, FramePart>;

class Control : public QObject {
    Q_OBJECT
  public:
    Control(const ControlDesign& design, const FontDesign& defaultFont, QWidget* parent);

    const std::string& name() const { return name_; }
    bool isLabel() const { return std::holds_alternative<LabelPart>(part_); }
    QWidget* widget() const { return widget_; }

    double left() const { return left_; }
    double top() const { return top_; }
    double width() const { return width_; }
    double height() const { return height_; }
    void setLeft(double v);
    void setTop(double v);
    void setWidth(double v);
    void setHeight(double v);

    // Caption of a label, button, check box or option; text of a text box or
    // the edit text of a combo box. Line breaks are CR LF.
    std::string caption() const;
    void setCaption(const std::string& text);
    std::string text() const { return caption(); }
    void setText(const std::string& t) { setCaption(t); }

    // Check box: 0 or 1; option button: 1 when selected.
    int value() const;
    // Check box: runs the click handler when the value changes. Option
    // button: selecting runs the click handler, also when already selected.
    // Command button: any value presses it.
    void setValue(int v);
    void press();

    bool visible() const { return visible_; }
    void setVisible(bool on);
    bool enabled() const { return enabled_; }
    void setEnabled(bool on);

    // Empty: the system's button-face colour.
    std::optional<Rgb> backColor() const { return backColor_; }
    void setBackColor(std::optional<Rgb> color);
    bool bold() const { return bold_; }
    void setBold(bool on);
    void setFontSize(double points);

    // Combo box items.
    void clearItems();
    void addItem(const std::string& item);
    int itemCount() const;
    std::string item(int index) const;

    // Image: loads a BMP file as the picture. False when it cannot be read;
    // the previous picture then stays.
    bool loadPicture(const std::string& file);
    // Image: shows 24-bit pixels already in memory, laid out as in a BMP file
    // (blue, green, red; rows bottom-up, each `stride` bytes).
    void showPicture(const uint8_t* bottomUpBgr, int width, int height, int stride);
    bool hasPicture() const;
    void refresh();

    std::function<void()> onClick;
    std::function<void()> onChange;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void applyGeometry();
    // A label whose caption is wider than the label is drawn with its
    // letters set closer, down to kTightestSpacing percent, rather than cut.
    void fitCaption();
    void applyBackColor();

    std::string name_;
    ControlPart part_;
    QWidget* widget_ = nullptr;
    bool opaque_ = false;  // a label drawn on its own background
    double left_ = 0, top_ = 0, width_ = 0, height_ = 0;
    bool visible_ = true;
    bool enabled_ = true;
    bool bold_ = false;
    std::string caption_;  // as set, line breaks and all, for the kinds that show it
    std::optional<Rgb> backColor_;
};

// Qt font for a design font: the free font that stands in for it, sized so
// that one point is 20 twips at 15 twips per pixel.
QFont qtFont(const FontDesign& design);
void installFontSubstitutions();

}  // namespace nimbrel
