#include "Unit2.h"

#include "TitleWidth.h"
#include "Version.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

TFormAbout::TFormAbout(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("FormAbout"));
    setWindowTitle(QStringLiteral("About"));
    setModal(true);
    auto* picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("ImageAbout"));
    picture->setPixmap(style()->standardIcon(QStyle::SP_MediaPlay).pixmap(64, 64));
    auto* product = new QLabel(QStringLiteral("Vidbrisk"), this);
    product->setObjectName(QStringLiteral("LabelProduct"));
    QFont bold = product->font();
    bold.setBold(true);
    bold.setPointSize(bold.pointSize() + 4);
    product->setFont(bold);
    auto* version = new QLabel(QStringLiteral("Version " VIDBRISK_VERSION), this);
    version->setObjectName(QStringLiteral("LabelVersion"));
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("ButtonOK"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* texts = new QVBoxLayout;
    texts->addWidget(product);
    texts->addWidget(version);
    texts->addStretch();
    auto* top = new QHBoxLayout;
    top->addWidget(picture);
    top->addLayout(texts);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(ok, 0, Qt::AlignHCenter);
    // Wide enough for the whole title, not only for the contents.
    const QSize contents = sizeHint();
    setFixedSize(qMax(contents.width(), widthForTitle(*this)), contents.height());
}
