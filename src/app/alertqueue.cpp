// SPDX-License-Identifier: GPL-3.0-or-later
#include "alertqueue.h"

#include <QWidget>

AlertQueue::AlertQueue(QWidget* window, QObject* parent) : QObject(parent), window_(window) {}

void AlertQueue::add(const QString& text, std::function<void()> finish,
                     QPointer<QMessageBox>* shown) {
    if (!pending_.empty() && pending_.back().text == text) {
        pending_.back().finishers.push_back(std::move(finish));
        if (shown) {
            pending_.back().watchers.push_back(shown);
            if (pending_.size() == 1) *shown = box_;
        }
        return;
    }
    pending_.push_back({text, {std::move(finish)}, {}});
    if (shown) pending_.back().watchers.push_back(shown);
    if (!box_) showNext();
}

void AlertQueue::showNext() {
    if (pending_.empty() || ended_) return;
    // Window-modal and without a nested event loop: alerts never stack up.
    auto* box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Zorvan"),
                                pending_.front().text, QMessageBox::NoButton, window_);
    box->addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    box->setAttribute(Qt::WA_DeleteOnClose);
    connect(box, &QDialog::finished, this, [this] {
        box_ = nullptr;
        if (pending_.empty()) return;
        const Pending done = std::move(pending_.front());
        pending_.pop_front();
        for (const auto& finish : done.finishers) finish();
        showNext();
    });
    box_ = box;
    for (QPointer<QMessageBox>* watcher : pending_.front().watchers) *watcher = box;
    box->open();
}
