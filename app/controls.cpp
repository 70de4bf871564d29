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

namespace {

template <class... Ts>
struct Overloaded : Ts... {
    using Ts::operator()...;
};

// The widget of a designed kind.
ControlPart makePart(ControlKind kind, QWidget* parent) {
    switch (kind) {
        case ControlKind::Label: {
            // Lines break only where the caption has a line break; what does
            // not fit is cut at the label's edge.
            auto* l = new QLabel(parent);
            l->setWordWrap(false);
            l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            l->setTextFormat(Qt::PlainText);
            return LabelPart{l};
        }
        case ControlKind::CommandButton:
            return ButtonPart{new QPushButton(parent)};
        case ControlKind::CheckBox:
            return CheckPart{new QCheckBox(parent)};
        case ControlKind::OptionButton:
            return OptionPart{new QRadioButton(parent)};
        case ControlKind::TextBox:
            return LinePart{new QLineEdit(parent)};
        case ControlKind::MultiLineText: {
            auto* t = new QPlainTextEdit(parent);
            t->setReadOnly(true);
            t->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
            return TextAreaPart{t};
        }
        case ControlKind::ComboBox: {
            auto* c = new QComboBox(parent);
            c->setEditable(true);
            c->setInsertPolicy(QComboBox::NoInsert);
            return ComboPart{c};
        }
        case ControlKind::Image: {
            auto* l = new QLabel(parent);
            l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            return ImagePart{l};
        }
        case ControlKind::Shape:
            return ShapePart{new ShapeWidget(parent)};
        case ControlKind::Frame:
            break;
    }
    return FramePart{new QGroupBox(parent)};
}

}  // namespace

Control::Control(const ControlDesign& d, const FontDesign& defaultFont, QWidget* parent)
    : QObject(parent), name_(d.name), part_(makePart(d.kind, parent)), opaque_(d.opaque) {
    widget_ = std::visit([](const auto& p) -> QWidget* { return p.widget; }, part_);
    // A user's click does what setting the value by code does.
    if (auto* b = std::get_if<ButtonPart>(&part_))
        connect(b->widget, &QPushButton::clicked, this, [this] { press(); });
    if (auto* c = std::get_if<CheckPart>(&part_))
        connect(c->widget, &QCheckBox::clicked, this,
                [this](bool checked) { setValue(checked ? 1 : 0); });
    if (auto* o = std::get_if<OptionPart>(&part_))
        connect(o->widget, &QRadioButton::clicked, this, [this] { setValue(1); });
    widget_->setObjectName(QString::fromStdString(name_));
    widget_->setFont(qtFont(d.font.value_or(defaultFont)));
    bold_ = d.font.value_or(defaultFont).bold;
    if (d.foreColor && !std::holds_alternative<ShapePart>(part_)) {
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
    // Labels take clicks (the links) without being buttons.
    if (isLabel()) widget_->installEventFilter(this);
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
    const auto* part = std::get_if<LabelPart>(&part_);
    if (!part) return;
    QLabel* label = part->widget;
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
    return std::visit(
        Overloaded{[](const LinePart& p) { return p.widget->text().toStdString(); },
                   [](const ComboPart& p) { return p.widget->currentText().toStdString(); },
                   [](const ButtonPart& p) { return fromQt(p.widget->text()); },
                   [](const CheckPart& p) { return fromQt(p.widget->text()); },
                   [](const OptionPart& p) { return fromQt(p.widget->text()); },
                   [this](const auto&) { return caption_; }},
        part_);
}

void Control::setCaption(const std::string& text) {
    const bool changed = caption() != text;
    caption_ = text;
    std::visit(
        Overloaded{[&](const LabelPart& p) {
                       p.widget->setText(toQt(text));
                       fitCaption();
                   },
                   [&](const ButtonPart& p) { p.widget->setText(toQt(text)); },
                   [&](const CheckPart& p) { p.widget->setText(toQt(text)); },
                   [&](const OptionPart& p) { p.widget->setText(toQt(text)); },
                   [&](const LinePart& p) { p.widget->setText(QString::fromStdString(text)); },
                   [&](const TextAreaPart& p) { p.widget->setPlainText(toQt(text)); },
                   [&](const ComboPart& p) { p.widget->setEditText(QString::fromStdString(text)); },
                   [&](const FramePart& p) { p.widget->setTitle(toQt(text)); }, [](const auto&) {}},
        part_);
    if (changed && onChange) onChange();
}

int Control::value() const {
    return std::visit(Overloaded{[](const CheckPart& p) { return p.value; },
                                 [](const OptionPart& p) { return p.widget->isChecked() ? 1 : 0; },
                                 [](const auto&) { return 0; }},
                      part_);
}

void Control::setValue(int v) {
    bool runs = false;
    std::visit(Overloaded{[&](CheckPart& p) {
                              const int nv = v ? 1 : 0;
                              {
                                  QSignalBlocker block(p.widget);
                                  p.widget->setChecked(nv == 1);
                              }
                              runs = nv != p.value;
                              p.value = nv;
                          },
                          [&](OptionPart& p) {
                              // Clearing: another option of the group takes
                              // the selection. Selecting runs the handler
                              // also when already selected.
                              if (!v) return;
                              QSignalBlocker block(p.widget);
                              p.widget->setChecked(true);
                              runs = true;
                          },
                          [&](ButtonPart&) { runs = true; }, [](auto&) {}},
               part_);
    if (runs) press();
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
    // Labels lie on the window's background unless they have their own.
    widget_->setAutoFillBackground(isLabel() ? backColor_.has_value() || opaque_ : true);
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
    auto* part = std::get_if<ComboPart>(&part_);
    if (!part) return;
    part->widget->clear();
    part->widget->setEditText(QString());
}

void Control::addItem(const std::string& item) {
    auto* part = std::get_if<ComboPart>(&part_);
    if (!part) return;
    // The edit text stays what it was.
    QComboBox* c = part->widget;
    const QString t = c->currentText();
    QSignalBlocker block(c);
    c->addItem(QString::fromStdString(item));
    c->setEditText(t);
}

int Control::itemCount() const {
    const auto* part = std::get_if<ComboPart>(&part_);
    return part ? part->widget->count() : 0;
}

std::string Control::item(int index) const {
    const auto* part = std::get_if<ComboPart>(&part_);
    return part ? part->widget->itemText(index).toStdString() : std::string();
}

bool Control::loadPicture(const std::string& file) {
    const auto* part = std::get_if<ImagePart>(&part_);
    if (!part) return false;
    QImage img;
    if (!img.load(QString::fromStdString(file), "BMP")) return false;
    part->widget->setPixmap(QPixmap::fromImage(img));
    return true;
}

void Control::showPicture(const uint8_t* bottomUpBgr, int width, int height, int stride) {
    const auto* part = std::get_if<ImagePart>(&part_);
    if (!part || width <= 0 || height <= 0) return;
    QImage img(width, height, QImage::Format_BGR888);
    const auto rowBytes = static_cast<size_t>(width) * 3;
    for (int y = 0; y < height; ++y) {
        std::memcpy(img.scanLine(y),
                    bottomUpBgr + static_cast<size_t>(height - 1 - y) * static_cast<size_t>(stride),
                    rowBytes);
    }
    part->widget->setPixmap(QPixmap::fromImage(std::move(img)));
}

bool Control::hasPicture() const {
    const auto* part = std::get_if<ImagePart>(&part_);
    return part && !part->widget->pixmap().isNull();
}

void Control::refresh() {
    widget_->repaint();
}

}  // namespace nimbrel
