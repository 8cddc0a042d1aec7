// SPDX-License-Identifier: GPL-3.0-or-later
#include "activityeditor.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <functional>
#include <optional>

namespace {

QString editorText(const char* text) {
    return QCoreApplication::translate("Zorvan", text);
}

// A drag shorter than this on either side is a click, not a zone.
constexpr qreal kMinDragPixels = 4;

}  // namespace

// The picture with the zones over it, in the picture's unit coordinates:
// drawn fitted into the widget, aspect kept (16:9 without a picture).
class ZoneCanvas : public QWidget {
public:
    ZoneCanvas(const QImage& picture, std::vector<QRectF> zones, QWidget* parent)
        : QWidget(parent), picture_(picture), zones_(std::move(zones)) {
        setObjectName(QStringLiteral("picture"));
        setFocusPolicy(Qt::StrongFocus);
        setMinimumSize(320, 180);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        if (zones_.size() > CameraActivity::kMaxZones) zones_.resize(CameraActivity::kMaxZones);
    }

    std::function<void()> changed;

    const std::vector<QRectF>& zones() const { return zones_; }
    int selected() const { return selected_; }
    bool full() const { return zones_.size() >= CameraActivity::kMaxZones; }

    void removeSelected() {
        if (selected_ < 0) return;
        zones_.erase(zones_.begin() + selected_);
        selected_ = -1;
        update();
        changed();
    }
    void clear() {
        zones_.clear();
        selected_ = -1;
        update();
        changed();
    }

    QSize sizeHint() const override {
        const QSizeF aspect = this->aspect();
        return QSize(640, std::clamp(int(640 * aspect.height() / aspect.width()), 180, 480));
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        const QRectF frame = this->frame();
        if (picture_.isNull()) {
            p.fillRect(frame, QColor(48, 48, 48));
            p.setPen(Qt::lightGray);
            p.drawText(frame, Qt::AlignCenter, editorText("No picture yet"));
        } else {
            p.setRenderHint(QPainter::SmoothPixmapTransform);
            p.drawImage(frame, picture_);
        }
        for (std::size_t i = 0; i < zones_.size(); ++i) {
            const bool chosen = int(i) == selected_;
            p.setPen(QPen(chosen ? QColor(255, 220, 0) : QColor(255, 80, 80), chosen ? 3 : 1));
            p.setBrush(QColor(255, 40, 40, chosen ? 110 : 80));
            p.drawRect(toWidget(zones_[i]));
        }
        if (dragFrom_) {
            p.setPen(QPen(Qt::white, 1, Qt::DashLine));
            p.setBrush(QColor(255, 40, 40, 60));
            p.drawRect(QRectF(*dragFrom_, dragTo_).normalized());
        }
    }

    void mousePressEvent(QMouseEvent* event) override {
        if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
        const QPointF at = event->position();
        // The zone drawn last lies on top.
        selected_ = -1;
        for (int i = int(zones_.size()) - 1; i >= 0; --i)
            if (toWidget(zones_[std::size_t(i)]).contains(at)) {
                selected_ = i;
                break;
            }
        if (selected_ < 0 && !full() && frame().contains(at)) {
            dragFrom_ = at;
            dragTo_ = at;
        }
        update();
        changed();
    }

    void mouseMoveEvent(QMouseEvent* event) override {
        if (!dragFrom_) return;
        dragTo_ = clampToFrame(event->position());
        update();
    }

