#include "ElidingComboBox.h"

#include <QAbstractItemView>
#include <QEvent>
#include <QStyleOptionComboBox>
#include <QStylePainter>

namespace {
// Characters the box asks room for, whatever its entries: the layout gives it the rest.
constexpr int kMinimumCharacters = 6;
// The styles draw the entry one or two pixels inside the edit field on each side.
constexpr int kFieldInset = 4;
} // namespace

ElidingComboBox::ElidingComboBox(QWidget* parent) : QComboBox(parent) {
    setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    setMinimumContentsLength(kMinimumCharacters);
    connect(this, &QComboBox::currentTextChanged, this, &ElidingComboBox::updateToolTip);
}

void ElidingComboBox::setHint(const QString& hint) {
    m_hint = hint;
    updateToolTip();
}

int ElidingComboBox::textRoom() const {
    QStyleOptionComboBox option;
    initStyleOption(&option);
    const QRect field =
        style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this);
    int room = field.width() - kFieldInset;
    if (!option.currentIcon.isNull())
        room -= option.iconSize.width() + kFieldInset;
    return room;
}

bool ElidingComboBox::isElided() const {
    return fontMetrics().horizontalAdvance(currentText()) > textRoom();
}

void ElidingComboBox::updateToolTip() {
    const QString tip = isElided() ? currentText() : m_hint;
    if (tip != toolTip())
        setToolTip(tip);
}

void ElidingComboBox::paintEvent(QPaintEvent*) {
    // The window's settings boxes are filled with their signals blocked; every change of
    // the entry shown repaints the box, so the tooltip follows here.
    updateToolTip();
    // As QComboBox draws itself, with the entry shortened to the room it has.
    QStylePainter painter(this);
    painter.setPen(palette().color(QPalette::Text));
    QStyleOptionComboBox option;
    initStyleOption(&option);
    painter.drawComplexControl(QStyle::CC_ComboBox, option);
    option.currentText =
        fontMetrics().elidedText(option.currentText, Qt::ElideRight, std::max(0, textRoom()));
    painter.drawControl(QStyle::CE_ComboBoxLabel, option);
}

void ElidingComboBox::resizeEvent(QResizeEvent* event) {
    QComboBox::resizeEvent(event);
    updateToolTip();
}

void ElidingComboBox::changeEvent(QEvent* event) {
    QComboBox::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        updateToolTip();
}

void ElidingComboBox::showPopup() {
    // Every entry whole in the open list, however narrow the box.
    QAbstractItemView* list = view();
    const int entries = list->sizeHintForColumn(0) + list->frameWidth() * 2 +
                        style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    list->setMinimumWidth(std::max(width(), entries));
    QComboBox::showPopup();
}
