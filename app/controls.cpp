#include "app/controls.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFont>
#include <QFontMetricsF>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <cmath>
#include <cstring>

namespace nimbrel {

namespace {

QString toQt(const std::string& s) {
    // Widgets break lines at LF alone.
    QString q = QString::fromStdString(s);
    q.replace("\r\n", "\n");
    return q;
}

std::string fromQt(const QString& q) {
    QString s = q;
    s.replace("\r\n", "\n");
    s.replace("\n", "\r\n");
    return s.toStdString();
}

int px(double twips) {
    return static_cast<int>(std::lround(twips / kTwipsPerScreenPixel));
}

// The location marker: a circle with a 3-pixel border, transparent inside.
class ShapeWidget : public QWidget {
  public:
    explicit ShapeWidget(QWidget* parent) : QWidget(parent) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
    }
    QColor border{192, 0, 0};

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        QPen pen(border);
        pen.setWidthF(3);
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QRectF(1.5, 1.5, width() - 3.0, height() - 3.0));
    }
};

}  // namespace

QFont qtFont(const FontDesign& design) {
    QFont font(QString::fromStdString(substituteFontFamily(design.family)));
    font.setPixelSize(
        std::max(1, static_cast<int>(std::lround(design.size * 20.0 / kTwipsPerScreenPixel))));
    font.setBold(design.bold);
    font.setItalic(design.italic);
    font.setUnderline(design.underline);
    return font;
}

void installFontSubstitutions() {
    for (const char* family : {"ＭＳ ゴシック", "ＭＳ Ｐゴシック", "HG丸ｺﾞｼｯｸM-PRO",
                               "Times New Roman", "CenturyOldst"}) {
        QFont::insertSubstitution(QString::fromUtf8(family),
                                  QString::fromStdString(substituteFontFamily(family)));
    }
}

Control::Control(const ControlDesign& d, const FontDesign& defaultFont, QWidget* parent)
    : QObject(parent), name_(d.name), kind_(d.kind) {
    switch (kind_) {
        case ControlKind::Label: {
            // Lines break only where the caption has a line break; what does
            // not fit is cut at the label's edge.
            auto* l = new QLabel(parent);
            l->setWordWrap(false);
            l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            l->setTextFormat(Qt::PlainText);
            widget_ = l;
            break;
        }
        case ControlKind::CommandButton: {
            auto* b = new QPushButton(parent);
            connect(b, &QPushButton::clicked, this, [this] { press(); });
            widget_ = b;
            break;
        }
        case ControlKind::CheckBox: {
            auto* b = new QCheckBox(parent);
            connect(b, &QCheckBox::clicked, this,
                    [this](bool checked) { setValue(checked ? 1 : 0); });
            widget_ = b;
            break;
        }
        case ControlKind::OptionButton: {
            auto* b = new QRadioButton(parent);
            connect(b, &QRadioButton::clicked, this, [this] { setValue(1); });
            widget_ = b;
            break;
        }
        case ControlKind::TextBox:
            widget_ = new QLineEdit(parent);
            break;
        case ControlKind::MultiLineText: {
            auto* t = new QPlainTextEdit(parent);
            t->setReadOnly(true);
            t->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
            widget_ = t;
            break;
        }
        case ControlKind::ComboBox: {
            auto* c = new QComboBox(parent);
            c->setEditable(true);
            c->setInsertPolicy(QComboBox::NoInsert);
            widget_ = c;
            break;
        }
        case ControlKind::Image: {
            auto* l = new QLabel(parent);
            l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            widget_ = l;
            break;
        }
        case ControlKind::Shape:
            widget_ = new ShapeWidget(parent);
            break;
        case ControlKind::Frame:
            widget_ = new QGroupBox(parent);
            break;
    }
    widget_->setObjectName(QString::fromStdString(name_));
    widget_->setFont(qtFont(d.font.value_or(defaultFont)));
    bold_ = d.font.value_or(defaultFont).bold;
    if (d.foreColor && kind_ != ControlKind::Shape) {
        QPalette pal = widget_->palette();
        QColor c(d.foreColor->r, d.foreColor->g, d.foreColor->b);
        pal.setColor(QPalette::WindowText, c);
        pal.setColor(QPalette::ButtonText, c);
        pal.setColor(QPalette::Text, c);
        widget_->setPalette(pal);
    }
    if (d.linkCursor) {
        widget_->setCursor(Qt::PointingHandCursor);
    }
    if (kind_ == ControlKind::Label) widget_->installEventFilter(this);
    left_ = d.left;
    top_ = d.top;
    width_ = d.width;
    height_ = d.height;
    applyGeometry();
    setCaption(d.caption);
    if (d.backColor) setBackColor(d.backColor);
    visible_ = d.visible;
    widget_->setVisible(visible_);
}

