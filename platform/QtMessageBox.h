// Message boxes on QMessageBox, modal to an owner window.
#pragma once

#include "MessageBox.h"

#include <QPointer>

class QtMessageBox : public MessageBox {
public:
    // `owner` may be null (the box is then application-modal without a parent).
    explicit QtMessageBox(QWidget* owner = nullptr) : m_owner(owner) {}
    void information(const QString& text) override;
    void warning(const QString& text) override;
    using MessageBox::question;
    bool question(const QString& text, const QString& title) override;
    bool confirm(const QString& text, const QString& acceptText,
                 const QString& rejectText) override;

private:
    QPointer<QWidget> m_owner; // window's thread only
};
