// The width a window needs for its whole title: the desktop shows the title followed by
// " — " and the program's name, beside the window manager's icon and buttons.
#pragma once

#include <QApplication>
#include <QFontMetrics>
#include <QWidget>

inline int widthForTitle(const QWidget& window) {
    QString title = window.windowTitle();
    const QString program = QGuiApplication::applicationDisplayName();
    if (!program.isEmpty() && !title.contains(program))
        title += QStringLiteral(" \u2014 ") + program;
    // The title bar's font is the window manager's; a bold one is a little wider.
    QFont font = QApplication::font();
    font.setBold(true);
    constexpr int kTitleBarAllowance = 160; // icon, buttons and margins of the title bar
    return QFontMetrics(font).horizontalAdvance(title) + kTitleBarAllowance;
}