bool Control::eventFilter(QObject* watched, QEvent* event) {
    if (watched == widget_ && event->type() == QEvent::MouseButtonRelease && enabled_) {
        if (onClick) onClick();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

void Control::applyGeometry() {
    widget_->setGeometry(px(left_), px(top_), std::max(0, px(width_)), std::max(0, px(height_)));
    fitCaption();
}

namespace {

// Closer than this, glyphs of neighbouring letters would touch.
constexpr int kTightestSpacing = 78;

double widestLine(const QFont& font, const QString& text) {
    const QFontMetricsF m(font);
    double widest = 0;
    for (const QString& line : text.split('\n'))
        widest = std::max(widest, m.horizontalAdvance(line));
    return widest;
}

}  // namespace

void Control::fitCaption() {
    // The free fonts that stand in for the designed ones set their Latin
    // letters and figures wider, and some designed captions are tight even
    // in the designed fonts.
    if (kind_ != ControlKind::Label) return;
    auto* label = static_cast<QLabel*>(widget_);
    QFont f = label->font();
    f.setLetterSpacing(QFont::PercentageSpacing, 100);
    const double room = label->contentsRect().width();
    int spacing = 100;
    while (spacing > kTightestSpacing && widestLine(f, label->text()) > room) {
        --spacing;
        f.setLetterSpacing(QFont::PercentageSpacing, spacing);
    }
    if (label->font() != f) label->setFont(f);
}

void Control::setLeft(double v) {
    left_ = v;
    applyGeometry();
}
void Control::setTop(double v) {
    top_ = v;
    applyGeometry();
}
void Control::setWidth(double v) {
    width_ = v;
    applyGeometry();
}
void Control::setHeight(double v) {
    height_ = v;
    applyGeometry();
}

std::string Control::caption() const {
    switch (kind_) {
        case ControlKind::TextBox:
            return static_cast<QLineEdit*>(widget_)->text().toStdString();
        case ControlKind::ComboBox:
            return static_cast<QComboBox*>(widget_)->currentText().toStdString();
        case ControlKind::CommandButton:
        case ControlKind::CheckBox:
        case ControlKind::OptionButton:
            return fromQt(static_cast<QAbstractButton*>(widget_)->text());
        default:
            return caption_;
    }
}

void Control::setCaption(const std::string& text) {
    bool changed = caption() != text;
    caption_ = text;
    switch (kind_) {
        case ControlKind::Label:
            static_cast<QLabel*>(widget_)->setText(toQt(text));
            fitCaption();
            break;
        case ControlKind::CommandButton:
        case ControlKind::CheckBox:
        case ControlKind::OptionButton:
            static_cast<QAbstractButton*>(widget_)->setText(toQt(text));
            break;
        case ControlKind::TextBox:
            static_cast<QLineEdit*>(widget_)->setText(QString::fromStdString(text));
            break;
        case ControlKind::MultiLineText:
            static_cast<QPlainTextEdit*>(widget_)->setPlainText(toQt(text));
            break;
        case ControlKind::ComboBox:
            static_cast<QComboBox*>(widget_)->setEditText(QString::fromStdString(text));
            break;
        case ControlKind::Frame:
            static_cast<QGroupBox*>(widget_)->setTitle(toQt(text));
            break;
        default:
            break;
    }
    if (changed && onChange) onChange();
}

int Control::value() const {
    switch (kind_) {
        case ControlKind::CheckBox:
            return value_;
        case ControlKind::OptionButton:
            return static_cast<QRadioButton*>(widget_)->isChecked() ? 1 : 0;
        default:
            return 0;
    }
}

void Control::setValue(int v) {
    switch (kind_) {
        case ControlKind::CheckBox: {
            int nv = v ? 1 : 0;
            {
                QSignalBlocker block(widget_);
                static_cast<QCheckBox*>(widget_)->setChecked(nv == 1);
            }
            if (nv == value_) return;
            value_ = nv;
            if (onClick) onClick();
            break;
        }
        case ControlKind::OptionButton:
            if (!v) {
                // Another option of the group takes the selection.
                return;
            }
            {
                QSignalBlocker block(widget_);
                static_cast<QRadioButton*>(widget_)->setChecked(true);
            }
            if (onClick) onClick();
            break;
        case ControlKind::CommandButton:
            press();
            break;
        default:
            break;
    }
}

void Control::press() {
    if (onClick) onClick();
}

void Control::setVisible(bool on) {
    visible_ = on;
    widget_->setVisible(on);
}

void Control::setEnabled(bool on) {
    enabled_ = on;
    widget_->setEnabled(on);
}

void Control::setBackColor(std::optional<Rgb> color) {
    backColor_ = color;
    applyBackColor();
}

void Control::applyBackColor() {
    QPalette pal = widget_->palette();
    QColor c = backColor_ ? QColor(backColor_->r, backColor_->g, backColor_->b)
                          : QPalette().color(QPalette::Button);
    pal.setColor(QPalette::Window, c);
    pal.setColor(QPalette::Base, c);
    widget_->setPalette(pal);
    widget_->setAutoFillBackground(
        kind_ == ControlKind::Label ? backColor_.has_value() || name_ == "Label2" : true);
}

void Control::setBold(bool on) {
    bold_ = on;
    QFont f = widget_->font();
    f.setBold(on);
    widget_->setFont(f);
    fitCaption();
}

void Control::setFontSize(double points) {
    QFont f = widget_->font();
    f.setPixelSize(
        std::max(1, static_cast<int>(std::lround(points * 20.0 / kTwipsPerScreenPixel))));
    widget_->setFont(f);
    fitCaption();
}

void Control::clearItems() {
    if (kind_ != ControlKind::ComboBox) return;
    auto* c = static_cast<QComboBox*>(widget_);
    QString t = c->currentText();
    c->clear();
    c->setEditText(QString());
}

void Control::addItem(const std::string& item) {
    if (kind_ != ControlKind::ComboBox) return;
    auto* c = static_cast<QComboBox*>(widget_);
    QString t = c->currentText();
    QSignalBlocker block(c);
    c->addItem(QString::fromStdString(item));
    c->setEditText(t);
}

int Control::itemCount() const {
    if (kind_ != ControlKind::ComboBox) return 0;
    return static_cast<QComboBox*>(widget_)->count();
}

std::string Control::item(int index) const {
    if (kind_ != ControlKind::ComboBox) return {};
    return static_cast<QComboBox*>(widget_)->itemText(index).toStdString();
}

bool Control::loadPicture(const std::string& file) {
    if (kind_ != ControlKind::Image) return false;
    QImage img;
    if (!img.load(QString::fromStdString(file), "BMP")) return false;
    static_cast<QLabel*>(widget_)->setPixmap(QPixmap::fromImage(img));
    return true;
}

void Control::showPicture(const uint8_t* bottomUpBgr, int width, int height, int stride) {
    if (kind_ != ControlKind::Image || width <= 0 || height <= 0) return;
    QImage img(width, height, QImage::Format_BGR888);
    const auto rowBytes = static_cast<size_t>(width) * 3;
    for (int y = 0; y < height; ++y) {
        std::memcpy(img.scanLine(y),
                    bottomUpBgr + static_cast<size_t>(height - 1 - y) * static_cast<size_t>(stride),
                    rowBytes);
    }
    static_cast<QLabel*>(widget_)->setPixmap(QPixmap::fromImage(std::move(img)));
}

bool Control::hasPicture() const {
    if (kind_ != ControlKind::Image) return false;
    return !static_cast<QLabel*>(widget_)->pixmap().isNull();
}

void Control::refresh() {
    widget_->repaint();
}

}  // namespace nimbrel