    void mouseReleaseEvent(QMouseEvent* event) override {
        if (!dragFrom_ || event->button() != Qt::LeftButton) return;
        dragTo_ = clampToFrame(event->position());
        const QRectF drawn = QRectF(*dragFrom_, dragTo_).normalized();
        dragFrom_.reset();
        if (drawn.width() >= kMinDragPixels && drawn.height() >= kMinDragPixels && !full()) {
            zones_.push_back(toUnit(drawn));
            selected_ = int(zones_.size()) - 1;
        }
        update();
        changed();
    }

private:
    QSizeF aspect() const { return picture_.isNull() ? QSizeF(16, 9) : QSizeF(picture_.size()); }
    // Where the picture is drawn.
    QRectF frame() const {
        QSizeF size = aspect();
        size.scale(QSizeF(this->size()), Qt::KeepAspectRatio);
        return QRectF(QPointF((width() - size.width()) / 2, (height() - size.height()) / 2), size);
    }
    QPointF clampToFrame(QPointF at) const {
        const QRectF f = frame();
        return {std::clamp(at.x(), f.left(), f.right()), std::clamp(at.y(), f.top(), f.bottom())};
    }
    QRectF toWidget(const QRectF& unit) const {
        const QRectF f = frame();
        return {f.left() + unit.x() * f.width(), f.top() + unit.y() * f.height(),
                unit.width() * f.width(), unit.height() * f.height()};
    }
    QRectF toUnit(const QRectF& drawn) const {
        const QRectF f = frame();
        const QRectF unit((drawn.x() - f.left()) / f.width(), (drawn.y() - f.top()) / f.height(),
                          drawn.width() / f.width(), drawn.height() / f.height());
        return unit.intersected(QRectF(0, 0, 1, 1));
    }

    QImage picture_;
    std::vector<QRectF> zones_;
    int selected_ = -1;
    std::optional<QPointF> dragFrom_;
    QPointF dragTo_;
};

ActivityEditor::ActivityEditor(const CameraActivity& entry, const QImage& picture, QWidget* parent)
    : QDialog(parent),
      entry_(entry),
      canvas_(new ZoneCanvas(picture, entry.ignoreZones, this)),
      sensitivity_(new QComboBox(this)),
      remove_(new QPushButton(editorText("Remove Zone"), this)),
      clear_(new QPushButton(editorText("Clear Zones"), this)),
      hint_(new QLabel(this)),
      notify_(new QCheckBox(editorText("Notify when active behind other windows"), this)) {
    const QString name =
        entry.camera.cameraName.isEmpty() ? entry.camera.cameraUri : entry.camera.cameraName;
    setWindowTitle(editorText("Activity Settings: %1").arg(name));
    sensitivity_->setObjectName(QStringLiteral("sensitivity"));
    // In the order of CameraActivity::Sensitivity.
    sensitivity_->addItems(
        {editorText("Off"), editorText("Low"), editorText("Normal"), editorText("High")});
    sensitivity_->setCurrentIndex(int(entry.sensitivity));
    remove_->setAutoDefault(false);
    clear_->setAutoDefault(false);
    hint_->setWordWrap(true);
    notify_->setObjectName(QStringLiteral("notify"));
    notify_->setChecked(entry.notify);
    connect(remove_, &QPushButton::clicked, this, [this] { canvas_->removeSelected(); });
    connect(clear_, &QPushButton::clicked, this, [this] { canvas_->clear(); });
    canvas_->changed = [this] { zonesChanged(); };

    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(editorText("Sensitivity:"), this));
    row->addWidget(sensitivity_);
    row->addStretch();
    row->addWidget(remove_);
    row->addWidget(clear_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(canvas_, 1);
    layout->addWidget(hint_);
    layout->addLayout(row);
    layout->addWidget(notify_);
    layout->addWidget(buttons);
    zonesChanged();
}

CameraActivity ActivityEditor::entry() const {
    CameraActivity entry = entry_;
    entry.sensitivity = CameraActivity::Sensitivity(std::clamp(sensitivity_->currentIndex(), 0, 3));
    entry.ignoreZones = canvas_->zones();
    entry.notify = notify_->isChecked();
    return entry;
}

void ActivityEditor::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // Without a window manager nobody else gives it the keyboard.
    activateWindow();
    canvas_->setFocus();
}

void ActivityEditor::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Delete || event->key() == Qt::Key_Backspace) {
        canvas_->removeSelected();
        return;
    }
    QDialog::keyPressEvent(event);
}

void ActivityEditor::zonesChanged() {
    remove_->setEnabled(canvas_->selected() >= 0);
    clear_->setEnabled(!canvas_->zones().empty());
    hint_->setText(canvas_->full()
                       ? editorText("Every zone is drawn (at most %1). Remove one to draw another.")
                             .arg(CameraActivity::kMaxZones)
                       : editorText("Drag on the picture to draw a zone where changes never count; "
                                    "click a zone to select it."));
}
