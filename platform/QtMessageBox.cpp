// Message boxes on QMessageBox with the "Information" caption.
#include "QtMessageBox.h"

#include <QMessageBox>

void QtMessageBox::information(const QString& text) {
    QMessageBox box(QMessageBox::Information, QString::fromLatin1(kCaption), text, QMessageBox::Ok,
                    m_owner.data());
    box.exec();
}

bool QtMessageBox::question(const QString& text) {
    QMessageBox box(QMessageBox::Question, QString::fromLatin1(kCaption), text,
                    QMessageBox::Yes | QMessageBox::No, m_owner.data());
    box.setDefaultButton(QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}
