#include "AccessibleLabels.h"

#include <QBoxLayout>
#include <QGridLayout>
#include <QLabel>
#include <QWidget>

namespace {

void tieGridRows(QGridLayout* grid) {
    for (int row = 0; row < grid->rowCount(); ++row) {
        QLabel* label = nullptr;
        for (int column = 0; column < grid->columnCount(); ++column) {
            QLayoutItem* item = grid->itemAtPosition(row, column);
            QWidget* widget = item ? item->widget() : nullptr;
            if (!widget)
                continue;
            if (auto* asLabel = qobject_cast<QLabel*>(widget); asLabel && !label) {
                label = asLabel;
            } else if (label && !qobject_cast<QLabel*>(widget)) {
                tieLabel(label, widget);
                break;
            }
        }
    }
}

void tieRow(QBoxLayout* row) {
    if (row->direction() != QBoxLayout::LeftToRight && row->direction() != QBoxLayout::RightToLeft)
        return;
    QLabel* label = nullptr;
    QWidget* control = nullptr;
    for (int i = 0; i < row->count(); ++i) {
        QWidget* widget = row->itemAt(i)->widget();
        if (!widget)
            continue;
        if (auto* asLabel = qobject_cast<QLabel*>(widget)) {
            if (label)
                return; // two labels: nothing says which names the control
            label = asLabel;
        } else {
            if (control)
                return;
            control = widget;
        }
    }
    if (label && control)
        tieLabel(label, control);
}

} // namespace

QString accessibleNameFromLabel(const QString& labelText) {
    QString name = labelText.simplified();
    if (name.endsWith(QLatin1Char(':')))
        name.chop(1);
    return name.trimmed();
}

void tieLabel(QLabel* label, QWidget* control) {
    label->setBuddy(control);
    if (control->accessibleName().isEmpty())
        control->setAccessibleName(accessibleNameFromLabel(label->text()));
}

void tieLabelsToControls(QWidget* root) {
    for (QLayout* layout : root->findChildren<QLayout*>()) {
        if (auto* grid = qobject_cast<QGridLayout*>(layout))
            tieGridRows(grid);
        else if (auto* row = qobject_cast<QBoxLayout*>(layout))
            tieRow(row);
    }
}
