// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

// The process's private folder for downloaded sound: made on first use under
// the system's temporary folder with mkdtemp (mode 0700), so that no other
// user can read the stream or plant a link in it. Thread-safe.
namespace AudioTempFolder {

// The folder's path, or empty when it cannot be made.
std::string path();

// A safe file name for the stream at url: the last component of its path
// (percent-decoded), reduced to letters, digits, '.', '-' and '_' and to at
// most 64 characters, never starting with '.', with ".mp3" added when it has
// no extension; "audio.mp3" when nothing is left.
std::string fileNameFor(const std::string& url);

// Creates a new, empty file for the stream at url in the folder, exclusively
// and without following links, and opens it for writing. Returns the file
// descriptor (or -1) and sets *outPath to the file's path.
int createFile(const std::string& url, std::string* outPath);

// Removes the folder and whatever is left in it. For the end of the process.
void removeAll();

}  // namespace AudioTempFolder
