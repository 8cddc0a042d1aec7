// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <map>
#include <memory>
#include <vector>

class CamServer;

// The camera lists of every server a layout or the camera panel needs,
// loaded in the background, each server on its own: one lists-only data
// manager per server, with that server's own address and credentials, and
// silent retries of its own when it does not answer. No alert is ever
// raised here; a server that does not answer is only marked so, and its
// lists come by themselves when it is back.
//
// The current server's lists are the main data manager's: a server whose
// list is already there is not asked again unless reload() says so.
// Main thread only; reports (changed()) come on the main thread.
class ServerFeeds : public QObject {
    Q_OBJECT

public:
    enum class State {
        Idle,         // nothing asked yet
        Waiting,      // the lists are being loaded (or wait for the password)
        Loaded,       // a camera list is there
        Unavailable,  // the last load failed; retried silently
    };
    // servers: the records as they are now (the settings store's list).
    using ServerList = std::function<const std::vector<std::shared_ptr<CamServer>>&()>;

    // A load that has not answered after this long marks its server as not
    // available (while it goes on): a server that swallows connections is
    // told apart from a slow one well before the request's own timeout.
    static constexpr int kSilentAfterMs = 4000;

    explicit ServerFeeds(ServerList servers, QObject* parent = nullptr);
    ~ServerFeeds() override;

    // Loads server's lists unless they are there, being loaded, or held.
    void need(const std::shared_ptr<CamServer>& server);
    // Loads server's lists again (the panel's reload, a layout shown anew).
    void reload(const std::shared_ptr<CamServer>& server);
    State state(const CamServer* server) const;
    // The state as the panel and the cells say it; empty when loaded.
    static QString stateText(State state);

    // The main data manager brought server's lists (or failed to): the
    // feeds' view of it follows.
    void listsArrived(const CamServer* server);
    void listsFailed(const CamServer* server);

    // The server list edits server (a field typed, the record added or
    // removed): its record may now hold half-typed values, so from now
    // until releaseAll() nothing is asked of it here, its load and retries
    // end, and every wall's cells of it rest (holdsChanged(), at once).
    // Every other server goes on.
    void hold(const std::shared_ptr<CamServer>& server);
    bool isHeld(const CamServer* server) const;
    // The server list closed (after prune()): each server held loads its
    // lists again, with its final values, and its cells resume. Returns the
    // servers that were held.
    std::vector<std::shared_ptr<CamServer>> releaseAll();
    // Passwords that were being read from the keyring are known now.
    void passwordsKnown();
    // Ends every load and retry for good (quit).
    void end();
    // Drops the feeds of servers no longer in the list.
    void prune();

signals:
    // server's lists or state changed.
    void changed(const QString& serverId);
    // A server was held or the holds were released; told at once, before
    // the record can change, so that no request leaves with its new values.
    void holdsChanged();

private:
    struct Feed;
    Feed* feed(const std::shared_ptr<CamServer>& server);
    void load(Feed& feed);
    // On the main thread, from a feed's data manager.
    void loaded(Feed& feed, bool ok);

    ServerList servers_;
    std::map<const CamServer*, std::unique_ptr<Feed>> feeds_;
    // Kept alive while held, so that no other record takes a held one's address.
    std::vector<std::shared_ptr<CamServer>> held_;
    bool ended_ = false;
};
