// Message boxes on QMessageBox with the "Information" caption.
#include "QtMessageBox.h"

#include "TitleWidth.h"

#include <QGridLayout>
#include <QMessageBox>
#include <QPushButton>
#include <QSpacerItem>

namespace {

// A short text would make the box narrower than its title: a spacer across the box's
// bottom row keeps it wide enough for the whole title.
void keepTitleWhole(QMessageBox& box) {
    auto* grid = qobject_cast<QGridLayout*>(box.layout());
    if (!grid)
        return;
    grid->addItem(new QSpacerItem(widthForTitle(box), 0, QSizePolicy::Minimum, QSizePolicy::Fixed),
                  grid->rowCount(), 0, 1, grid->columnCount());
}

void showOk(QMessageBox::Icon icon, const QString& text, QWidget* owner) {
    QMessageBox box(icon, QString::fromLatin1(MessageBox::kCaption), text, QMessageBox::Ok, owner);
    keepTitleWhole(box);
    box.exec();
}

} // namespace

void QtMessageBox::information(const QString& text) {
    showOk(QMessageBox::Information, text, m_owner.data());
}

void QtMessageBox::warning(const QString& text) {
    showOk(QMessageBox::Warning, text, m_owner.data());
}

bool QtMessageBox::question(const QString& text, const QString& title) {
    QMessageBox box(QMessageBox::Question, title, text, QMessageBox::Yes | QMessageBox::No,
                    m_owner.data());
    box.setDefaultButton(QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::No);
    keepTitleWhole(box);
    return box.exec() == QMessageBox::Yes;
}

bool QtMessageBox::confirm(const QString& text, const QString& acceptText,
                           const QString& rejectText) {
    QMessageBox box(QMessageBox::Question, QString::fromLatin1(kCaption), text,
                    QMessageBox::NoButton, m_owner.data());
    QPushButton* accept = box.addButton(acceptText, QMessageBox::AcceptRole);
    QPushButton* reject = box.addButton(rejectText, QMessageBox::RejectRole);
    // The safe answer is the default: Enter keeps what runs.
    box.setDefaultButton(reject);
    box.setEscapeButton(reject);
    keepTitleWhole(box);
    box.exec();
    return box.clickedButton() == accept;
}
