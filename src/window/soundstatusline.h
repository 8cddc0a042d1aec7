// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLabel>
#include <QTimer>

#include <functional>

// A small line over the bottom-left corner of the picture that tells how the
// sound stream stands ("Buffering... 40 %", "Playing", why it ended) while
// sound is on, so that a stream that is still buffering can be told from one
// that failed. It asks for the text four times a second; hidden while off.
class SoundStatusLine : public QLabel {
    Q_OBJECT

public:
    // text: gives the line's current text (main thread).
    SoundStatusLine(QWidget* picture, std::function<QString()> text);

    // Shows the line and follows the stream, or hides it.
    void setActive(bool active);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void refresh();
    void place();

    std::function<QString()> text_;
    QTimer timer_;
};
