// A line edit too narrow for its text shows the whole text as its tooltip, as the window's
// drop-down lists do with an entry they shorten; while the text fits, the tooltip is the hint.
#pragma once

#include <QString>

class QLineEdit;

// Keeps the edit's tooltip so from now on (the edit owns what watches it).
void showWholeTextWhenCut(QLineEdit* edit, const QString& hint);
