// TFormAbout, the About box: product name, version, a picture and OK.
#pragma once

#include <QDialog>

class TFormAbout : public QDialog {
    Q_OBJECT
public:
    explicit TFormAbout(QWidget* parent = nullptr);
};
