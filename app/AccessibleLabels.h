// Labels tied to the controls they name. A tied label is the control's buddy: the desktop's
// accessibility bus reports it as the control's label (a screen reader says "Video Codec"
// for the box, not only the entry it shows), and the control's accessible name is the
// label's text without its colon.
#pragma once

#include <QString>

class QLabel;
class QWidget;

// "Audio  Quality : " gives "Audio Quality": blanks folded, the closing colon dropped.
QString accessibleNameFromLabel(const QString& labelText);
// Ties one label to its control; a control that already has an accessible name keeps it.
void tieLabel(QLabel* label, QWidget* control);
// Ties every label laid out beside a control under root: in a grid, the label and the
// first control to its right in the same row; in a horizontal row, its only label and its
// only control.
void tieLabelsToControls(QWidget* root);
