// SPDX-License-Identifier: GPL-3.0-or-later
#include "soundstatusline.h"

#include <QEvent>

SoundStatusLine::SoundStatusLine(QWidget* picture, std::function<QString()> text)
    : QLabel(picture), text_(std::move(text)) {
    setObjectName(QStringLiteral("soundStatusLine"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setStyleSheet(
        QStringLiteral("QLabel { color: white; background: rgba(0, 0, 0, 140); padding: 2px 6px; "
                       "border-radius: 3px; }"));
    timer_.setInterval(250);
    connect(&timer_, &QTimer::timeout, this, &SoundStatusLine::refresh);
    picture->installEventFilter(this);
    hide();
}

void SoundStatusLine::setActive(bool active) {
    if (active) {
        refresh();
        show();
        raise();  // over the picture and the walls beside it
        timer_.start();
    } else {
        timer_.stop();
        hide();
    }
}

bool SoundStatusLine::eventFilter(QObject* watched, QEvent* event) {
    if (watched == parent() && event->type() == QEvent::Resize) place();
    return QLabel::eventFilter(watched, event);
}

void SoundStatusLine::refresh() {
    const QString line = text_ ? text_() : QString();
    if (line != text()) {
        setText(line);
        adjustSize();
    }
    place();
}

void SoundStatusLine::place() {
    const auto* picture = parentWidget();
    if (!picture) return;
    // Above a caption ("Camera — Server", 18 pixels at most) in the corner.
    move(8, picture->height() - height() - 36);
}
