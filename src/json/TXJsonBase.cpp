// SPDX-License-Identifier: GPL-3.0-or-later
#include "TXJsonBase.h"

#include <utility>

namespace tx {

TXJsonBase::TXJsonBase() {
    TXJsonBase::setMaxDepth(kDefaultMaxDepth);
}

JsonErrorPtr TXJsonBase::lastError() const {
    return errorTrace_ && !errorTrace_->empty() ? errorTrace_->back() : nullptr;
}

void TXJsonBase::addErrorWithCode(unsigned code, std::string description) {
    auto error = std::make_shared<JsonError>();
    error->code = code;
    error->message = std::move(description);
    error->underlying = lastError();
    if (!errorTrace_) errorTrace_.emplace();
    errorTrace_->push_back(std::move(error));
    announceErrorTrace();
}

void TXJsonBase::clearErrorTrace() {
    errorTrace_.reset();
    announceErrorTrace();
}

void TXJsonBase::setErrorTrace(std::optional<JsonErrorTrace> trace) {
    errorTrace_ = std::move(trace);
    announceErrorTrace();
}

void TXJsonBase::setErrorTraceObserver(std::function<void(const TXJsonBase&)> observer) {
    observer_ = std::move(observer);
}

void TXJsonBase::announceErrorTrace() {
    if (observer_) observer_(*this);
}

}  // namespace tx
