// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Shared state of the JSON parser, writer and facade: the error trace of the
// last run and the nesting limit. An instance is used by one thread at a time.

#include "TXJsonError.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace tx {

class TXJsonBase {
public:
    // Nesting limit after construction; 0 means no limit.
    static constexpr std::uint64_t kDefaultMaxDepth = 512;

    TXJsonBase();
    virtual ~TXJsonBase() = default;
    TXJsonBase(const TXJsonBase&) = delete;
    TXJsonBase& operator=(const TXJsonBase&) = delete;

    // Errors of the last run, oldest first; none until the run's first error.
    const std::optional<JsonErrorTrace>& errorTrace() const { return errorTrace_; }
    // The most general error of the last run, or null.
    JsonErrorPtr lastError() const;

    // Appends an error whose underlying error is the current last one.
    void addErrorWithCode(unsigned code, std::string description);
    // Drops the trace (back to none).
    void clearErrorTrace();

    // Called after every change of the error trace. The observer must not
    // start a run on the same instance.
    void setErrorTraceObserver(std::function<void(const TXJsonBase&)> observer);

    // Current nesting while a parse or write runs.
    std::uint64_t depth() const { return depth_; }
    virtual std::uint64_t maxDepth() const { return maxDepth_; }
    virtual void setMaxDepth(std::uint64_t maxDepth) { maxDepth_ = maxDepth; }

protected:
    // Replaces the whole trace, as the facade does with a copy of another's.
    void setErrorTrace(std::optional<JsonErrorTrace> trace);

    std::uint64_t depth_ = 0;

private:
    void announceErrorTrace();

    std::optional<JsonErrorTrace> errorTrace_;
    std::uint64_t maxDepth_ = 0;
    std::function<void(const TXJsonBase&)> observer_;
};

}  // namespace tx
