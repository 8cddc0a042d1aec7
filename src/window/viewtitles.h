// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <cstddef>
#include <cstdint>

class TourSchedule;

// The words that say what a window shows: its title, a wall cell's caption,
// and the note a tour shows at each step. Main thread only (they translate).
namespace ViewTitles {

// "Front door — Shop": a camera and its server.
QString camera(const QString& cameraName, const QString& serverName);
// "Shop — Camera Wall": a server's wall.
QString wall(const QString& serverName);
// "Night — Lobby (2/5)": a tour, its step's name, and the step's place.
QString tour(const QString& tourName, const QString& stepName, std::size_t step, std::size_t steps);
// "<what> — Zorvan", or "Zorvan" alone when nothing is shown.
QString window(const QString& what);

// A server wall's cell: the camera alone while the server list holds one
// server, "Camera — Server" (as layout cells read) when it holds more.
QString wallCaption(const QString& cameraName, const QString& serverName, std::size_t servers);

// The tour's note: the step's name, "Step 2 of 5", and "12 s left", or
// "Paused — resumes in 25 s" (or "Paused" while the person paused it), as
// schedule stands at nowNs. Seconds are rounded up: "1 s left" until the end.
QString tourNote(const QString& stepName, const TourSchedule& schedule, std::int64_t nowNs);

}  // namespace ViewTitles
