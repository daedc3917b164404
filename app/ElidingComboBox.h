// A drop-down list that never cuts its entry off: when the box is narrower than the chosen
// entry, the entry is shown shortened with "..." and the whole text becomes the tooltip; the
// open list is always wide enough for its longest entry. The box asks for little width of
// its own, so the window decides how wide it is.
#pragma once

#include <QComboBox>

class ElidingComboBox : public QComboBox {
    Q_OBJECT
public:
    explicit ElidingComboBox(QWidget* parent = nullptr);

    // The tooltip while the whole entry is shown (the box's hint); empty for none.
    void setHint(const QString& hint);
    // Whether the box shows its entry shortened.
    bool isElided() const;
    void showPopup() override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // The width the entry may take inside the box.
    int textRoom() const;
    void updateToolTip();

    QString m_hint;
};
