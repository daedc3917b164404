// The output format list: a drop-down list that tells the window when it is about to open,
// so the number of entries it shows can follow the Additional Options.
#pragma once

#include <QComboBox>

#include <functional>

class FormatComboBox : public QComboBox {
    Q_OBJECT
public:
    using QComboBox::QComboBox;
    // Runs before the list opens.
    std::function<void()> onDropDown;

    void showPopup() override {
        if (onDropDown)
            onDropDown();
        QComboBox::showPopup();
    }
};
