// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

#include <cstdint>
#include <map>
#include <set>
#include <vector>

// Shares the viewer's video decodes among the views that could play a
// camera's video: each window offers its candidate cells with their size in
// device pixels, and the largest cells of all windows get the decodes, as
// many as the limit allows (ties: the window that offered first, then the
// lower cell). A view beyond the limit keeps its still pictures. One per
// viewer. Main thread only.
class VideoBudget : public QObject {
    Q_OBJECT

public:
    static constexpr int kDefaultLimit = 4;
    static constexpr int kMaxLimit = 16;
    // The least size of a layout's cell that plays video; a camera shown
    // alone plays at any size.
    static constexpr int kMinWidth = 640;
    static constexpr int kMinHeight = 360;

    struct Candidate {
        int cell = 0;
        std::int64_t area = 0;  // device pixels
    };

    explicit VideoBudget(QObject* parent = nullptr);

    // The limit kept in the preferences (kDefaultLimit until set), 0 to kMaxLimit.
    static int storedLimit();
    int limit() const { return limit_; }
    // Keeps it in the preferences too.
    void setLimit(int limit);

    // asker's candidates from now on (none: it wants no decode).
    void offer(const void* asker, std::vector<Candidate> candidates);
    void withdraw(const void* asker) { offer(asker, {}); }
    // The cells of asker that may play now.
    std::set<int> granted(const void* asker) const;

signals:
    // Some asker's grant changed: each reads its own again.
    void changed();

private:
    void share();

    struct Asker {
        std::uint64_t order = 0;
        std::vector<Candidate> candidates;
    };
    int limit_;
    std::uint64_t nextOrder_ = 0;
    std::map<const void*, Asker> askers_;
    std::map<const void*, std::set<int>> granted_;
};
